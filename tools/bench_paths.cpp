// bench_paths [COUPLES...]: for each size (default 100 000 and 1 000 000 couples, four cycle sheets and one exam
// row each, a pregnancy every twentieth sheet, a reference list of 10 000 items) times the paths that read many rows through the windows:
// - a recordset walked with MoveNext over the 10 000 items, against the same rows read by the engine itself;
// - the reference lists window filling that list, and adding an item to it;
// - the cycle sheet window and the sheet creation window opening with that list in their combos;
// then prints the peak resident memory after a day's browsing (the main window's moves and searches, the windows
// opened for many couples) and the statistics over the whole history. Median of five runs.
// BENCH_KEEP=DIR keeps the files in DIR (and reuses them on the next run); BENCH_REPEAT=N opens the cycle windows N
// times more (for a profiler).
#include "admin/form9.h"
#include "app/form0.h"
#include "app/form4.h"
#include "cycles/form5.h"
#include "cycles/form6.h"
#include "data/database.h"
#include "data/globals.h"
#include "data/jetsql.h"
#include "data/schema.h"
#include "office/fakespreadsheet.h"
#include "platform/environment.h"
#include "platform/forms.h"
#include "platform/messages.h"
#include "platform/settings.h"
#include "stats/form8.h"
#include "workup/form7.h"
#include "benchsetup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

constexpr int kListItems = 10000;
constexpr int kBigList = 5; // the gonadotrophins: a combo of both cycle windows

class YesMessages final : public platform::MessageService {
public:
    platform::MsgResult show(const platform::MsgBoxRequest& r) override
    {
        ++shown;
        return r.buttons == platform::MsgButtons::Ok || r.buttons == platform::MsgButtons::OkCancel
                   ? platform::MsgResult::Ok
                   : platform::MsgResult::Yes;
    }
    int shown = 0;
};

void build(const QString& path, int couples)
{
    if (const QString failure = data::createDatabase(path); !failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    const auto db = data::Database::open(path);
    db->BeginTrans();
    // count rows made by row(i), inserted 500 at a time.
    auto insert = [&db](const char* head, int count, const std::function<QString(int)>& row) {
        QStringList rows;
        for (int i = 0; i < count; ++i) {
            rows << row(i);
            if (rows.size() == 500 || i == count - 1) {
                db->exec(QString::fromUtf8(head) + rows.join(QLatin1Char(',')));
                rows.clear();
            }
        }
    };
    insert("INSERT INTO CIVILITES (Nom, Prenom, NOMPART, PRENOMPART, NEE, Ville) VALUES ", couples, [](int k) {
        const int i = k + 1;
        return QStringLiteral("('NOM%1','Prénom%1','PART%1','Prénom%1','%2/%3/19%4','PAU')")
            .arg(i, 7, 10, QLatin1Char('0'))
            .arg(1 + i % 28)
            .arg(1 + i % 12)
            .arg(60 + i % 30);
    });
    insert("INSERT INTO FICHE (NUMERO, NUMFICH, JCYCLE, TYPE, DATEPONC, DATETRANS, GROSSESSE, ANA, STIMULINE, NBRO, "
           "COMMENT) VALUES ",
           couples * 4, [](int k) {
               const int i = 1 + k / 4, n = 1 + k % 4;
               return QStringLiteral("(%1,%2,%3,'%4','12/03/2005','14/03/2005','%5','Décapeptyl 3','Gonal-f','%6',"
                                     "'Ponction sans incident, transfert facile.')")
                   .arg(i)
                   .arg(n)
                   .arg(36526 + (i * 7 + n * 97) % 3653)
                   .arg(n % 2 ? QStringLiteral("FIV") : QStringLiteral("ICSI"))
                   .arg(n == 4 && i % 5 == 0 ? QStringLiteral("Enfant vivant") : QStringLiteral("Néant"))
                   .arg(3 + (i + n) % 12);
           });
    insert("INSERT INTO EXAMENS (NUMERO, PDS, TAILLE, FSH, LH, DTSPERMO, DTGENF, DIVERS) VALUES ", couples, [](int k) {
        return QStringLiteral("(%1,'60','165','7,5','3','01/02/2005','01/02/2005','RAS')").arg(k + 1);
    });
    // Eight items a list, and the long one.
    insert("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES ", 39 * 8 + kListItems, [](int k) {
        const int list = k < kListItems ? kBigList : 1 + (k - kListItems) / 8 + ((k - kListItems) / 8 >= kBigList - 1);
        const int item = k < kListItems ? k : (k - kListItems) % 8;
        return QStringLiteral("(%1,'Élément %2 de la liste %1')").arg(list).arg(item, 5, 10, QLatin1Char('0'));
    });
    db->CommitTrans();
}

double timed(const std::function<void()>& prepare, const std::function<void()>& run, int runs = 5)
{
    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        t.start();
        run();
        ms << t.nsecsElapsed() / 1e6;
    }
    return bench::median(ms);
}

double peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

QString ms(double v) { return QString::number(v, 'f', v < 10 ? 2 : 1) + QStringLiteral(" ms"); }

