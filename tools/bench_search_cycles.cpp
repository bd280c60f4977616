// bench_search_cycles [CYCLES...]: for each size (default 100 000 and 1 000 000 cycle sheets, four per couple,
// one exam record per couple, 2000-2009) builds a database file, then times the statistics window's
// multi-criteria search driven through its own controls: four criteria with wildcards over the whole history,
// then over the year 2005 (median of BENCH_RUNS clicks, 7 by default). Prints what was found (count, lines,
// a checksum of both lists) so that two builds can be seen to give the same rows in the same order, and the
// resident memory of the window's work at its peak.
// BENCH_KEEP=DIR keeps the files in DIR and reuses them on the next run of the same size.
#include "data/database.h"
#include "data/globals.h"
#include "data/jetsql.h"
#include "data/schema.h"
#include "platform/environment.h"
#include "platform/forms.h"
#include "platform/messages.h"
#include "stats/form8.h"
#include "benchsetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

// Fails the run on any box: the search shows none when it works.
class NoMessages final : public platform::MessageService {
public:
    platform::MsgResult show(const platform::MsgBoxRequest& r) override
    {
        qFatal("unexpected message: %s", qPrintable(r.text));
    }
};

// One item of a reference list, the empty text standing for a column left blank.
QString oneOf(QRandomGenerator& rng, std::initializer_list<std::pair<int, const char*>> weighted)
{
    int total = 0;
    for (const auto& item : weighted)
        total += item.first;
    int r = int(rng.bounded(total));
    for (const auto& [weight, text] : weighted) {
        if (r < weight)
            return QString::fromUtf8(text);
        r -= weight;
    }
    return QString();
}

// Batches rows into multi-row INSERTs.
class Inserter {
public:
    Inserter(data::Database& db, QString head) : m_db(db), m_head(std::move(head)) {}
    ~Inserter() { flush(); }
    void add(const QString& row)
    {
        m_rows << row;
        if (m_rows.size() == 500)
            flush();
    }
    void flush()
    {
        if (!m_rows.isEmpty())
            m_db.exec(m_head + m_rows.join(QLatin1Char(',')));
        m_rows.clear();
    }

private:
    data::Database& m_db;
    QString m_head;
    QStringList m_rows;
};

QString q(const QString& text) { return QLatin1Char('\'') + data::sqlQuote(text) + QLatin1Char('\''); }

