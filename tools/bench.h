#pragma once
// What the benches share: the sizes asked for on the command line, the names they fill their files with, a file of
// couples, the figures of a series of timings.
#include "data/database.h"
#include "data/jetsql.h"
#include "data/schema.h"

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <algorithm>
#include <iterator>
#include <numeric>

namespace bench {

// The sizes given as arguments, or the defaults.
inline QList<int> sizes(int argc, char** argv, const QList<int>& defaults)
{
    QList<int> out;
    for (int i = 1; i < argc; ++i)
        out << QString::fromLatin1(argv[i]).toInt();
    return out.isEmpty() ? defaults : out;
}

// How many runs a figure is the median of: BENCH_RUNS, 3 by default.
inline int runs()
{
    return qEnvironmentVariableIsSet("BENCH_RUNS") ? qEnvironmentVariableIntValue("BENCH_RUNS") : 3;
}

// The middle value of the runs.
inline double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// Surnames as a centre holds them: syllables, some with an apostrophe or a hyphen, a few accents.
inline QString surname(QRandomGenerator& rng)
{
    static const char* const syllables[] = {"MAR", "TIN", "DU", "PONT", "LE", "ROY", "BER", "NARD", "PE", "TIT",
                                            "GAR", "NIER", "MO", "REAU", "LA", "FON", "TAI", "NE", "RI", "CHARD",
                                            "BO", "NET", "CA", "RON", "GI", "RAUD", "FAU", "RE", "ROUS", "SEL"};
    QString s;
    const int n = 2 + int(rng.bounded(2));
    for (int i = 0; i < n; ++i)
        s += QLatin1String(syllables[rng.bounded(int(std::size(syllables)))]);
    const int kind = int(rng.bounded(100));
    if (kind < 3)
        s = QStringLiteral("D'") + s;
    else if (kind < 6)
        s += QLatin1Char('-') + QLatin1String(syllables[rng.bounded(int(std::size(syllables)))]);
    else if (kind < 9)
        s.replace(QLatin1Char('E'), QStringLiteral("É"));
    return s;
}

// A new file of that many couples, every column of their dossiers filled as a centre fills them.
inline void buildCouples(const QString& path, int couples)
{
    if (const QString failure = data::createDatabase(path); !failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    const auto db = data::Database::open(path);
    QRandomGenerator rng(19750312);
    db->BeginTrans();
    QStringList rows;
    auto flush = [&] {
        if (rows.isEmpty())
            return;
        db->exec(QStringLiteral("INSERT INTO CIVILITES (Nom, Prenom, NOMPART, PRENOMPART, NEE, Ville, SECU, ADRESSE1, "
                                "CODEPOST, TEL1) VALUES ")
                 + rows.join(QLatin1Char(',')));
        rows.clear();
    };
    for (int i = 0; i < couples; ++i) {
        rows << QStringLiteral("('%1','Prénom%2','%3','Prénom%4','%5/%6/%7','PAU','2 75 03 64 445 %8',"
                               "'%9 rue des Pyrénées','64000','05 59 00 00 00')")
                    .arg(data::sqlQuote(surname(rng)))
                    .arg(i)
                    .arg(data::sqlQuote(surname(rng)))
                    .arg(i)
                    .arg(1 + rng.bounded(28))
                    .arg(1 + rng.bounded(12))
                    .arg(60 + rng.bounded(30))
                    .arg(i % 1000, 3, 10, QLatin1Char('0'))
                    .arg(1 + i % 200);
        if (rows.size() == 500)
            flush();
    }
    flush();
    db->CommitTrans();
}

// The median, the 90th percentile and the mean of a series of timings.
struct Figures {
    double median = 0, p90 = 0, mean = 0;
};

inline Figures figures(QList<double> times)
{
    std::sort(times.begin(), times.end());
    if (times.isEmpty())
        return {};
    return {times[times.size() / 2], times[std::min(times.size() - 1, qsizetype(times.size() * 9 / 10))],
            std::accumulate(times.begin(), times.end(), 0.0) / double(times.size())};
}

} // namespace bench
