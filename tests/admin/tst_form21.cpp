// The backup window with real folders in a temporary directory, the database among the workbooks while another
// workstation saves in it, and the about box.
#include "admin/foldercopy.h"
#include "admin/form21.h"
#include "admin/frmabout.h"
#include "admintest.h"
#include "app/form4.h"
#include "data/database.h"
#include "platform/progresswindow.h"
#include "platform/settings.h"
#include "support/faultyfiles.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace {

void putFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A path whose last parts are raw bytes, such as the Latin-1 names that unzipping a Windows archive gives.
std::filesystem::path rawPath(const QString& folder, const std::string& bytes)
{
    return std::filesystem::path(QFile::encodeName(folder).toStdString()) / bytes;
}

void putRawFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// `diff -r` finds no difference (it follows linked folders, as the copy does).
void verifySameTree(const QString& a, const QString& b)
{
    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-r"), a, b});
    QVERIFY(diff.waitForFinished());
    QVERIFY2(diff.exitCode() == 0, diff.readAllStandardOutput() + diff.readAllStandardError());
}

// Another workstation on the database file (this test run again as its own process): it saves as fast as it can
// until the stop file exists, each save one transaction that adds a sheet to a couple and counts the sheets it
// added in the first and the last couple, far apart in the file. Any state the file ever had keeps the three
// equal.
int saver(const QString& path, int lastCouple, const QString& stop)
{
    data::setLockWait(60000);
    try {
        auto db = data::Database::open(path);
        // Its saves are not flushed to disk one by one: only their pace and their locks matter here.
        db->exec(QStringLiteral("PRAGMA synchronous=OFF"));
        QRandomGenerator rng(lastCouple);
        int saves = 0;
        while (!QFileInfo::exists(stop)) {
            db->BeginTrans();
            db->exec(QStringLiteral("UPDATE CIVILITES SET TEL2 = TEL2 + 1 WHERE numero IN (1, %1)").arg(lastCouple));
            db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, NUMFICH, JCYCLE, TYPE, ANTAGO, ANA, STIMULINE, "
                                    "DECLENCHO, GROSSESSE, NomFichier) VALUES (%1, 99, %2, 'FIV', 'Cetrotide', "
                                    "'Décapeptyl 3', 'Gonal-f', 'Autre poste', '', 'autre.xls')")
                         .arg(1 + rng.bounded(lastCouple))
                         .arg(36526 + saves % 3653));
            db->CommitTrans();
            ++saves;
            QThread::usleep(500); // a workstation saves again after a moment, not back to back
        }
        std::printf("%d\n", saves);
    } catch (const data::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

// Another workstation that keeps the file locked (in the middle of its own save) until a line comes on its input.
int holder(const QString& path)
{
    RawDb db(path);
    if (!db.exec(QStringLiteral("PRAGMA busy_timeout=10000")) || !db.exec(QStringLiteral("BEGIN EXCLUSIVE")))
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        return 2;
    return db.exec(QStringLiteral("COMMIT")) ? 0 : 3;
}

// The other workstation's process, stopped and checked at the end of the test.
class Workstation {
public:
    // The saver on path.
    Workstation(const QString& path, int lastCouple, const QString& stop) : m_stop(stop)
    {
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--saver"), path, QString::number(lastCouple), stop});
    }
    // The holder on path, once it holds the lock.
    explicit Workstation(const QString& path)
    {
        m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), path});
        if (m_process.waitForReadyRead(10000))
            m_held = m_process.readLine() == "held\n";
    }
    ~Workstation()
    {
        release();
        if (!m_stop.isEmpty())
            putFile(m_stop, "stop");
        if (!m_process.waitForFinished(30000))
            m_process.kill();
    }
    bool held() const { return m_held; }
    // The holder lets the file go.
    void release()
    {
        if (m_held)
            m_process.write("go\n");
        m_held = false;
    }
    // Stops the saver and gives its count of saves; fails the test when a save was refused.
    int saves()
    {
        putFile(m_stop, "stop");
        if (!m_process.waitForFinished(60000))
            return -1;
        const QString errors = QString::fromLocal8Bit(m_process.readAllStandardError());
        if (m_process.exitCode() != 0 || !errors.isEmpty()) {
            qWarning("the other workstation: %s", qPrintable(errors));
            return -1;
        }
        return m_process.readAllStandardOutput().trimmed().toInt();
    }