// Every window but the main one unloaded.
void closeOthers()
{
    platform::forms().unload<Form5>();
    platform::forms().unload<Form6>();
    platform::forms().unload<Form7>();
    platform::forms().unload<Form9>();
    platform::forms().flush();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QList<int> sizes = bench::sizes(argc, argv, {100000, 1000000});
    QTemporaryDir tmp;
    const QString dir = bench::setUpFolder(tmp);
    YesMessages messages;
    platform::setMessageService(&messages);
    office::FakeSpreadsheet spreadsheet;
    office::setSpreadsheet(&spreadsheet);

    for (int n : sizes) {
        const QString folder = dir + QStringLiteral("/paths-%1").arg(n);
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/INDUCTION.mdb");
        if (!QFileInfo::exists(path)) {
            QElapsedTimer t;
            t.start();
            build(path, n);
            out << "(built " << n << " couples in " << t.elapsed() / 1000 << " s)\n";
        }
        platform::saveSetting(data::kSettingsApp, data::kSettingsSection, QStringLiteral("CHEMIN"), path);
        const QString listSql = QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = %1 ").arg(kBigList);
        out << n << " couples\n";

        // The same rows through the engine alone, on a connection already open: one statement, every column read.
        int listRows = 0;
        sqlite3* raw = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
        data::installJetFunctions(raw);
        const double engine = timed(nullptr, [&] {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(raw, "SELECT * FROM OPTIONS WHERE NUMEROS = 5", -1, &st, nullptr);
            int rows = 0;
            while (sqlite3_step(st) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(st); ++c)
                    if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                        (void)QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
                ++rows;
            }
            sqlite3_finalize(st);
            listRows = rows;
        });
        sqlite3_close(raw);
        const auto db = data::Database::open(path);
        const double walk = timed(nullptr, [&] {
          for (int k = std::max(1, qEnvironmentVariableIntValue("BENCH_WALKS")); k > 0; --k) {
            int rows = 0;
            auto rs = db->OpenRecordset(listSql);
            for (; !rs->isEOF(); rs->MoveNext()) {
                (void)rs->text(QStringLiteral("TEXTE"));
                ++rows;
            }
            if (rows != listRows)
                qFatal("walk read %d rows, the engine %d", rows, listRows);
          }
        });
        out << "  recordset walk, " << listRows << " rows: " << ms(walk) << " (raw engine " << ms(engine) << ", "
            << QString::number(walk / engine, 'f', 1) << "x)\n";

        if (qEnvironmentVariableIsSet("BENCH_WALKS"))
            continue; // the walk alone, for a profiler
        // The main window on a couple, as the user leaves it.
        Form0* splash = platform::forms().show<Form0>();
        splash->Timer1_Timer();
        QCoreApplication::processEvents();
        Form4* main = platform::forms().find<Form4>();
        auto* text1 = main->findChild<QLineEdit*>(QStringLiteral("Text1"));
        auto showCouple = [&](int numero) {
            text1->clear();
            QTest::keyClicks(text1, QStringLiteral("NOM%1").arg(numero, 7, 10, QLatin1Char('0')));
        };
        showCouple(n / 2);
        const double rssReady = peakMegabytes();

        Form9* f9 = nullptr;
        const double fill = timed(
            [&] {
                platform::forms().unload<Form9>();
                platform::forms().flush();
                f9 = platform::forms().show<Form9>();
            },
            [&] { f9->findChild<QPushButton*>(QStringLiteral("CmdFSH"))->click(); });
        int added = 0;
        const double add = timed(
            [&] { f9->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("Ajout %1").arg(++added)); },
            [&] { f9->findChild<QPushButton*>(QStringLiteral("CmdAjoute"))->click(); });
        out << "  Form9 fill of the " << kListItems << "-item list: " << ms(fill) << ", add an item: " << ms(add) << "\n";
        platform::forms().unload<Form9>();
        platform::forms().flush();
        main->show();

        const double open5 = timed([&] { closeOthers(); },
                                   [&] {
                                       main->findChild<QPushButton*>(QStringLiteral("CmdOuvrirFiche"))->click();
                                       QCoreApplication::processEvents();
                                   });
        const double open6 = timed([&] { closeOthers(); },
                                   [&] {
                                       main->findChild<QPushButton*>(QStringLiteral("CmdCreerFiche"))->click();
                                       QCoreApplication::processEvents();
                                   });
        out << "  Form5 opening: " << ms(open5) << ", Form6 opening: " << ms(open6) << "\n";
        for (int k = qEnvironmentVariableIntValue("BENCH_REPEAT"); k > 0; --k)
            for (const char* b : {"CmdOuvrirFiche", "CmdCreerFiche"}) {
                closeOthers();
                main->findChild<QPushButton*>(QLatin1String(b))->click();
                QCoreApplication::processEvents();
            }

        // A day's browsing: searches, moves, the sheets and exams of many couples; then the statistics.
        for (int k = 1; k <= 60; ++k) {
            closeOthers();
            showCouple(1 + int((qint64(k) * 7919) % n));
            for (const char* b : {"Command4", "Command4", "Command3"})
                if (auto* move = main->findChild<QPushButton*>(QLatin1String(b)))
                    move->click();
            main->findChild<QPushButton*>(QStringLiteral("CmdOuvrirFiche"))->click();
            if (Form5* f5 = platform::forms().find<Form5>())
                for (int m = 0; m < 3; ++m)
                    f5->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
            main->findChild<QPushButton*>(QStringLiteral("CmdExamens"))->click();
            QCoreApplication::processEvents();
        }
        closeOthers();
        const double rssBrowsing = peakMegabytes();
        auto* f8 = platform::forms().show<Form8>();
        QElapsedTimer t;
        t.start();
        f8->CmdRechercher_Click();
        const double statistics = t.nsecsElapsed() / 1e6;
        out << "  statistics, whole history: " << ms(statistics) << "\n";
        out << "  peak resident memory: " << QString::number(rssReady, 'f', 0) << " MB with the main window, "
            << QString::number(rssBrowsing, 'f', 0) << " MB after the browsing, "
            << QString::number(peakMegabytes(), 'f', 0) << " MB after the statistics\n";
        out.flush();
        platform::forms().unloadAll();
        platform::forms().flush();
        data::RS_DOSSIERS.reset();
        data::BASE_DOSSIERS.reset();
    }
    return 0;
}