// A centre's file: couples entered as they come, each with its exam record and four cycles a few months
// apart; the sheets stored in the order of their dates, as they are entered, the criteria columns holding
// the reference lists' items (or nothing) as the protocols use them.
void build(const QString& path, int cycles)
{
    if (const QString failure = data::createDatabase(path); !failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    const auto db = data::Database::open(path);
    QRandomGenerator rng(20050315);
    const int couples = std::max(1, cycles / 4);
    struct Sheet {
        int day;
        int couple;
        int rank;
    };
    std::vector<Sheet> sheets;
    sheets.reserve(size_t(couples) * 4);
    // A couple's number follows the day of its first cycle.
    std::vector<int> firsts(size_t(couples), 0);
    for (int& first : firsts)
        first = 36526 + int(rng.bounded(3653 - 400));
    std::sort(firsts.begin(), firsts.end());
    db->BeginTrans();
    {
        Inserter civ(*db, QStringLiteral("INSERT INTO CIVILITES (Nom, Prenom, NOMPART, PRENOMPART, NEE, Ville, "
                                         "ADRESSE1, CODEPOST, TEL1) VALUES "));
        Inserter exa(*db, QStringLiteral("INSERT INTO EXAMENS (NUMERO, PDS, TAILLE, FSH, LH, DTBWF, DTHIVF, "
                                         "DTSPERMO, HYSTERO, Diag) VALUES "));
        for (int c = 1; c <= couples; ++c) {
            civ.add(QStringLiteral("('NOM%1','Prénom%1','PART%1','Prénom%1','%2/%3/%4','PAU','%5 rue des "
                                   "Pyrénées','64000','05 59 00 00 00')")
                        .arg(c)
                        .arg(1 + rng.bounded(28))
                        .arg(1 + rng.bounded(12))
                        .arg(65 + rng.bounded(25))
                        .arg(1 + c % 200));
            exa.add(QStringLiteral("(%1,'%2','%3','7,5','4,2','12/01/2004','12/01/2004','03/02/2004','Normal',"
                                   "'Infertilité tubaire')")
                        .arg(c)
                        .arg(50 + rng.bounded(40))
                        .arg(150 + rng.bounded(30)));
            for (int k = 0; k < 4; ++k)
                sheets.push_back({firsts[size_t(c - 1)] + 100 * k + int(rng.bounded(30)), c, k + 1});
        }
    }
    std::stable_sort(sheets.begin(), sheets.end(), [](const Sheet& a, const Sheet& b) { return a.day < b.day; });
    {
        Inserter fiche(*db, QStringLiteral("INSERT INTO FICHE (NUMERO, NUMFICH, JCYCLE, JSTIM, OPTIONBLOC, OPTIONSTIM, "
                                           "ANA, DATANA, ANTAGO, STIMULINE, DECLENCHO, TYPE, DATEPONC, MODPONCTION, "
                                           "NBRO, GYNECOP, ANESTHESI, DATETRANS, NBRET, GYNECOT, GROSSESSE, "
                                           "MULTIPLE, REDUC, ABANDON, NomFichier) VALUES "));
        for (const Sheet& s : sheets) {
            const QString type = oneOf(rng, {{27, "FIV"}, {3, "FIV D"}, {28, "ICSI"}, {2, "ICSI + IMSI"},
                                             {15, "IAC"}, {5, "IAD"}, {10, "TEC"}, {10, "Stim. simple"}});
            const bool ivf = type.startsWith(QLatin1String("FIV")) || type.startsWith(QLatin1String("ICSI"));
            // Agonist protocols give an analogue, antagonist ones an antagonist, some both.
            const bool antagonist = rng.bounded(100) < 45;
            const QString ana = !antagonist || rng.bounded(100) < 30
                ? oneOf(rng, {{35, "Décapeptyl 0,1"}, {30, "Décapeptyl 3"}, {20, "Enantone"}, {15, "Synarel"}})
                : QString();
            const QString antago = antagonist ? oneOf(rng, {{60, "Cetrotide"}, {40, "Orgalutran"}}) : QString();
            const QString outcome = oneOf(rng, {{40, ""}, {35, "Néant"}, {5, "Biologique"}, {5, "FC"}, {2, "GEU"},
                                                {13, "Enfant vivant"}});
            const bool pregnant = !outcome.isEmpty() && outcome != QLatin1String("Néant");
            const QString date = QStringLiteral("%1/%2/%3").arg(1 + rng.bounded(28)).arg(1 + rng.bounded(12)).arg(
                2000 + rng.bounded(10));
            fiche.add(QStringLiteral("(%1,%2,%3,%4,%5,%6,%7,%4,%8,%9,%10,%11,%12,'Facile','%13','Dr DURAND',"
                                     "'Anesthésie générale',%14,'%15','Dr DURAND',%16,%17,0,0,'F%18_%3.xls')")
                          .arg(s.couple)
                          .arg(s.rank)
                          .arg(s.day)
                          .arg(q(date))
                          .arg(1 + rng.bounded(3))
                          .arg(1 + rng.bounded(5))
                          .arg(q(ana), q(antago),
                               q(oneOf(rng, {{35, "Gonal-f"}, {30, "Puregon"}, {25, "Menopur"}, {5, "Fostimon"},
                                             {5, ""}})),
                               q(oneOf(rng, {{50, "Ovitrelle"}, {25, "Gonadotrophine chorionique 5000"},
                                             {15, "Ovitrelle d'emblée"}, {10, ""}})),
                               q(type), q(ivf && rng.bounded(10) < 9 ? date : QString()))
                          .arg(ivf ? 1 + rng.bounded(20) : 0)
                          .arg(q(ivf && rng.bounded(10) < 8 ? date : QString()))
                          .arg(ivf ? 1 + rng.bounded(3) : 0)
                          .arg(q(outcome))
                          .arg(q(pregnant ? oneOf(rng, {{80, "Simple"}, {15, "Gemellaire"}, {4, "Triple"},
                                                        {1, "> Triple"}})
                                          : QString()))
                          .arg(s.couple));
        }
    }
    db->CommitTrans();
}

// A line of the process's memory status (VmHWM: the resident peak since the last reset; VmRSS: now), in MiB.
double memoryMiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray name = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

int lines(const QListView* list) { return list->model()->rowCount(); }
QString first(const QListView* list) { return lines(list) ? list->model()->index(0, 0).data().toString() : "-"; }

// What both result lists show, line by line.
QByteArray checksum(std::initializer_list<const QListView*> lists)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QListView* list : lists)
        for (int i = 0; i < list->model()->rowCount(); ++i)
            hash.addData(list->model()->index(i, 0).data().toString().toUtf8() + '\n');
    return hash.result().toHex().left(12);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QList<int> sizes = bench::sizes(argc, argv, {100000, 1000000});
    const int runs = qEnvironmentVariableIsSet("BENCH_RUNS") ? qEnvironmentVariableIntValue("BENCH_RUNS") : 7;

    QTemporaryDir tmp;
    const QString dir = bench::setUpFolder(tmp);
    NoMessages messages;
    platform::setMessageService(&messages);

    // Type, antagonist, analogue and stimulation product, each a pattern: two prefixes, one with a single-letter
    // wildcard inside, a suffix.
    const struct {
        const char* combo;
        const char* text;
    } criteria[] = {{"CmbType", "FIV*"}, {"CmbAntago", "Cetro*"}, {"CmbAna", "D?capeptyl*"}, {"CmbStimuline", "*f"}};
    out << "criteria:";
    for (const auto& c : criteria)
        out << " " << c.combo << "=\"" << c.text << "\"";
    out << ", Check1 unticked\n";

    for (int n : sizes) {
        const QString folder = dir + QStringLiteral("/cycles-%1").arg(n);
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/INDUCTION.mdb");
        const bool built = !QFileInfo::exists(path);
        if (built) {
            QElapsedTimer t;
            t.start();
            build(path, n);
            out << n << " cycles: file built in " << t.elapsed() / 1000 << " s\n";
            out.flush();
        }
        data::CHEMIN_BASE = path;
        resetPeak();
        Form8* form = platform::forms().show<Form8>();
        for (const auto& c : criteria)
            form->findChild<QComboBox*>(QLatin1String(c.combo))->setEditText(QString::fromUtf8(c.text));
        form->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(false);
        auto* search = form->findChild<QPushButton*>(QStringLiteral("Command2"));
        auto* list1 = form->findChild<QListView*>(QStringLiteral("List1"));
        auto* list2 = form->findChild<QListView*>(QStringLiteral("List2"));
        QCoreApplication::processEvents();
        const double shown = memoryMiB("VmRSS");

        for (const auto& [from, to] : {std::pair{"01/01/2000", "31/12/2009"}, std::pair{"01/01/2005", "31/12/2005"}}) {
            form->findChild<QLineEdit*>(QStringLiteral("TxtDate1"))->setText(QLatin1String(from));
            form->findChild<QLineEdit*>(QStringLiteral("TxtDate2"))->setText(QLatin1String(to));
            QList<double> ms;
            for (int run = 0; run < runs; ++run) {
                QElapsedTimer t;
                t.start();
                QTest::mouseClick(search, Qt::LeftButton);
                ms << t.nsecsElapsed() / 1e6;
            }
            std::sort(ms.begin(), ms.end());
            out << n << " cycles, " << from << "-" << to << ": median " << QString::number(ms[ms.size() / 2], 'f', 1)
                << " ms (best " << QString::number(ms.first(), 'f', 1) << ", worst " << QString::number(ms.last(), 'f', 1)
                << "); found " << form->findChild<QLabel*>(QStringLiteral("Label1"))->text() << ", lines "
                << lines(list1) << "/" << lines(list2) << ", first " << first(list1)
                << " " << first(list2) << ", sha1 "
                << checksum({list1, list2}) << "\n";
            out.flush();
        }
        out << n << " cycles: resident memory " << QString::number(shown, 'f', 0) << " MiB with the window shown, "
            << QString::number(memoryMiB("VmHWM"), 'f', 0) << " MiB at the peak of the searches"
            << (built ? " (the file's build left memory behind: run again on the kept file)" : "") << "\n";
        platform::forms().unloadAll();
    }
    return 0;
}