private:
    QProcess m_process;
    QString m_stop;
    bool m_held = false;
};

// The saver's sheets in the file, or -1 when it cannot be read yet.
int savedSheets(const QString& path)
{
    RawDb db(path);
    db.exec(QStringLiteral("PRAGMA busy_timeout=10000"));
    bool ok = false;
    const int n = db.text(QStringLiteral("SELECT count(*) FROM FICHE WHERE NUMFICH = 99")).toInt(&ok);
    return ok ? n : -1;
}

// Waits until the saver has saved that many more sheets; false when it stopped saving.
bool savesGoOn(const QString& path, int more)
{
    const int from = savedSheets(path);
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QTest::qWait(10))
        if (savedSheets(path) >= from + more)
            return true;
    return false;
}

// A copy that is whole and holds a state the file had: the engine finds no fault, and the saver's counts agree.
void verifyStateTheFileHad(const QString& path, int lastCouple)
{
    RawDb db(path);
    QCOMPARE(db.text(QStringLiteral("PRAGMA integrity_check")), QString("ok"));
    const QString sheets = db.text(QStringLiteral("SELECT count(*) FROM FICHE WHERE NUMFICH = 99"));
    QCOMPARE(db.text(QStringLiteral("SELECT TEL2 FROM CIVILITES WHERE numero IN (1, %1) ORDER BY numero").arg(lastCouple)),
             sheets + QLatin1Char('|') + sheets);
    QVERIFY2(!QFileInfo::exists(path + QStringLiteral("-journal")), qPrintable(path));
}
#define VERIFY_STATE_THE_FILE_HAD(path, lastCouple)                                                                \
    do {                                                                                                           \
        verifyStateTheFileHad(path, lastCouple);                                                                   \
        if (QTest::currentTestFailed())                                                                            \
            return;                                                                                                \
    } while (false)

// A statement of a workstation that waits for the others' locks, as the program's do.
bool execWaiting(const QString& path, const QString& sql)
{
    RawDb db(path);
    return db.exec(QStringLiteral("PRAGMA busy_timeout=10000")) && db.exec(sql);
}

// Runs the function from the first file created in the folder on, on a thread of its own, while the test goes on.
class OnFirstFileIn {
public:
    OnFirstFileIn(const QString& folder, std::function<void()> what) : m_fd(inotify_init1(IN_CLOEXEC))
    {
        inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_CREATE | IN_MOVED_TO);
        m_thread = std::thread([this, what = std::move(what)] {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 30000) == 1) {
                what();
                m_ran = true;
            }
        });
    }
    ~OnFirstFileIn()
    {
        m_thread.join();
        ::close(m_fd);
    }
    bool ran() const { return m_ran; }

private:
    int m_fd;
    std::thread m_thread;
    std::atomic<bool> m_ran = false;
};

} // namespace

