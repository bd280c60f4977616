// The splash and the main window: start-up, browsing, search, age display, the commands and the program end.
#include "app/form0.h"
#include "app/form2.h"
#include "app/form3.h"
#include "admin/form9.h"
#include "admin/letterheadfile.h"
#include "appfixture.h"
#include "cycles/form5.h"
#include "cycles/form6.h"
#include "data/globals.h"
#include "platform/environment.h"
#include "platform/settings.h"
#include "support/rawdb.h"
#include "support/testenv.h"
#include "support/workstation.h"
#include "workup/form11.h"
#include "workup/form7.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>

using fixture::control;
using fixture::label;
using fixture::mainWindow;
using platform::forms;

namespace {

const QString kPathRefused = QStringLiteral(
    "La base de données 'Induction.mdb' est introuvable. Veuillez à l'aide du SUPERVISEUR la placer dans un "
    "repertoire quelconque de votre reseau puis relancer le programme");

void click(const char* button) { QTest::mouseClick(control<QPushButton>(mainWindow(), button), Qt::LeftButton); }
QLineEdit* text1() { return control<QLineEdit>(mainWindow(), "Text1"); }
QLineEdit* text2() { return control<QLineEdit>(mainWindow(), "Text2"); }

QColor ageColour() { return control<QLabel>(mainWindow(), "AgeLbl")->palette().color(QPalette::WindowText); }

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture::countQuits(); }

    void splashGivesWayToMainWindow()
    {
        TestEnv env;
        auto* splash = forms().show<Form0>();
        QCOMPARE(control<QLabel>(splash, "Label5")->text(), QString("Version 5.0.0"));
        QCOMPARE(control<QLabel>(splash, "Label1")->text(), QString("FOLIVEX"));
        QCOMPARE(splash->Timer1->interval(), 4000);
        QVERIFY(splash->Timer1->isActive());
        splash->Timer1_Timer();
        QVERIFY(!forms().isLoaded<Form0>());
        QVERIFY(forms().isLoaded<Form4>());
        QVERIFY(forms().find<Form4>()->isVisible());
    }

    void startUpOpensTheDatabase()
    {
        TestEnv env;
        mainWindow();
        QVERIFY(forms().isLoaded<Form4>());
        QCOMPARE(data::CHEMIN_BASE, env.dbPath());
        QCOMPARE(data::SQL_DOSSIERS, QString("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        QVERIFY(data::RS_DOSSIERS);
        for (const char* name : {"NumLbl", "NomLbl", "NeeLbl", "AgeLbl"})
            QVERIFY(label(name).isEmpty());
        QVERIFY(env.messages.boxes.isEmpty());
        QCOMPARE(fixture::quits, 0);
    }

    void startUpRefusesPath_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("lower case") << "induction.mdb";
        QTest::newRow("capital extension") << "INDUCTION.MDB";
        QTest::newRow("further extension") << "INDUCTION.mdb.bak";
        QTest::newRow("no setting") << QString();
    }
    void startUpRefusesPath()
    {
        QFETCH(QString, fileName);
        TestEnv env;
        if (fileName.isEmpty()) {
            QSettings(platform::settingsFile(), QSettings::IniFormat).remove(QStringLiteral("TALVENOR_FOLIVEX/CHEMIN"));
        } else {
            const QString path = QFileInfo(env.dbPath()).absolutePath() + '/' + fileName;
            QFile::copy(env.dbPath(), path);
            env.setSetting("CHEMIN", path);
        }
        mainWindow();
        QCOMPARE(env.messages.texts(), QStringList{kPathRefused});
        QCOMPARE(env.messages.boxes[0].icon, platform::MsgIcon::None);
        QCOMPARE(fixture::quits, 1);
        QVERIFY(!forms().isLoaded<Form4>());
    }

    void startUpEndsCleanlyOnUnopenableDatabase()
    {
        TestEnv env;
        QDir().mkpath(env.path("broken"));
        QFile junk(env.path("broken/INDUCTION.mdb"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a database at all, just some bytes that are not SQLite");
        junk.close();
        for (const QString& path : {env.path("missing/INDUCTION.mdb"), env.path("broken/INDUCTION.mdb")}) {
            fixture::quits = 0;
            env.messages.clear();
            env.setSetting("CHEMIN", path);
            mainWindow();
            QCOMPARE(env.messages.boxes.size(), 1);
            QVERIFY2(env.messages.boxes[0].text.contains(path), qPrintable(env.messages.boxes[0].text));
            QCOMPARE(fixture::quits, 1);
            QVERIFY(!forms().isLoaded<Form4>());
            forms().flush();
        }
    }

    // A file changed by another tool that lacks a table or a column the windows read or write is refused at the
    // opening, naming what is missing; names compare without regard to case, as Jet's do.
    void startUpEndsOnAMissingTableOrColumn_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::newRow("table") << "DROP TABLE GROSSESSE" << "La table GROSSESSE manque dans %1";
        QTest::newRow("dossier column") << "ALTER TABLE CIVILITES DROP COLUMN PROFESSION"
                                        << "La colonne PROFESSION manque dans la table CIVILITES de %1";
        QTest::newRow("sheet column") << "ALTER TABLE FICHE DROP COLUMN ABANDON"
                                      << "La colonne ABANDON manque dans la table FICHE de %1";
        QTest::newRow("exam column") << "ALTER TABLE EXAMENS DROP COLUMN DIVERS"
                                     << "La colonne DIVERS manque dans la table EXAMENS de %1";
        QTest::newRow("follow-up column") << "ALTER TABLE GROSSESSE DROP COLUMN COMMENT"
                                          << "La colonne COMMENT manque dans la table GROSSESSE de %1";
        QTest::newRow("list column") << "ALTER TABLE OPTIONS DROP COLUMN TEXTE"
                                     << "La colonne TEXTE manque dans la table OPTIONS de %1";
        QTest::newRow("column in other letters") << "ALTER TABLE CIVILITES RENAME COLUMN PROFESSION TO profession"
                                                 << QString();
    }
    void startUpEndsOnAMissingTableOrColumn()
    {
        QFETCH(QString, change);
        QFETCH(QString, said);
        TestEnv env;
        QVERIFY(RawDb(env.dbPath()).exec(change));
        mainWindow();
        if (said.isEmpty()) {
            QVERIFY(env.messages.boxes.isEmpty());
            QVERIFY(forms().isLoaded<Form4>());
            return;
        }
        QCOMPARE(env.messages.boxes.size(), 1);
        const QString text = env.messages.boxes[0].text;
        QVERIFY2(text.contains(said.arg(env.dbPath())), qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("Le programme va s'arrêter.")), qPrintable(text));
        QCOMPARE(fixture::quits, 1);
        QVERIFY(!forms().isLoaded<Form4>());
    }

    void browsingEdges()
    {
        TestEnv env;
        // Table order BRUN, ARNAUD, CARON; name order ARNAUD, BRUN, CARON.
        fixture::addCouple(env.dbPath(), "BRUN");
        fixture::addCouple(env.dbPath(), "ARNAUD");
        fixture::addCouple(env.dbPath(), "CARON");
        mainWindow();
        click("Command1");
        QCOMPARE(label("NomLbl"), QString("ARNAUD"));
        QCOMPARE(label("NumLbl"), QString("2"));
        click("Command3");
        QCOMPARE(label("NomLbl"), QString("ARNAUD"));
        click("Command4");
        QCOMPARE(label("NomLbl"), QString("BRUN"));
        click("Command2");
        QCOMPARE(label("NomLbl"), QString("CARON"));
        click("Command4");
        QCOMPARE(label("NomLbl"), QString("CARON"));
        // The arrow keys of the search boxes act as the buttons and leave the text alone.
        QTest::keyClick(text1(), Qt::Key_Left);
        QCOMPARE(label("NomLbl"), QString("BRUN"));
        QTest::keyClick(text2(), Qt::Key_Right);
        QCOMPARE(label("NomLbl"), QString("CARON"));
        QVERIFY(text1()->text().isEmpty());
        QVERIFY(env.messages.boxes.isEmpty());
    }

    void browsingAnEmptyTable()
    {
        TestEnv env;
        mainWindow();
        for (const char* b : {"Command1", "Command2", "Command3", "Command4"})
            click(b);
        QTest::keyClick(text1(), Qt::Key_Right);
        QCOMPARE(env.messages.texts(), QStringList(5, QString("Pas de Patient enregistré")));
        QVERIFY(label("NumLbl").isEmpty());
    }

    void searchByName()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "MARTIN");
        fixture::addCouple(env.dbPath(), "Dupont");
        fixture::addCouple(env.dbPath(), "DURAND");
        fixture::addCouple(env.dbPath(), "D'ARC");
        mainWindow();
        QTest::keyClicks(text1(), "du");
        QCOMPARE(text1()->text(), QString("DU"));
        QCOMPARE(label("NomLbl"), QString("Dupont"));
        QVERIFY(env.messages.boxes.isEmpty());

        // After every name: the message, the couple stays, and browsing still works.
        text1()->setText("ZZZ");
        QCOMPARE(env.messages.texts(), QStringList{"Ce Nom n'existe pas"});
        QCOMPARE(label("NomLbl"), QString("Dupont"));
        click("Command4");
        QVERIFY(!label("NomLbl").isEmpty());
        QCOMPARE(env.messages.boxes.size(), 1);

        // Emptying the box does nothing; a pasted apostrophe does not break the criterion.
        const QString shown = label("NomLbl");
        text1()->clear();
        QCOMPARE(label("NomLbl"), shown);
        text1()->setText("D'A");
        QCOMPARE(label("NomLbl"), QString("D'ARC"));
        QCOMPARE(env.messages.boxes.size(), 1);
        // Nor does a pasted NUL, in either box.
        text1()->setText(QStringLiteral("MAR") + QChar(0));
        QCOMPARE(label("NomLbl"), QString("MARTIN"));
        text2()->setText(QStringLiteral("a") + QChar(0) + QStringLiteral("'b"));
        for (const QString& t : env.messages.texts())
            QVERIFY2(!t.contains("SELECT") && !t.contains("Requête") && !t.contains("token"), qPrintable(t));
    }

    void searchKeyFilter()
    {
        TestEnv env;
        mainWindow();
        env.messages.clear();
        QTest::keyClicks(text1(), "d'a");
        QCOMPARE(text1()->text(), QString("DA"));
        text1()->clear();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("é"));
        QCoreApplication::sendEvent(text1(), &press);
        QCOMPARE(text1()->text(), QStringLiteral("é"));
    }

    void searchByPartnerThenBrowse()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "AAA", "ZOLA");
        fixture::addCouple(env.dbPath(), "BBB", "LEROY");
        fixture::addCouple(env.dbPath(), "CCC", "MOREL");
        mainWindow();
        QTest::keyClicks(text2(), "le");
        QCOMPARE(label("NomPartLbl"), QString("LEROY"));
        click("Command4");
        QCOMPARE(label("NomPartLbl"), QString("MOREL"));
        click("Command4");
        QCOMPARE(label("NomPartLbl"), QString("ZOLA"));
    }

    void ageByBirthday()
    {
        TestEnv env;
        env.setNow(QDateTime(QDate(2004, 1, 15), QTime(9, 0)));
        const QColor normal = QApplication::palette().color(QPalette::WindowText);
        fixture::addCouple(env.dbPath(), "A", "", "10/12/60"); // 43 by the birthday
        fixture::addCouple(env.dbPath(), "B", "", "15/01/1960"); // 44 today
        fixture::addCouple(env.dbPath(), "C", "", "1/2/70");
        fixture::addCouple(env.dbPath(), "D", "", "31/02/70");
        fixture::addCouple(env.dbPath(), "E", "", "");
        mainWindow();
        click("Command1");
        QCOMPARE(label("AgeLbl"), QString("43 ans"));
        QCOMPARE(ageColour(), normal);
        click("Command4");
        QCOMPARE(label("AgeLbl"), QString("44 ans"));
        QCOMPARE(ageColour(), QColor(255, 0, 0));
        click("Command4");
        QCOMPARE(label("AgeLbl"), QString("33 ans"));
        QCOMPARE(label("NeeLbl"), QString("1/2/70"));
        QCOMPARE(ageColour(), normal);
        click("Command4");
        QVERIFY(label("AgeLbl").isEmpty());
        QVERIFY(label("NeeLbl").isEmpty());
        click("Command4");
        QVERIFY(label("AgeLbl").isEmpty());
    }

    void everyEmptyColumnShowsOnlyTheNumber()
    {
        TestEnv env;
        const int n = fixture::addCouple(env.dbPath(), QMap<QString, QString>{});
        mainWindow();
        click("Command1");
        QCOMPARE(label("NumLbl"), QString::number(n));
        for (const auto& f : app::kDossierFields)
            QVERIFY(label(f.mainLabel).isEmpty());
        // Its number is shown, so its exams open like any couple's, and are saved as its own.
        click("CmdExamens");
        Form7* exams = forms().find<Form7>();
        QVERIFY(exams && exams->isVisible());
        control<QLineEdit>(exams, "TxtNum")->setText("40");
        env.messages.answerYes();
        QTest::mouseClick(control<QPushButton>(exams, "Command2"), Qt::LeftButton);
        QCOMPARE(fixture::count(env.dbPath(), QString("SELECT*FROM EXAMENS WHERE NUMERO=%1").arg(n)), 1);
    }

    // A line break stored by another tool shows as a blank in every identity label, and the couple so shown is
    // still the couple of the file for the commands.
    void storedLineBreaksShowAsBlanks()
    {
        TestEnv env;
        const std::pair<QString, QString> breaks[] = {
            {"DUPONT\nLAMBERT", "DUPONT LAMBERT"}, {"PAU\r\nCEDEX", "PAU CEDEX"}, {"A\r\rB", "A B"},
            {"\nDEBUT", "DEBUT"}, {"FIN\r\n", "FIN"}, {"UN\nDEUX\nTROIS", "UN DEUX TROIS"}};
        QMap<QString, QString> stored, shown;
        int i = 0;
        for (const auto& f : app::kDossierFields) {
            if (qstrcmp(f.column, "NEE") == 0)
                continue;
            const auto& [value, expected] = breaks[i++ % std::size(breaks)];
            stored.insert(f.column, value);
            shown.insert(f.mainLabel, expected);
        }
        const int n = fixture::addCouple(env.dbPath(), stored);
        mainWindow();
        click("Command1");
        for (auto it = shown.cbegin(); it != shown.cend(); ++it)
            QCOMPARE(label(qPrintable(it.key())), it.value());
        click("CmdModifie");
        QVERIFY(forms().isLoaded<Form3>());
        env.messages.answerYes();
        click("CmdSupprime");
        QCOMPARE(env.messages.texts(), QStringList{"Voulez vous vraiment SUPPRIMER ce DOSSIER ?"});
        QCOMPARE(fixture::count(env.dbPath(), QString("SELECT*FROM CIVILITES WHERE NUMERO=%1").arg(n)), 0);
    }

    void deletionRemovesTheDossierButKeepsFollowUps()
    {
        TestEnv env;
        const int keep = fixture::addCouple(env.dbPath(), "AUTRE");
        const int n = fixture::addCouple(env.dbPath(), "MARTIN");
        for (int k = 1; k <= 3; ++k) {
            const int intern = fixture::addSheet(env.dbPath(), n, k);
            fixture::addRow(env.dbPath(), "GROSSESSE", "NUMFICH", intern);
        }
        fixture::addSheet(env.dbPath(), keep, 1);
        fixture::addRow(env.dbPath(), "EXAMENS", "NUMERO", n);
        fixture::addRow(env.dbPath(), "EXAMENS", "NUMERO", keep);
        mainWindow();
        text1()->setText("MARTIN");
        env.messages.answerYes();
        click("CmdSupprime");
        QCOMPARE(env.messages.texts(), QStringList{"Voulez vous vraiment SUPPRIMER ce DOSSIER ?"});
        QCOMPARE(env.messages.boxes[0].title, QString("Attention"));
        const QString num = QString::number(n);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES WHERE NUMERO=" + num), 0);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM EXAMENS WHERE NUMERO=" + num), 0);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM FICHE WHERE NUMERO=" + num), 0);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM GROSSESSE"), 3);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM FICHE"), 1);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM EXAMENS"), 1);
        QVERIFY(label("NumLbl").isEmpty());
        QVERIFY(label("NomLbl").isEmpty());
        QCOMPARE(data::SQL_DOSSIERS, QString("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        // With no couple shown the commands do nothing (an unexpected question would fail here).
        env.messages.clear();
        click("CmdSupprime");
        click("CmdOuvrirFiche");
        click("CmdCreerFiche");
        QVERIFY(env.messages.boxes.isEmpty());
        QVERIFY(!forms().isLoaded<Form5>());
    }

    void deletionAnsweredNo()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "ZOLA");
        fixture::addCouple(env.dbPath(), "ARNAUD");
        mainWindow();
        text1()->setText("Z");
        env.messages.answerNo();
        click("CmdSupprime");
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES"), 2);
        QCOMPARE(label("NomLbl"), QString("ZOLA"));
        QCOMPARE(data::SQL_DOSSIERS, QString("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        QCOMPARE(data::RS_DOSSIERS->text("Nom"), QString("ARNAUD"));
    }

    void deletionFailureDeletesNothing()
    {
        TestEnv env;
        const int n = fixture::addCouple(env.dbPath(), "MARTIN");
        fixture::addSheet(env.dbPath(), n, 1);
        fixture::addRow(env.dbPath(), "EXAMENS", "NUMERO", n);
        fixture::db(env.dbPath())->exec("CREATE TRIGGER refus BEFORE DELETE ON FICHE BEGIN SELECT RAISE(ABORT, 'verrou'); END");
        mainWindow();
        text1()->setText("MARTIN");
        env.messages.answerYes();
        click("CmdSupprime");
        QCOMPARE(env.messages.boxes.size(), 2);
        QVERIFY(env.messages.boxes[1].text.startsWith("La suppression du dossier a échoué"));
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES"), 1);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM EXAMENS"), 1);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM FICHE"), 1);
        QCOMPARE(label("NomLbl"), QString("MARTIN"));
    }

    void deletionOfADossierGoneElsewhere()
    {
        TestEnv env;
        const int n = fixture::addCouple(env.dbPath(), "MARTIN");
        fixture::addSheet(env.dbPath(), n, 1);
        fixture::addRow(env.dbPath(), "EXAMENS", "NUMERO", n);
        mainWindow();
        text1()->setText("MARTIN");
        fixture::db(env.dbPath())->exec("DELETE FROM CIVILITES");
        env.messages.answerYes();
        click("CmdSupprime");
        QCOMPARE(env.messages.boxes.size(), 1);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM EXAMENS"), 0);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM FICHE"), 0);
        QVERIFY(label("NumLbl").isEmpty());
    }

    // The number shown now holds another couple (a backup restored on another workstation) or the couple was
    // renamed there: nothing is deleted, the user is told, and the list is read again.
    void deletionOfADossierChangedElsewhere_data()
    {
        QTest::addColumn<bool>("restored");
        QTest::newRow("backup restored") << true;
        QTest::newRow("renamed elsewhere") << false;
    }
    void deletionOfADossierChangedElsewhere()
    {
        QFETCH(bool, restored);
        TestEnv env;
        const QString backup = env.path("sauvegarde.mdb");
        QVERIFY(QFile::copy(env.dbPath(), backup));
        fixture::addCouple(env.dbPath(), "AUTRE");
        const int n = fixture::addCouple(env.dbPath(), "MARTIN");
        fixture::addSheet(env.dbPath(), n, 1);
        fixture::addCouple(backup, "BERNARD");
        QCOMPARE(fixture::addCouple(backup, "DUPONT"), n);
        fixture::addSheet(backup, n, 1);
        mainWindow();
        text1()->setText("MARTIN");
        QCOMPARE(label("NumLbl"), QString::number(n));
        if (restored) {
            QVERIFY(QFile::remove(env.dbPath()));
            QVERIFY(QFile::copy(backup, env.dbPath()));
        } else {
            QVERIFY(RawDb(env.dbPath()).exec(QString("UPDATE CIVILITES SET Nom='DUPONT' WHERE numero=%1").arg(n)));
        }
        env.messages.answerYes();
        click("CmdSupprime");
        QCOMPARE(env.messages.texts(),
                 (QStringList{"Voulez vous vraiment SUPPRIMER ce DOSSIER ?",
                              "Ce dossier a été modifié ou remplacé sur un autre poste depuis son affichage : rien "
                              "n'a été supprimé. Recherchez-le à nouveau."}));
        const QString num = QString::number(n);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES WHERE NUMERO=" + num), 1);
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM FICHE WHERE NUMERO=" + num), 1);
        QVERIFY(label("NumLbl").isEmpty());
        QCOMPARE(data::SQL_DOSSIERS, QString("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        QCOMPARE(data::RS_DOSSIERS->text("Nom"), restored ? QString("BERNARD") : QString("AUTRE"));
    }

    // A backup restored on another workstation gave the number shown to another couple: no window opens with
    // the names shown over that couple's rows.
    void commandsOnACoupleReplacedElsewhere_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* c : {"CmdExamens", "CmdModifie", "CmdOuvrirFiche", "CmdCreerFiche"})
            QTest::newRow(c) << QString(c);
    }
    void commandsOnACoupleReplacedElsewhere()
    {
        QFETCH(QString, command);
        TestEnv env;
        const QString backup = env.path("sauvegarde.mdb");
        QVERIFY(QFile::copy(env.dbPath(), backup));
        const int n = fixture::addCouple(env.dbPath(), "MARTIN");
        fixture::addSheet(env.dbPath(), n, 1);
        QCOMPARE(fixture::addCouple(backup, "DUPONT"), n);
        fixture::addSheet(backup, n, 1);
        mainWindow();
        text1()->setText("MARTIN");
        QCOMPARE(label("NumLbl"), QString::number(n));
        QCOMPARE(QProcess::execute("mv", {backup, env.dbPath()}), 0);
        click(qPrintable(command));
        QCOMPARE(env.messages.texts(), QStringList{"Ce dossier a été modifié ou remplacé sur un autre poste depuis "
                                                   "son affichage. Recherchez-le à nouveau."});
        QVERIFY(label("NumLbl").isEmpty());
        for (bool loaded : {forms().isLoaded<Form7>(), forms().isLoaded<Form3>(), forms().isLoaded<Form5>(),
                            forms().isLoaded<Form6>()})
            QVERIFY(!loaded);
        text1()->setText("DUPONT");
        QCOMPARE(label("NumLbl"), QString::number(n));
    }

    // Browsing while the file changes elsewhere: the moves go through the file in place, and a couple that cannot
    // be shown is said.
    void browsingAFileChangedElsewhere_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("another file renamed into place") << "renamed";
        QTest::newRow("the next couple deleted elsewhere") << "deleted";
    }
    void browsingAFileChangedElsewhere()
    {
        QFETCH(QString, change);
        TestEnv env;
        const QString theirs = env.path("theirs.mdb");
        QVERIFY(QFile::copy(env.dbPath(), theirs));
        for (const char* nom : {"ARNAUD", "BRUN", "CARON"})
            fixture::addCouple(env.dbPath(), nom);
        for (const char* nom : {"ARNAUD", "BERNARD", "CHARLES", "DUVAL"})
            fixture::addCouple(theirs, nom);
        mainWindow();
        text1()->setText("BRUN");
        click("Command3");
        QCOMPARE(label("NomLbl"), QString("ARNAUD"));
        if (change == "renamed") {
            QCOMPARE(QProcess::execute("mv", {theirs, env.dbPath()}), 0);
            click("Command4");
            QCOMPARE(label("NomLbl"), QString("BERNARD"));
            click("Command4");
            QCOMPARE(label("NomLbl"), QString("CHARLES"));
            QCOMPARE(env.messages.texts(), QStringList());
        } else {
            QVERIFY(workstation::act({"sql", env.dbPath(), "DELETE FROM CIVILITES WHERE Nom='BRUN'"}));
            click("Command4");
            QCOMPARE(env.messages.texts(), QStringList{"Ce dossier ne peut pas être affiché.\nCes données ont été "
                                                       "supprimées sur un autre poste depuis leur lecture."});
            QCOMPARE(label("NomLbl"), QString("ARNAUD"));
            click("Command4");
            QCOMPARE(label("NomLbl"), QString("CARON"));
        }
    }

    // A file put in place that could not be opened (damaged, half copied): the search says why, and searches
    // again as soon as the file is good.
    void searchAfterAFileThatCouldNotBeOpened()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "MARTIN");
        const QString good = env.path("good.mdb");
        QVERIFY(QFile::copy(env.dbPath(), good));
        mainWindow();
        text1()->setText("MAR");
        QCOMPARE(label("NomLbl"), QString("MARTIN"));
        const QString bad = env.path("bad.mdb");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
        f.close();
        QCOMPARE(QProcess::execute("mv", {bad, env.dbPath()}), 0);
        text1()->setText("MA");
        QCOMPARE(env.messages.texts(),
                 QStringList{QStringLiteral("La recherche a échoué.\nLe fichier %1 n'est pas une base de données.")
                                 .arg(env.dbPath())});
        QCOMPARE(QProcess::execute("mv", {good, env.dbPath()}), 0);
        text1()->setText("M");
        QCOMPARE(env.messages.boxes.size(), 1);
        QCOMPARE(label("NomLbl"), QString("MARTIN"));
    }

    void openingCycleSheets()
    {
        TestEnv env;
        const int without = fixture::addCouple(env.dbPath(), "SANS");
        fixture::addCouple(env.dbPath(), "AUTRE");
        const int with = fixture::addCouple(env.dbPath(), "AVEC");
        fixture::addSheet(env.dbPath(), with, 1);
        mainWindow();

        text1()->setText("SANS");
        click("CmdOuvrirFiche");
        QCOMPARE(env.messages.texts(), QStringList{"Pas de fiche existante pour ce couple."});
        Form5* first = forms().find<Form5>();
        QVERIFY(first);
        QVERIFY(!first->isVisible());
        QCOMPARE(control<QLabel>(first, "LblNom")->text(), QString("SANS"));
        QCOMPARE(control<QLineEdit>(first, "TxtNumPat")->text(), QString::number(without));
        QCOMPARE(data::SQL_DOSSIERS, QString("SELECT*FROM CIVILITES"));
        // The list is in table order on its first row: the next row is the table's second.
        click("Command4");
        QCOMPARE(label("NomLbl"), QString("AUTRE"));

        // Another couple: the hidden window is replaced by a fresh one.
        QPointer<Form5> old(first);
        text1()->setText("AVEC");
        click("CmdOuvrirFiche");
        forms().flush();
        QVERIFY(old.isNull());
        Form5* second = forms().find<Form5>();
        QVERIFY(second && second->isVisible());
        QCOMPARE(control<QLabel>(second, "LblNom")->text(), QString("AVEC"));
        QCOMPARE(control<QLabel>(second, "lblprenom")->text(), QString("P-AVEC"));
        QCOMPARE(mainWindow()->sqlFiches, "SELECT*FROM FICHE WHERE NUMERO=" + QString::number(with) + " ORDER BY NUMFICH");
        QCOMPARE(env.messages.boxes.size(), 1);
    }

    void newDossierCancelledLeavesListOnLastRow()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "ARNAUD");
        fixture::addCouple(env.dbPath(), "BRUN");
        fixture::addCouple(env.dbPath(), "CARON");
        mainWindow();
        click("CmdCreeDossier");
        QVERIFY(forms().isLoaded<Form2>());
        QTest::mouseClick(control<QPushButton>(forms().find<Form2>(), "Command3"), Qt::LeftButton);
        QVERIFY(!forms().isLoaded<Form2>());
        click("Command3");
        QCOMPARE(label("NomLbl"), QString("BRUN"));
    }

    void helpOpensTheContents()
    {
        TestEnv env;
        mainWindow()->Aide->trigger();
        QCOMPARE(env.help.calls.size(), 1);
        QCOMPARE(env.help.calls[0].file, env.programDir() + "/Folivex.hlp");
        QCOMPARE(env.help.calls[0].command, 15);
        QCOMPARE(env.help.calls[0].topic, 0);
    }

    // F10 or Alt alone, then the arrows and Enter, reach the menus, with the desktop's style as with one that leaves
    // the menu bar's keyboard navigation out; the menu the keyboard is on shows; Escape gives the keyboard back to
    // the box. Captions stay as they are.
    void menusFromTheKeyboard_data()
    {
        QTest::addColumn<bool>("styleWithout");
        QTest::addColumn<bool>("f10");
        QTest::newRow("Alt") << false << false;
        QTest::newRow("F10") << false << true;
        QTest::newRow("Alt, style without") << true << false;
        QTest::newRow("F10, style without") << true << true;
    }
    void menusFromTheKeyboard()
    {
        QFETCH(bool, styleWithout);
        QFETCH(bool, f10);
        class WithoutMenuKeys final : public QProxyStyle {
        public:
            using QProxyStyle::QProxyStyle;
            int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returned) const override
            {
                return hint == SH_MenuBar_AltKeyNavigation ? 0
                                                            : QProxyStyle::styleHint(hint, option, widget, returned);
            }
        };
        const QString desktopStyle = QApplication::style()->name();
        if (styleWithout)
            QApplication::setStyle(new WithoutMenuKeys(QStyleFactory::create(desktopStyle)));
        const auto restoreStyle = qScopeGuard([&] {
            if (styleWithout)
                QApplication::setStyle(desktopStyle);
        });
        TestEnv env;
        Form4* w = showMainWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        text1()->setFocus();
        const auto menuKey = [&] {
            if (f10) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
            } else {
                QTest::keyPress(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
                QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Alt);
            }
        };
        const auto drawn = [&] { return w->menuBar->grab(w->menuBar->actionGeometry(w->Options)).toImage(); };
        const QImage unlit = drawn();
        menuKey();
        QCOMPARE(w->menuBar->activeAction(), w->Options);
        QVERIFY2(drawn() != unlit, "the menu the keyboard is on looks as the others");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), text1());
        QCOMPARE(drawn(), unlit);
        QVERIFY(!forms().isLoaded<Form9>());

        menuKey();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(w->menuBar->activeAction(), w->reserve);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(forms().isLoaded<Form11>());
        QStringList captions;
        for (const QAction* a : w->menuBar->actions())
            captions << a->text();
        QCOMPARE(captions, QStringList({"Items mémorisés", "Réserve Ovarienne", "Sauvegarde", "Entête", "A Propos",
                                        "Aide"}));
    }

    void quitAndCloseBoxEndTheProgram()
    {
        {
            TestEnv env;
            click("CmdQuitter");
            QCOMPARE(fixture::quits, 1);
        }
        fixture::quits = 0;
        TestEnv env;
        mainWindow()->close();
        QCOMPARE(fixture::quits, 1);
        QVERIFY(!forms().isLoaded<Form4>());
    }

    void backupMenuClosesWithoutEnding()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "MARTIN");
        QPointer<Form4> before(mainWindow());
        mainWindow()->Sauve->trigger();
        QCOMPARE(fixture::quits, 0);
        QVERIFY(!forms().isLoaded<Form4>());
        QVERIFY(!data::BASE_DOSSIERS);
        forms().flush();
        QVERIFY(before.isNull());
        // The backup window brings it back with a fresh load.
        letterhead::write(letterhead::defaultPath(), {"Dr", "NOUVEAU", "Jean"});
        Form4* again = showMainWindow();
        QVERIFY(again->isVisible());
        QVERIFY(data::BASE_DOSSIERS);
        QCOMPARE(label("Label22"), QString("Dr Jean NOUVEAU"));
        click("Command1");
        QCOMPARE(label("NomLbl"), QString("MARTIN"));
        QCOMPARE(fixture::quits, 0);
    }

    void screenshotWithACouple()
    {
        TestEnv env;
        letterhead::write(letterhead::defaultPath(), {"Docteur", "MARTIN", "Paul", "Gynécologie - Obstétrique", "Clinique du Parc",
                              "12 avenue des Lilas", "BP 45", "PAU", "64000", "05 59 00 00 00", "064123",
                              "064456"});
        fixture::addCouple(env.dbPath(),
                           {{"Nom", "DUPONT-LAMBERT"}, {"Prenom", "Marie-Hélène"}, {"SECU", "2 75 03 64 445 012 34"},
                            {"ADRESSE1", "12 rue du Maréchal Joffre"}, {"ADRESSE2", "Résidence Les Pins"},
                            {"Ville", "PAU"}, {"CODEPOST", "64000"}, {"TEL1", "05 59 12 34 56"},
                            {"TEL2", "06 12 34 56 78"}, {"Fax", "05 59 12 34 57"},
                            {"EMAIL", "marie.dupont@example.fr"}, {"TRAITANT1", "Dr LEFEBVRE"},
                            {"TRAITANT2", "Dr GARCIA"}, {"PROFESSION", "Enseignante"}, {"NOMPART", "LAMBERT"},
                            {"PRENOMPART", "Jean-Christophe"}, {"NEE", "12/03/58"}});
        Form4* w = mainWindow();
        w->show();
        click("Command1");
        QCOMPARE(label("AgeLbl"), QString("47 ans"));
        QCOMPARE(ageColour(), QColor(255, 0, 0));
        QApplication::processEvents(); // the layouts follow the new texts
        // Nothing clipped: every identity label is wide enough for its text.
        for (const auto& f : app::kDossierFields) {
            auto* l = control<QLabel>(w, f.mainLabel);
            QVERIFY2(l->width() >= l->fontMetrics().horizontalAdvance(l->text()), f.mainLabel);
        }
        w->grab().save(QDir::tempPath() + "/folivex_main_window.png");
    }
};

FOLIVEX_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
