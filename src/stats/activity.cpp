#include "stats/activity.h"

#include "data/jetsql.h"

namespace stats {

namespace {

// Heads.
constexpr const char* kCouples = "SELECT NUMERO, COUNT(NUMERO) From FICHE ";
constexpr const char* kAllCycles = "SELECT* From FICHE ";
constexpr const char* kCycles = "SELECT FICHE.* From FICHE ";

// Type conditions. Their blanks differ from one row of the grid to another; each row keeps its own text.
constexpr const char* kStim = "AND (FICHE.TYPE LIKE 'Stim*')";
constexpr const char* kIacEq = "AND (FICHE.TYPE ='IAC')";
constexpr const char* kIadEq = "AND (FICHE.TYPE ='IAD')";
constexpr const char* kTecEq = "AND (FICHE.TYPE ='TEC')";
constexpr const char* kIac = "AND (FICHE.TYPE = 'IAC')";
constexpr const char* kIad = "AND (FICHE.TYPE = 'IAD')";
constexpr const char* kTec = "AND (FICHE.TYPE = 'TEC')";
constexpr const char* kFiv = "AND (FICHE.TYPE LIKE 'FIV*')";
constexpr const char* kFivTight = "AND (FICHE.TYPE LIKE'FIV*')";
constexpr const char* kIcsi = "AND (FICHE.TYPE LIKE 'ICSI*')";
constexpr const char* kIcsiTight = "AND (FICHE.TYPE LIKE'ICSI*')";
constexpr const char* kNone = "";

// Row conditions.
constexpr const char* kGroup = " GROUP BY NUMERO";
constexpr const char* kRetrieval = "AND (FICHE.DATEPONC <>'')";
constexpr const char* kTransfer = "AND (FICHE.DATETRANS <>'')";
constexpr const char* kBiological = "AND (FICHE.GROSSESSE = 'Biologique')";
constexpr const char* kMiscarriage = "AND (FICHE.GROSSESSE = 'FC' or FICHE.GROSSESSE = 'GEU')";
constexpr const char* kLiveBirth = "AND (FICHE.GROSSESSE = 'Enfant vivant')";
#define STATS_PREGNANT "AND (FICHE.GROSSESSE <> 'Néant')AND (FICHE.GROSSESSE <> '')"
constexpr const char* kSingleton = STATS_PREGNANT "AND (FICHE.MULTIPLE = 'Simple')";
constexpr const char* kTwins = STATS_PREGNANT "AND (FICHE.MULTIPLE = 'Gemellaire')";
constexpr const char* kTriplets = STATS_PREGNANT "AND (FICHE.MULTIPLE = 'Triple' or FICHE.MULTIPLE = '> Triple')";
#undef STATS_PREGNANT
constexpr const char* kPregnancyList = "AND (FICHE.GROSSESSE <>'Néant')AND (FICHE.GROSSESSE <>'')";

const CountCell kCountCells[] = {
    // couples
    {"Label30", kCouples, kNone, kGroup},
    {"Label31", kCouples, kStim, kGroup},
    {"Label32", kCouples, kIacEq, kGroup},
    {"Label33", kCouples, kIadEq, kGroup},
    {"Label35", kCouples, kFiv, kGroup},
    {"Label36", kCouples, kIcsi, kGroup},
    {"Label102", kCouples, kTecEq, kGroup},
    // cycles
    {"LblCycSim", kCycles, kStim, kNone},
    {"LblCycIac", kCycles, kIacEq, kNone},
    {"LblCycIAD", kCycles, kIadEq, kNone},
    {"LblCycFiv", kCycles, kFivTight, kNone},
    {"LblCycIcs", kCycles, kIcsi, kNone},
    {"LblCycCon", kCycles, kTecEq, kNone},
    {"LblTStim", kAllCycles, kNone, kNone},
    // egg retrievals, transfers
    {"LblFivPon", kCycles, kFivTight, kRetrieval},
    {"LblIcsPon", kCycles, kIcsiTight, kRetrieval},
    {"LblFivTra", kCycles, kFivTight, kTransfer},
    {"LblIcsTra", kCycles, kIcsiTight, kTransfer},
    // biological pregnancies
    {"Label53", kCycles, kStim, kBiological},
    {"Label54", kCycles, kIac, kBiological},
    {"Label55", kCycles, kIad, kBiological},
    {"Label83", kCycles, kFivTight, kBiological},
    {"Label84", kCycles, kIcsiTight, kBiological},
    {"Label105", kCycles, kTec, kBiological},
    // miscarriages and ectopic pregnancies
    {"Label57", kCycles, kStim, kMiscarriage},
    {"Label58", kCycles, kIac, kMiscarriage},
    {"Label59", kCycles, kIad, kMiscarriage},
    {"Label86", kCycles, kFiv, kMiscarriage},
    {"Label87", kCycles, kIcsi, kMiscarriage},
    {"Label106", kCycles, kTec, kMiscarriage},
    // live births
    {"Label61", kCycles, kStim, kLiveBirth},
    {"Label62", kCycles, kIac, kLiveBirth},
    {"Label63", kCycles, kIad, kLiveBirth},
    {"Label89", kCycles, kFiv, kLiveBirth},
    {"Label90", kCycles, kIcsi, kLiveBirth},
    {"Label107", kCycles, kTec, kLiveBirth},
    // singletons
    {"Label65", kCycles, kStim, kSingleton},
    {"Label66", kCycles, kIac, kSingleton},
    {"Label67", kCycles, kIad, kSingleton},
    {"Label92", kCycles, kFiv, kSingleton},
    {"Label93", kCycles, kIcsi, kSingleton},
    {"Label108", kCycles, kTec, kSingleton},
    // twins
    {"Label69", kCycles, kStim, kTwins},
    {"Label70", kCycles, kIac, kTwins},
    {"Label71", kCycles, kIad, kTwins},
    {"Label95", kCycles, kFiv, kTwins},
    {"Label96", kCycles, kIcsi, kTwins},
    {"Label109", kCycles, kTec, kTwins},
    // triplets and more
    {"Label73", kCycles, kStim, kTriplets},
    {"Label74", kCycles, kIac, kTriplets},
    {"Label75", kCycles, kIad, kTriplets},
    {"Label98", kCycles, kFiv, kTriplets},
    {"Label99", kCycles, kIcsi, kTriplets},
    {"Label110", kCycles, kTec, kTriplets},
};
static_assert(std::size(kCountCells) == 54);

constexpr auto N = SumCell::Numbers;
const SumCell kSumCells[] = {
    {"Label34", SumCell::Couples, {"Label32", "Label33"}},
    {"Label37", SumCell::Couples, {"Label35", "Label36"}},
    {"LblIacIad", N, {"LblCycIac", "LblCycIAD"}},
    {"LblFivIcs", N, {"LblCycFiv", "LblCycIcs"}},
    {"LblTotPon", N, {"LblFivPon", "LblIcsPon"}},
    {"LblTotTra", N, {"LblFivTra", "LblIcsTra"}},
    {"Label56", N, {"Label54", "Label55"}},
    {"Label85", N, {"Label83", "Label84"}},
    {"Label39", N, {"Label53", "Label56", "Label85", "Label105"}},
    {"Label60", N, {"Label58", "Label59"}},
    {"Label88", N, {"Label86", "Label87"}},
    {"Label40", N, {"Label57", "Label60", "Label88", "Label106"}},
    {"Label64", N, {"Label62", "Label63"}},
    {"Label91", N, {"Label89", "Label90"}},
    {"Label41", N, {"Label61", "Label64", "Label91", "Label107"}},
    {"LblSimG", N, {"Label53", "Label57", "Label61"}},
    {"LblIacG", N, {"Label54", "Label58", "Label62"}},
    {"LblIadG", N, {"Label55", "Label59", "Label63"}},
    {"LblIacIadG", N, {"Label56", "Label60", "Label64"}},
    {"LblFivG", N, {"Label83", "Label86", "Label89"}},
    {"LblIcsG", N, {"Label84", "Label87", "Label90"}},
    {"LblFivIcsG", N, {"Label85", "Label88", "Label91"}},
    {"LblConG", N, {"Label105", "Label106", "Label107"}},
    {"LblTotG", N, {"LblSimG", "LblIacIadG", "LblFivIcsG", "LblConG"}},
    {"Label68", N, {"Label66", "Label67"}},
    {"Label94", N, {"Label92", "Label93"}},
    {"Label42", N, {"Label65", "Label68", "Label94", "Label108"}},
    {"Label72", N, {"Label70", "Label71"}},
    {"Label97", N, {"Label95", "Label96"}},
    {"Label43", N, {"Label69", "Label72", "Label97", "Label109"}},
    {"Label76", N, {"Label74", "Label75"}},
    {"Label100", N, {"Label98", "Label99"}},
    {"Label44", N, {"Label73", "Label76", "Label100", "Label110"}},
};
static_assert(std::size(kSumCells) == 33);

// The search's columns, in the order their conditions are joined.
constexpr const char* kSearchColumns[kCriteria] = {"TYPE", "ANTAGO", "ANA", "STIMULINE", "DECLENCHO"};

} // namespace

std::span<const CountCell> countCells() { return kCountCells; }
std::span<const SumCell> sumCells() { return kSumCells; }

QString dateClause(qint64 d1, qint64 d2)
{
    return QStringLiteral("WHERE JCYCLE BETWEEN %1 And %2").arg(d1).arg(d2);
}

QString countQuery(const CountCell& cell, qint64 d1, qint64 d2)
{
    return QString::fromUtf8(cell.head) + dateClause(d1, d2) + QString::fromUtf8(cell.typeCondition)
        + QString::fromUtf8(cell.rowCondition);
}

QString pregnancyListQuery(qint64 d1, qint64 d2)
{
    return QString::fromUtf8(kCycles) + dateClause(d1, d2) + QString::fromUtf8(kPregnancyList);
}

QString searchQuery(qint64 d1, qint64 d2, const Criteria& criteria, bool pregnancies)
{
    QString sql = QString::fromUtf8(kCycles) + dateClause(d1, d2);
    for (int i = 0; i < kCriteria; ++i)
        if (!criteria[size_t(i)].isEmpty())
            sql += QStringLiteral("AND (FICHE.%1 LIKE '%2')")
                       .arg(QLatin1String(kSearchColumns[i]), data::sqlQuote(criteria[size_t(i)]));
    if (pregnancies)
        sql += QString::fromUtf8(kPregnancyList);
    return sql;
}

QString rateText(qint64 pregnancies, qint64 denominator)
{
    if (denominator == 0)
        return QStringLiteral("-");
    return QString::number(pregnancies * 100 / denominator) + QLatin1Char('%');
}

QString coupleLine(const QString& nom, const QString& prenom) { return nom + QStringLiteral("   ") + prenom; }

} // namespace stats
