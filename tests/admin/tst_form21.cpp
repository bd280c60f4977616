// The backup window with real folders in a temporary directory, and the about box.
#include "admin/foldercopy.h"
#include "admin/form21.h"
#include "admin/frmabout.h"
#include "admintest.h"
#include "app/form4.h"
#include "platform/settings.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

#include <filesystem>
#include <fstream>

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
        QVERIFY(QDir(xls()).entryList({"*.copie-en-cours"}).isEmpty());
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

QTEST_MAIN(TestForm21)
#include "tst_form21.moc"