class TestForm21 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form21* w = nullptr;
    QStringList chooserTitles;
    QString chooserAnswer;

    QString xls() const { return env->workbookDir(); }
    QString backupSetting() const { return platform::getSetting("TALVENOR", "FOLIVEX", "SAUVE", "<absent>"); }
    QPushButton* button(const char* name) { return control<QPushButton>(w, name); }
    QString label1() { return control<QLabel>(w, "Label1")->text(); }

    void open() { w = platform::forms().show<Form21>(); }
    // The backup window opened anew from the main window, as the menu "Sauvegarde" does.
    void reopen()
    {
        platform::forms().unload<Form4>();
        platform::forms().flush();
        env->messages.clear();
        open();
    }

    // The database among the workbooks, as centres keep it, named by both database settings: couples with four
    // sheets each, the last couple's number returned.
    int databaseInWorkbooks(int couples)
    {
        const QString path = treeDatabase();
        if (!QFileInfo::exists(path)) {
            const QString failure = data::createDatabase(path);
            if (!failure.isEmpty())
                qFatal("%s", qPrintable(failure));
        }
        RawDb db(path);
        const bool filled = db.exec(QStringLiteral(
            "BEGIN; "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO CIVILITES (Nom, Prenom, NOMPART, PRENOMPART, NEE, Ville, TEL2) "
            "SELECT 'NOM' || i, 'Prénom' || i, 'PART' || i, 'P' || i, '12/03/75', 'PAU', '0' FROM n; "
            "INSERT INTO FICHE (NUMERO, NUMFICH, JCYCLE, TYPE, ANTAGO, ANA, STIMULINE, DECLENCHO, GROSSESSE, "
            "NomFichier) SELECT numero, k, 36526 + (numero * 7 + k * 13) % 3653, 'ICSI', 'Orgalutran', "
            "'Enantone', 'Puregon', 'Ovitrelle', 'Néant', numero || '_' || k || '.xls' FROM CIVILITES, "
            "(SELECT 1 AS k UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4); "
            "COMMIT").arg(couples));
        if (!filled)
            qFatal("cannot fill %s", qPrintable(path));
        env->setSetting("CHEMIN", path);
        env->setSetting("CHEMINS", path);
        return db.text(QStringLiteral("SELECT max(numero) FROM CIVILITES")).toInt();
    }
    QString treeDatabase() const { return xls() + QStringLiteral("/INDUCTION.mdb"); }
    // A test run for the backup, then for the restore.
    static void bothWays()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("backup") << false;
        QTest::newRow("restore") << true;
    }
    // Every way out ends with the main window loaded and shown, and this window gone.
    void verifyBackInMain()
    {
        QVERIFY(!platform::forms().isLoaded<Form21>());
        Form4* main = platform::forms().find<Form4>();
        QVERIFY(main);
        QVERIFY(main->isVisible());
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        chooserTitles.clear();
        Form21::folderChooser = [this](QWidget*, const QString& title) {
            chooserTitles << title;
            return chooserAnswer;
        };
    }
    void cleanup()
    {
        Form21::folderChooser = nullptr;
        platform::forms().unload<Form21>();
        platform::forms().unloadAll();
        platform::forms().flush();
        // The temporary directory cannot remove names that are not UTF-8 by itself.
        std::filesystem::remove_all(QFile::encodeName(env->path(QString())).toStdString());
        env.reset();
    }

    void captionsWithoutBackupFolder()
    {
        open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Sauvegardes"));
        QCOMPARE(label1(), QString());
        QCOMPARE(button("CmdSauve")->text(), "Sauvegarder tout le repertoire : \n" + xls() + "\nvers\n");
        QCOMPARE(button("CmdRestaure")->text(), "Restaurer les fichiers sauvegardés dans  vers " + xls());
    }

    void choosingFolder()
    {
        env->setSetting("SAUVE", env->path("old"));
        open();
        QCOMPARE(label1(), env->path("old"));
        const QString restoreCaption = button("CmdRestaure")->text();
        QCOMPARE(restoreCaption, "Restaurer les fichiers sauvegardés dans " + env->path("old") + " vers " + xls());

        // Cancelling changes nothing, the saved folder included.
        chooserAnswer.clear();
        button("Command2")->click();
        QCOMPARE(chooserTitles, QStringList{"Choix du répertoire pour la sauvegarde :"});
        QCOMPARE(label1(), env->path("old"));
        QCOMPARE(backupSetting(), env->path("old"));

        chooserAnswer = env->path("cle");
        button("Command2")->click();
        QCOMPARE(label1(), env->path("cle"));
        QCOMPARE(button("CmdSauve")->text(), "Lancer la Sauvegarde de \n" + xls() + "\nvers\n" + env->path("cle"));
        QCOMPARE(button("CmdRestaure")->text(), restoreCaption);
        QCOMPARE(backupSetting(), env->path("cle"));
        QCOMPARE(platform::getSetting("talvenor", "folivex", "sauve"), env->path("cle"));
        QVERIFY(env->messages.boxes.isEmpty());
        button("Command1")->click();
        verifyBackInMain();
    }

    void backupThenRestore()
    {
        putFile(xls() + "/A_38426.xls", "cycle A");
        putFile(xls() + "/sous/B.xls", "cycle B");
        // Work under way: the office's lock on an open workbook, a file being written.
        putFile(xls() + "/sous/.~lock.B.xls#", "poste 2");
        putFile(xls() + "/.~A_38426.xls.k3x9", "cycle A, half");
        putFile(env->path("save/ancien.xls"), "older backup");
        putFile(env->path("save/A_38426.xls"), "stale copy");
        env->setSetting("SAUVE", env->path("save"));
        open();
        button("CmdSauve")->click();
        QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
        verifyBackInMain();
        QCOMPARE(fileBytes(env->path("save/A_38426.xls")), QByteArray("cycle A")); // replaced without asking
        QCOMPARE(fileBytes(env->path("save/sous/B.xls")), QByteArray("cycle B"));
        QCOMPARE(fileBytes(env->path("save/ancien.xls")), QByteArray("older backup"));
        QCOMPARE(QDir(env->path("save")).entryList(QDir::Files | QDir::Hidden), QStringList({"A_38426.xls", "ancien.xls"}));
        QCOMPARE(QDir(env->path("save/sous")).entryList(QDir::Files | QDir::Hidden), QStringList{"B.xls"});

        // Later work: a workbook changed, one lost, one created.
        putFile(xls() + "/A_38426.xls", "changed");
        QVERIFY(QFile::remove(xls() + "/sous/B.xls"));
        putFile(xls() + "/C_38500.xls", "new cycle");

        platform::forms().unload<Form4>();
        platform::forms().flush();
        env->messages.clear();
        open();
        env->messages.answerYes();
        button("CmdRestaure")->click();
        QCOMPARE(env->messages.boxes.size(), 2);
        QCOMPARE(env->messages.boxes[0].buttons, platform::MsgButtons::YesNo);
        QCOMPARE(env->messages.boxes[0].title, QStringLiteral("Attention"));
        QCOMPARE(env->messages.boxes[1].text, QStringLiteral("Restauration effectuée"));
        verifyBackInMain();
        QCOMPARE(fileBytes(xls() + "/A_38426.xls"), QByteArray("cycle A"));
        QCOMPARE(fileBytes(xls() + "/sous/B.xls"), QByteArray("cycle B"));
        QCOMPARE(fileBytes(xls() + "/C_38500.xls"), QByteArray("new cycle"));
        QCOMPARE(fileBytes(xls() + "/ancien.xls"), QByteArray("older backup"));
        // No temporary file is left behind (the office's lock stays where it was).
        QCOMPARE(QDir(xls()).entryList({".~*"}, QDir::Files | QDir::Hidden), QStringList{".~A_38426.xls.k3x9"});
        QCOMPARE(QDir(xls() + "/sous").entryList({".~*"}, QDir::Files | QDir::Hidden), QStringList{".~lock.B.xls#"});
    }

    void restoreDeclinedStays()
    {
        putFile(xls() + "/A.xls", "newer");
        putFile(env->path("save/A.xls"), "older");
        env->setSetting("SAUVE", env->path("save"));
        open();
        env->messages.answerNo();
        button("CmdRestaure")->click();
        QCOMPARE(fileBytes(xls() + "/A.xls"), QByteArray("newer"));
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(platform::forms().isLoaded<Form21>());
        w->close(); // the close box is a way out too
        verifyBackInMain();
    }

    void noBackupFolder_data()
    {
        QTest::addColumn<bool>("written");
        QTest::newRow("never chosen") << false;
        QTest::newRow("written empty") << true;
    }
    void noBackupFolder()
    {
        QFETCH(bool, written);
        if (written)
            env->setSetting("SAUVE", QString());
        putFile(xls() + "/A.xls", "cycle");
        putFile(env->programDir() + "/A.xls", "program copy");
        const QStringList progBefore = QDir(env->programDir()).entryList(QDir::Files);
        open();
        button("CmdSauve")->click();
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.texts().first().startsWith("Sauvegarde non effectuée"));
        verifyBackInMain();
        QCOMPARE(QDir(env->programDir()).entryList(QDir::Files), progBefore);

        env->messages.clear();
        open();
        button("CmdRestaure")->click(); // no question: there is nothing to restore from
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.texts().first().startsWith("Restauration non effectuée"));
        verifyBackInMain();
        QCOMPARE(fileBytes(xls() + "/A.xls"), QByteArray("cycle"));
    }

    void overlappingFoldersRefused_data()
    {
        QTest::addColumn<QString>("backup");
        QTest::newRow("same folder") << QString("xls");
        QTest::newRow("same folder, trailing slash") << QString("xls/");
        QTest::newRow("inside the workbooks") << QString("xls/sauve");
        QTest::newRow("holding the workbooks") << QString("");
    }
    void overlappingFoldersRefused()
    {
        QFETCH(QString, backup);
        putFile(xls() + "/A.xls", "cycle");
        env->setSetting("SAUVE", env->path(backup));
        open();
        button("CmdSauve")->click();
        QVERIFY(env->messages.texts().value(0).startsWith("Sauvegarde non effectuée"));
        verifyBackInMain();
        QVERIFY(!QFileInfo::exists(xls() + "/sauve"));

        env->messages.clear();
        open();
        button("CmdRestaure")->click();
        QVERIFY(env->messages.texts().value(0).startsWith("Restauration non effectuée"));
        QCOMPARE(env->messages.boxes.size(), 1);
        verifyBackInMain();
    }

    // Every entry comes across under its own bytes: a Latin-1 name, accents and blanks, a hidden file, and a
    // linked folder, copied as its content.
    void wholeTreeBackedUpAndRestored()
    {
        putRawFile(rawPath(xls(), "LEF\xC8VRE\xC9l3_38426.xls"), "latin-1 name");
        putRawFile(rawPath(xls(), "Ann\xE9" "e 2004/MARTICl1_38000.xls"), "latin-1 folder");
        putFile(xls() + "/Fiches été/DUPRÉ Hélène 2.xls", "accents and blanks");
        putFile(xls() + "/.cache", "hidden");
        putFile(env->path("ailleurs/partagée/lien.xls"), "through a link");
        QVERIFY(QFile::link(env->path("ailleurs"), xls() + "/Lien vers ailleurs"));
        QVERIFY(QFile::link(env->path("ailleurs/partagée/lien.xls"), xls() + "/fichier lié.xls"));
        env->setSetting("SAUVE", env->path("save"));
        open();
        button("CmdSauve")->click();
        QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
        verifyBackInMain();
        verifySameTree(xls(), env->path("save"));
        QVERIFY(!QFileInfo(env->path("save/Lien vers ailleurs")).isSymLink());

        std::filesystem::remove_all(QFile::encodeName(xls()).toStdString());
        QVERIFY(QDir().mkpath(xls()));
        env->messages.clear();
        open();
        env->messages.answerYes();
        button("CmdRestaure")->click();
        QCOMPARE(env->messages.texts().value(1), QStringLiteral("Restauration effectuée"));
        verifyBackInMain();
        verifySameTree(env->path("save"), xls());
    }

    // What cannot be copied is named, and the rest is copied all the same.
    void entriesNotCopiedNamed()
    {
        putFile(xls() + "/A.xls", "cycle");
        QVERIFY(QFile::link(env->path("disparu.xls"), xls() + "/perdu.xls"));   // a link to nothing
        QVERIFY(QDir().mkpath(xls() + "/sous"));
        QVERIFY(QFile::link(xls(), xls() + "/sous/boucle"));                    // leads back into the tree
        putFile(xls() + "/Z.xls", "last cycle");
        env->setSetting("SAUVE", env->path("save"));
        open();
        button("CmdSauve")->click();
        QCOMPARE(env->messages.boxes.size(), 1);
        const QString text = env->messages.texts().first();
        QVERIFY2(text.startsWith("Sauvegarde non effectuée"), qPrintable(text));
        QVERIFY2(text.contains(xls() + "/perdu.xls"), qPrintable(text));
        QVERIFY2(text.contains(xls() + "/sous/boucle"), qPrintable(text));
        QVERIFY2(!text.contains("A.xls") && !text.contains("Z.xls"), qPrintable(text));
        verifyBackInMain();
        QCOMPARE(fileBytes(env->path("save/A.xls")), QByteArray("cycle"));
        QCOMPARE(fileBytes(env->path("save/Z.xls")), QByteArray("last cycle"));

        // The restore names what it could not copy back, under its Latin-1 name read as such.
        std::filesystem::create_directory_symlink("/nulle/part", rawPath(env->path("save"), "r\xE9pertoire"));
        env->messages.clear();
        open();
        env->messages.answerYes();
        button("CmdRestaure")->click();
        QCOMPARE(env->messages.boxes.size(), 2);
        const QString restore = env->messages.texts().at(1);
        QVERIFY2(restore.startsWith("Restauration non effectuée"), qPrintable(restore));
        QVERIFY2(restore.contains(env->path("save") + "/répertoire"), qPrintable(restore));
        verifyBackInMain();
    }

    // An empty workbook directory setting is the program directory, as for the cycle windows.
    void emptyWorkbookSettingIsProgramDirectory()
    {
        env->setSetting("CheminXls", QString());
        env->setSetting("SAUVE", env->path("save"));
        putFile(env->programDir() + "/MARTICl1_38000.xls", "cycle");
        open();
        QCOMPARE(button("CmdSauve")->text(),
                 "Sauvegarder tout le repertoire : \n" + env->programDir() + "\nvers\n" + env->path("save"));
        button("CmdSauve")->click();
        QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
        QCOMPARE(fileBytes(env->path("save/MARTICl1_38000.xls")), QByteArray("cycle"));
    }

    void failuresReported()
    {
        // A workbook directory that does not exist.
        env->setSetting("CheminXls", env->path("absent"));
        env->setSetting("SAUVE", env->path("save"));
        open();
        button("CmdSauve")->click();
        QVERIFY(env->messages.texts().value(0).startsWith("Sauvegarde non effectuée"));
        verifyBackInMain();

        // A backup folder that was never written.
        env->setSetting("CheminXls", xls());
        env->messages.clear();
        open();
        button("CmdRestaure")->click();
        QVERIFY(env->messages.texts().value(0).startsWith("Restauration non effectuée"));
        verifyBackInMain();

        // A file that cannot be replaced (a folder stands in its place): the copy stops and says so.
        putFile(xls() + "/A.xls", "cycle");
        putFile(env->path("save/A.xls/x"), "blocking");
        env->messages.clear();
        open();
        button("CmdSauve")->click();
        QVERIFY(env->messages.texts().value(0).startsWith("Sauvegarde non effectuée"));
        verifyBackInMain();
    }

    // Backups taken while another workstation saves: each one said done is a state the file had, whole, with
    // no journal beside it.
    void backupWhileAnotherWorkstationSaves()
    {
        const int last = databaseInWorkbooks(8000);
        const QString db = treeDatabase();
        const QString copy = env->path("save/INDUCTION.mdb");
        putFile(xls() + "/A_38426.xls", "cycle A");
        env->setSetting("SAUVE", env->path("save"));
        Workstation other(db, last, env->path("stop"));
        QVERIFY(savesGoOn(db, 20));
        for (int round = 0; round < 6; ++round) {
            reopen();
            button("CmdSauve")->click();
            QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
            verifyBackInMain();
            VERIFY_STATE_THE_FILE_HAD(copy, last);
            QCOMPARE(fileBytes(env->path("save/A_38426.xls")), QByteArray("cycle A"));
            QVERIFY(savesGoOn(db, 20));
        }
        QVERIFY(other.saves() > 0);
        verifyStateTheFileHad(db, last);
    }

    // A damaged database is not backed up over its earlier copy, and the backup says why.
    void damagedDatabaseKeepsItsEarlierBackup()
    {
        databaseInWorkbooks(2000);
        const QString db = treeDatabase();
        env->setSetting("SAUVE", env->path("save"));
        open();
        button("CmdSauve")->click();
        QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
        const QByteArray earlier = fileBytes(env->path("save/INDUCTION.mdb"));
        {
            // An index page of the sheets overwritten, as a failing disk leaves it.
            RawDb raw(db);
            const int page = raw.text(QStringLiteral("SELECT max(pageno) FROM dbstat WHERE name = 'FICHE_CRITERES'")).toInt();
            const int size = raw.text(QStringLiteral("PRAGMA page_size")).toInt();
            QVERIFY(page > 1);
            QFile f(db);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(qint64(page - 1) * size));
            f.write(QByteArray(size / 2, '\x5a'));
        }
        reopen();
        button("CmdSauve")->click();
        const QString text = env->messages.texts().value(0);
        QVERIFY2(text.startsWith(QStringLiteral("Sauvegarde non effectuée")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("INDUCTION.mdb")), qPrintable(text));
        QCOMPARE(fileBytes(env->path("save/INDUCTION.mdb")), earlier);
        QCOMPARE(QDir(env->path("save")).entryList(QDir::Files | QDir::Hidden), QStringList{"INDUCTION.mdb"});
    }

    // A restore while another workstation saves: the restored content is in place, this workstation opens it as
    // usual, the other one goes on saving in it, and the file stays whole.
    void restoreWhileAnotherWorkstationSaves()
    {
        const int last = databaseInWorkbooks(8000);
        const QString db = treeDatabase();
        env->setSetting("SAUVE", env->path("save"));
        open();
        button("CmdSauve")->click();
        QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
        Workstation other(db, last, env->path("stop"));
        for (int round = 0; round < 5; ++round) {
            QVERIFY(savesGoOn(db, 20));
            QVERIFY(execWaiting(db, QStringLiteral("INSERT INTO CIVILITES (Nom, TEL2) VALUES ('APRES', '0')")));
            reopen();
            env->messages.answerYes();
            button("CmdRestaure")->click();
            QCOMPARE(env->messages.texts().mid(1).join(QLatin1Char('\n')), QStringLiteral("Restauration effectuée"));
            verifyBackInMain();
            RawDb restored(db);
            QVERIFY(restored.exec(QStringLiteral("PRAGMA busy_timeout=10000")));
            QCOMPARE(restored.text(QStringLiteral("SELECT count(*) FROM CIVILITES WHERE Nom = 'APRES'")), QString("0"));
        }
        QVERIFY(savesGoOn(db, 20));
        QVERIFY(other.saves() > 0);
        verifyStateTheFileHad(db, last);
    }

    // An entry that goes away while the tree is copied: a database's journal, a workbook deleted meanwhile.
    void entryGoneDuringTheCopy_data()
    {
        QTest::addColumn<QString>("gone");
        QTest::newRow("journal") << "INDUCTION.mdb-journal";
        QTest::newRow("workbook") << "B_38500.xls";
    }
    void entryGoneDuringTheCopy()
    {
        QFETCH(QString, gone);
        databaseInWorkbooks(10);
        putFile(xls() + "/A_38426.xls", QByteArray(16 << 20, 'a')); // copied first, for a while
        putFile(xls() + "/" + gone, "going");
        putFile(xls() + "/Z_38600.xls", "cycle Z");
        QVERIFY(QDir().mkpath(env->path("save")));
        env->setSetting("SAUVE", env->path("save"));
        open();
        {
            const OnFirstFileIn removal(env->path("save"), [path = xls() + "/" + gone] { QFile::remove(path); });
            button("CmdSauve")->click();
            QVERIFY(removal.ran());
        }
        QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
        QVERIFY(!QFileInfo::exists(env->path("save/") + gone));
        QCOMPARE(fileBytes(env->path("save/Z_38600.xls")), QByteArray("cycle Z"));
        verifyStateTheFileHad(env->path("save/INDUCTION.mdb"), 10);
    }

    // What could not be flushed to disk is not said done, and the earlier files stay whole.
    void unflushedCopyNotSaidDone_data() { bothWays(); }
    void unflushedCopyNotSaidDone()
    {
        QFETCH(bool, restore);
        WRITE_ERRORS_OR_SKIP();
        const int last = databaseInWorkbooks(100);
        const QString db = treeDatabase();
        env->setSetting("SAUVE", env->path("save"));
        putFile(xls() + "/A_38426.xls", "cycle A");
        open();
        button("CmdSauve")->click();
        QCOMPARE(env->messages.texts(), QStringList{"Sauvegarde terminée"});
        // Each side changes after the backup.
        putFile(xls() + "/A_38426.xls", "cycle A, later");
        QVERIFY(execWaiting(db, QStringLiteral("INSERT INTO CIVILITES (Nom) VALUES ('APRES')")));
        const QString written = restore ? xls() : env->path("save");
        QMap<QString, QByteArray> before;
        for (const QString& name : QDir(written).entryList(QDir::Files | QDir::Hidden))
            before[name] = fileBytes(written + "/" + name);

        reopen();
        {
            const WriteErrors errors(written, "EIO", "fsync");
            if (restore) {
                env->messages.answerYes();
                button("CmdRestaure")->click();
            } else {
                button("CmdSauve")->click();
            }
        }
        const QString text = env->messages.texts().last();
        QVERIFY2(text.startsWith(restore ? QStringLiteral("Restauration non effectuée")
                                         : QStringLiteral("Sauvegarde non effectuée")), qPrintable(text));
        verifyBackInMain();
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(fileBytes(written + "/" + it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(QDir(written).entryList(QDir::Files | QDir::Hidden), before.keys());
        verifyStateTheFileHad(written + "/INDUCTION.mdb", last);
    }

    // A copy that lasts (here: the database locked by another workstation for a while) keeps the program alive:
    // its windows go on painting, a progress window says how far the copy has gone, and a click on the backup
    // window meanwhile is neither run nor kept for later.
    void longCopyKeepsTheProgramAlive_data() { bothWays(); }
    void longCopyKeepsTheProgramAlive()
    {
        QFETCH(bool, restore);
        databaseInWorkbooks(100);
        putFile(xls() + "/A_38426.xls", "cycle A");
        env->setSetting("SAUVE", env->path("save"));
        if (restore) {
            open();
            button("CmdSauve")->click();
            reopen();
        } else {
            open();
        }
        Workstation other(treeDatabase());
        QVERIFY(other.held());

        bool copying = false;
        int ticks = 0, paints = 0;
        QString shown;
        QTimer tick;
        tick.setInterval(20);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (!copying)
                return;
            ++ticks;
            w->update();
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<platform::ProgressWindow*>(top);
                if (!progress || !progress->isVisible() || !shown.isEmpty())
                    continue;
                for (auto* label : progress->findChildren<QLabel*>())
                    shown += label->text() + QLatin1Char('|');
                other.release();
            }
            // As the desktop delivers a click, to the window.
            QPushButton* choose = button("Command2");
            QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, choose->mapTo(w, choose->rect().center()));
        });
        struct PaintCount final : QObject {
            int& n;
            explicit PaintCount(int& count) : n(count) {}
            bool eventFilter(QObject*, QEvent* e) override
            {
                n += e->type() == QEvent::Paint;
                return false;
            }
        } painted(paints);
        w->installEventFilter(&painted);
        tick.start();
        copying = true;
        if (restore) {
            env->messages.answerYes();
            button("CmdRestaure")->click();
        } else {
            button("CmdSauve")->click();
        }
        copying = false;
        QVERIFY2(ticks > 0 && paints > 0, qPrintable(QStringLiteral("%1 ticks, %2 paints").arg(ticks).arg(paints)));
        QVERIFY2(shown.contains(restore ? QStringLiteral("Restauration : ") : QStringLiteral("Sauvegarde : ")),
                 qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral(" sur ")), qPrintable(shown));
        QCoreApplication::processEvents();
        QCOMPARE(chooserTitles, QStringList());
        QCOMPARE(env->messages.texts().last(), restore ? QStringLiteral("Restauration effectuée")
                                                       : QStringLiteral("Sauvegarde terminée"));
    }

    void folderOverlap()
    {
        QDir().mkpath(env->path("a/b"));
        QVERIFY(admin::foldersOverlap(env->path("a"), env->path("a/b")));
        QVERIFY(admin::foldersOverlap(env->path("a/b/../b"), env->path("a/b")));
        QVERIFY(admin::foldersOverlap(env->path("a/b/new"), env->path("a")));
        QVERIFY(!admin::foldersOverlap(env->path("a"), env->path("ab")));
        QVERIFY(!admin::foldersOverlap(env->path("a/b"), env->path("a/c")));
        // A backup folder not made yet, named through a link to the workbooks' parent.
        QVERIFY(QFile::link(env->path("a"), env->path("lien")));
        QVERIFY(admin::foldersOverlap(env->path("a/b"), env->path("lien/b/sauve/neuf")));
    }

    void aboutBox()
    {
        frmAbout* about = platform::forms().show<frmAbout>();
        QCOMPARE(about->windowTitle(), QStringLiteral("À propos de FOLIVEX"));
        QCOMPARE(control<QLabel>(about, "lblTitle")->text(), QStringLiteral("FOLIVEX"));
        QCOMPARE(control<QLabel>(about, "lblVersion")->text(),
                 QStringLiteral("Version %1.%2.%3").arg(FOLIVEX_VERSION_MAJOR).arg(FOLIVEX_VERSION_MINOR).arg(FOLIVEX_VERSION_PATCH));
        QCOMPARE(control<QLabel>(about, "lblDescription")->text(), QStringLiteral("Gestion des inductions de l'ovulation"));
        QVERIFY(!control<QLabel>(about, "lblAuteur")->text().isEmpty());
        QVERIFY(control<QLabel>(about, "lblContact")->text().contains('@'));
        QVERIFY(!control<QLabel>(about, "picIcon")->pixmap().isNull());
        control<QPushButton>(about, "cmdOK")->click();
        QVERIFY(!platform::forms().isLoaded<frmAbout>());
    }
};

int main(int argc, char** argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--saver") == 0) {
        QCoreApplication app(argc, argv);
        return saver(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(), QString::fromLocal8Bit(argv[4]));
    }
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0) {
        QCoreApplication app(argc, argv);
        return holder(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestForm21 test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_form21.moc"
