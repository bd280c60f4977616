// bench_backup [WORKBOOKS [COUPLES]]: a workbook folder of WORKBOOKS workbooks of 30 KB (10 000 by default) with
// the database in it (COUPLES couples with four sheets and an exam each, 10 000 by default), backed up and then
// restored through the backup window's own buttons. Prints the median of BENCH_RUNS runs (3 by default) of: the
// whole copy (from the click to the message that ends it), the time to the progress window's first paint, and
// the longest pause of the user-interface thread's event loop meanwhile.
// BENCH_KEEP=DIR keeps the files in DIR (and reuses them on the next run).
#include "admin/form21.h"
#include "benchsetup.h"
#include "benchwatch.h"
#include "data/jetsql.h"
#include "data/schema.h"
#include "platform/forms.h"
#include "platform/messages.h"
#include "platform/settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <sqlite3.h>

namespace {

// Answers Yes to the restore's question; notes when the message that ends the copy comes, and what it says.
class Messages final : public platform::MessageService {
public:
    explicit Messages(const QElapsedTimer& clock) : m_clock(clock) {}
    platform::MsgResult show(const platform::MsgBoxRequest& r) override
    {
        if (r.buttons != platform::MsgButtons::Ok)
            return platform::MsgResult::Yes;
        ended = m_clock.nsecsElapsed();
        said = r.text;
        return platform::MsgResult::Ok;
    }
    qint64 ended = 0; // ns
    QString said;

private:
    const QElapsedTimer& m_clock;
};

// The centre's database: couples with four sheets and an exam each.
void buildDatabase(const QString& path, int couples)
{
    if (const QString failure = data::createDatabase(path); !failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    data::installJetFunctions(db);
    const QString sql = QStringLiteral(
        "BEGIN; "
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO CIVILITES (Nom, Prenom, NOMPART, PRENOMPART, NEE, Ville, ADRESSE1, CODEPOST, TEL1) "
        "SELECT 'NOM' || i, 'Prénom' || i, 'PART' || i, 'P' || i, '12/03/75', 'PAU', i || ' rue des Pyrénées', "
        "'64000', '05 59 00 00 00' FROM n; "
        "INSERT INTO FICHE (NUMERO, NUMFICH, JCYCLE, TYPE, ANTAGO, ANA, STIMULINE, DECLENCHO, GROSSESSE, NomFichier) "
        "SELECT numero, k, 36526 + (numero * 7 + k * 13) % 3653, 'ICSI', 'Cetrotide', 'Décapeptyl 3', 'Gonal-f', "
        "'Ovitrelle', 'Néant', numero || '_' || k || '.xls' FROM CIVILITES, "
        "(SELECT 1 AS k UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4); "
        "INSERT INTO EXAMENS (NUMERO, PDS, TAILLE, FSH, LH, Diag) "
        "SELECT numero, '62', '165', '7,5', '4,2', 'Infertilité primaire' FROM CIVILITES; "
        "COMMIT").arg(couples);
    char* err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK)
        qFatal("%s", err);
    sqlite3_close(db);
}

// Workbooks of 30 KB whose content does not compress.
void buildWorkbooks(const QString& folder, int workbooks)
{
    QRandomGenerator rng(20050315);
    QByteArray content(30 * 1024, Qt::Uninitialized);
    for (int i = 1; i <= workbooks; ++i) {
        rng.fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
        QFile f(QStringLiteral("%1/NOM%2_%3.xls").arg(folder).arg(i).arg(36526 + i % 3653));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(f.fileName()));
    }
}

struct Runs {
    QList<double> whole, painted, paused;
    int shown = 0;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QList<int> sizes = bench::sizes(argc, argv, {10000, 10000});
    const int workbooks = sizes.value(0), couples = sizes.value(1, 10000);
    const int runs = bench::runs();

    QTemporaryDir tmp;
    const QString dir = bench::setUpFolder(tmp);
    const QString xls = dir + QStringLiteral("/backup-%1-%2/xls").arg(workbooks).arg(couples);
    const QString save = dir + QStringLiteral("/backup-%1-%2/save").arg(workbooks).arg(couples);
    const QString database = xls + QStringLiteral("/INDUCTION.mdb");
    if (!QFileInfo::exists(database)) {
        QDir().mkpath(xls);
        buildWorkbooks(xls, workbooks);
        buildDatabase(database + QStringLiteral(".part"), couples);
        QFile::rename(database + QStringLiteral(".part"), database);
    }
    for (const auto& [key, value] : {std::pair{"CHEMIN", database}, {"CHEMINS", database}, {"CheminXls", xls},
                                     {"SAUVE", save}})
        platform::saveSetting(QStringLiteral("TALVENOR"), QStringLiteral("FOLIVEX"), QLatin1String(key), value);

    QElapsedTimer clock;
    Messages messages(clock);
    platform::setMessageService(&messages);
    out << "folder: " << workbooks << " workbooks of 30 KB and " << QFileInfo(database).size() / (1024 * 1024)
        << " MB of database\n";
    out << "copy | whole copy | progress window painted after | longest pause of the event loop\n";
    for (const bool restore : {false, true}) {
        Runs r;
        for (int run = 0; run < runs; ++run) {
            auto* window = platform::forms().show<Form21>();
            QCoreApplication::processEvents();
            clock.start();
            bench::Watch watch(clock);
            if (restore)
                window->CmdRestaure_Click();
            else
                window->CmdSauve_Click();
            watch.pause();
            if (!messages.said.startsWith(restore ? QStringLiteral("Restauration effectuée")
                                                  : QStringLiteral("Sauvegarde terminée")))
                qFatal("%s", qPrintable(messages.said));
            r.whole << messages.ended / 1e9;
            r.paused << watch.longest / 1e9;
            if (watch.painted >= 0) {
                ++r.shown;
                r.painted << watch.painted / 1e9;
            }
            platform::forms().unloadAll();
            platform::forms().flush();
        }
        out << (restore ? "restore" : "backup") << " | " << QStringLiteral("%1 s").arg(bench::median(r.whole), 0, 'f', 2)
            << " | " << (r.shown ? QStringLiteral("%1 s").arg(bench::median(r.painted), 0, 'f', 3) : QStringLiteral("never"))
            << " | " << QStringLiteral("%1 s").arg(bench::median(r.paused), 0, 'f', 3) << "\n";
        out.flush();
    }
    platform::setMessageService(nullptr);
    return 0;
}
