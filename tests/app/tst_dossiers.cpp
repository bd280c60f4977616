// The new dossier window and the modification window, driven through their boxes and buttons.
#include "app/form2.h"
#include "app/form3.h"
#include "appfixture.h"
#include "data/globals.h"
#include "support/rawdb.h"
#include "support/testenv.h"
#include "support/workstation.h"

#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

using fixture::control;
using fixture::label;
using fixture::mainWindow;
using platform::forms;

namespace {

void click(QWidget* window, const char* button)
{
    QTest::mouseClick(control<QPushButton>(window, button), Qt::LeftButton);
}

Form2* openNew()
{
    click(mainWindow(), "CmdCreeDossier");
    return forms().find<Form2>();
}

// The main window shows the couple found by surname, then the modification window opens for it.
Form3* openModify(const QString& surname)
{
    control<QLineEdit>(mainWindow(), "Text1")->setText(surname);
    click(mainWindow(), "CmdModifie");
    return forms().find<Form3>();
}

QString column(const QString& db, int numero, const QString& name)
{
    auto rs = fixture::db(db)->OpenRecordset("SELECT*FROM CIVILITES WHERE NUMERO=" + QString::number(numero));
    return rs->text(name);
}

} // namespace

class TestDossiers : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture::countQuits(); }

    void newDossierWithEveryBoxEmpty()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "ZOLA");
        Form2* w = openNew();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->focusWidget(), w->box("NomTxt"));
        env.messages.answerYes();
        click(w, "Command1");
        QCOMPARE(env.messages.texts(), (QStringList{"Voulez vous vraiment enregistrer cette nouvelle Fiche ?",
                                                    "Nouvelle Fiche Enregistrée"}));
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES"), 2);
        QCOMPARE(label("NumLbl"), QString("2"));
        for (const auto& f : app::kDossierFields) {
            QVERIFY(label(f.mainLabel).isEmpty());
            QCOMPARE(column(env.dbPath(), 2, f.column), QString());
        }
        QVERIFY(!forms().isLoaded<Form2>());
        // The list is back in name order on its first row: "&>" shows the second name.
        QCOMPARE(data::SQL_DOSSIERS, QString("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        click(mainWindow(), "Command4");
        QCOMPARE(label("NomLbl"), QString("ZOLA"));
    }

    void newDossierFieldsAndAgeAfterSave()
    {
        TestEnv env;
        mainWindow();
        Form2* w = openNew();
        QTest::keyClicks(w->box("NomTxt"), "d'arc");
        QTest::keyClicks(w->box("NomPartTxt"), "durand");
        QTest::keyClicks(w->box("Tel1Txt"), "05 59");
        QTest::keyClicks(w->box("NeeTxt"), "10/01/1960");
        QCOMPARE(w->box("NomTxt")->text(), QString("D'ARC"));
        env.messages.answerYes();
        click(w, "Command1");
        QCOMPARE(label("NomLbl"), QString("D'ARC"));
        QCOMPARE(label("NomPartLbl"), QString("DURAND"));
        QCOMPARE(label("Tel1Lbl"), QString("05 59"));
        QCOMPARE(column(env.dbPath(), 1, "NEE"), QString("10/01/1960"));
        // The age follows the saved dossier.
        QCOMPARE(label("AgeLbl"), QString("45 ans"));
        QCOMPARE(control<QLabel>(mainWindow(), "AgeLbl")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        // The apostrophe survives a search and a modification.
        Form3* m = openModify("D'ARC");
        QVERIFY(m);
        QCOMPARE(m->box("NomTxt")->text(), QString("D'ARC"));
        env.messages.answerYes();
        click(m, "Command2");
        QCOMPARE(env.messages.texts().last(), QString("Fiche courante modifiée"));
        QCOMPARE(label("NomLbl"), QString("D'ARC"));
        QVERIFY(!env.messages.texts().contains("Ce Nom n'existe pas"));
    }

    void newDossierAnsweredNo()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "ARNAUD");
        fixture::addCouple(env.dbPath(), "ZOLA");
        fixture::addCouple(env.dbPath(), "BRUN");
        Form2* w = openNew();
        QTest::keyClicks(w->box("NomTxt"), "nouveau");
        env.messages.answerNo();
        click(w, "Command1");
        QCOMPARE(fixture::count(env.dbPath(), "SELECT*FROM CIVILITES"), 3);
        QCOMPARE(label("NomLbl"), QString("BRUN")); // the table's last dossier
    }

    void newDossierAnsweredNoOnEmptyTable()
    {
        TestEnv env;
        Form2* w = openNew();
        QTest::keyClicks(w->box("NomTxt"), "X");
        env.messages.answerNo();
        click(w, "Command1");
        QCOMPARE(env.messages.boxes.size(), 1);
        QVERIFY(label("NumLbl").isEmpty());
        QVERIFY(label("NomLbl").isEmpty());
        QVERIFY(!forms().isLoaded<Form2>());
    }

    void keyFilters()
    {
        TestEnv env;
        for (bool modify : {false, true}) {
            if (modify)
                fixture::addCouple(env.dbPath(), "MARTIN");
            DossierWindow* w = modify ? static_cast<DossierWindow*>(openModify("MARTIN")) : openNew();
            QVERIFY(w);
            w->clearBoxes();
            env.messages.clear();
            QTest::keyClicks(w->box("NeeTxt"), "1a");
            QCOMPARE(w->box("NeeTxt")->text(), QString("1"));
            QCOMPARE(env.messages.texts(), QStringList{"Veuillez saisir la date selon le format JJ/MM/AA"});
            w->box("NeeTxt")->clear();
            QTest::keyClicks(w->box("NeeTxt"), "99/99/99");
            QCOMPARE(w->box("NeeTxt")->text(), QString("99/99/99"));
            QTest::keyClick(w->box("NeeTxt"), Qt::Key_Backspace);
            QCOMPARE(w->box("NeeTxt")->text(), QString("99/99/9"));
            QTest::keyClicks(w->box("NomTxt"), "dupont");
            QCOMPARE(w->box("NomTxt")->text(), QString("DUPONT"));
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("é"));
            QCoreApplication::sendEvent(w->box("NomPartTxt"), &press);
            QTest::keyClicks(w->box("NomPartTxt"), "durand");
            QCOMPARE(w->box("NomPartTxt")->text(), QStringLiteral("éDURAND"));
            QTest::keyClicks(w->box("PrenomTxt"), "marie");
            QCOMPARE(w->box("PrenomTxt")->text(), QString("marie"));
            QCOMPARE(env.messages.boxes.size(), 1);
            click(w, "Command3");
        }
    }

    // A text copied over several lines and pasted into a one-line box is stored on one line: each line break
    // becomes a blank, and those at its ends go.
    void pastedLineBreaksBecomeBlanks()
    {
        TestEnv env;
        mainWindow();
        Form2* w = openNew();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        const std::pair<const char*, QString> pastes[] = {
            {"NomTxt", "DU\r\nPONT\r\n"}, {"VilleTxt", "PAU\n\n64000"}, {"Adresse1Txt", "\r12 rue Neuve\r"}};
        for (const auto& [name, pasted] : pastes) {
            QGuiApplication::clipboard()->setText(pasted);
            w->box(name)->setFocus();
            QTest::keyClick(w->box(name), Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(w->box("NomTxt")->text(), QString("DU PONT"));
        QTest::keyClicks(w->box("NomTxt"), "t");
        QCOMPARE(w->box("NomTxt")->text(), QString("DU PONTT")); // the caret stands after what was pasted
        env.messages.answerYes();
        click(w, "Command1");
        QCOMPARE(column(env.dbPath(), 1, "Nom"), QString("DU PONTT"));
        QCOMPARE(column(env.dbPath(), 1, "VILLE"), QString("PAU 64000"));
        QCOMPARE(column(env.dbPath(), 1, "ADRESSE1"), QString("12 rue Neuve"));
        QCOMPARE(label("NomLbl"), QString("DU PONTT"));
    }

    void clearButtonEmptiesEveryBox()
    {
        TestEnv env;
        Form2* w = openNew();
        for (QLineEdit* b : w->boxes)
            b->setText("x");
        click(w, "Command2");
        for (QLineEdit* b : w->boxes)
            QVERIFY(b->text().isEmpty());
        QVERIFY(forms().isLoaded<Form2>());
    }

    void modificationLoadsTheCoupleShown()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "ARNAUD");
        const int n = fixture::addCouple(env.dbPath(), {{"Nom", "MARTIN"}, {"TEL1", "01"}, {"Ville", "PAU"},
                                                        {"NEE", "12/03/75"}});
        Form3* w = openModify("MARTIN");
        QVERIFY(w);
        QCOMPARE(label("NumLbl"), QString::number(n));
        QCOMPARE(w->box("NomTxt")->text(), QString("MARTIN"));
        QCOMPARE(w->box("VilleTxt")->text(), QString("PAU"));
        QCOMPARE(w->box("NeeTxt")->text(), QString("12/03/75"));
        // Opened again while the main window shows another couple: the window follows that couple.
        QCOMPARE(openModify("ARNAUD")->box("NomTxt")->text(), QString("ARNAUD"));
        w = openModify("MARTIN");
        QCOMPARE(w->box("NomTxt")->text(), QString("MARTIN"));

        w->box("Tel1Txt")->setText("05 59 00");
        env.messages.answerYes();
        click(w, "Command2");
        QCOMPARE(env.messages.texts(),
                 (QStringList{"Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?",
                              "Fiche courante modifiée"}));
        QCOMPARE(column(env.dbPath(), n, "TEL1"), QString("05 59 00"));
        QCOMPARE(column(env.dbPath(), n, "Ville"), QString("PAU"));
        QCOMPARE(label("Tel1Lbl"), QString("05 59 00"));
        QCOMPARE(label("AgeLbl"), QString("30 ans"));
        QVERIFY(!forms().isLoaded<Form3>());
        QVERIFY(control<QLineEdit>(mainWindow(), "Text1")->text().isEmpty());
        // The list stands on the saved row in name order.
        QCOMPARE(data::SQL_DOSSIERS, QString("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        QCOMPARE(data::RS_DOSSIERS->text("numero"), QString::number(n));
    }

    void modificationAnsweredNo()
    {
        TestEnv env;
        const int n = fixture::addCouple(env.dbPath(), {{"Nom", "MARTIN"}, {"TEL1", "01"}});
        Form3* w = openModify("MARTIN");
        w->box("Tel1Txt")->setText("99");
        env.messages.answerNo();
        click(w, "Command2");
        QCOMPARE(column(env.dbPath(), n, "TEL1"), QString("01"));
        QCOMPARE(label("Tel1Lbl"), QString("01"));
        QVERIFY(!forms().isLoaded<Form3>());
    }

    void modificationOfTheSurname()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "ARNAUD");
        const int n = fixture::addCouple(env.dbPath(), "MARTIN");
        fixture::addCouple(env.dbPath(), "ZOLA");
        Form3* w = openModify("MARTIN");
        w->box("NomTxt")->clear();
        QTest::keyClicks(w->box("NomTxt"), "durand");
        env.messages.answerYes();
        click(w, "Command2");
        QCOMPARE(label("NomLbl"), QString("DURAND"));
        QCOMPARE(label("NumLbl"), QString::number(n));
        QVERIFY(!env.messages.texts().contains("Ce Nom n'existe pas"));
        // A surname that sorts after every other one.
        w = openModify("DURAND");
        w->box("NomTxt")->setText("ZZZ");
        env.messages.answerYes();
        click(w, "Command2");
        QCOMPARE(label("NomLbl"), QString("ZZZ"));
        QVERIFY(!env.messages.texts().contains("Ce Nom n'existe pas"));
    }

    void clearThenSaveEmptiesEveryColumn()
    {
        TestEnv env;
        QMap<QString, QString> full;
        for (const auto& f : app::kDossierFields)
            full[f.column] = "v";
        full["Nom"] = "MARTIN";
        const int n = fixture::addCouple(env.dbPath(), full);
        Form3* w = openModify("MARTIN");
        click(w, "Command1");
        env.messages.answerYes();
        click(w, "Command2");
        for (const auto& f : app::kDossierFields)
            QCOMPARE(column(env.dbPath(), n, f.column), QString());
        // The dossier without a surname is shown from its number.
        QCOMPARE(label("NumLbl"), QString::number(n));
        QVERIFY(label("NomLbl").isEmpty());
        QVERIFY(label("AgeLbl").isEmpty());
    }

    void modificationQuit()
    {
        TestEnv env;
        const int n = fixture::addCouple(env.dbPath(), {{"Nom", "MARTIN"}, {"TEL1", "01"}});
        Form3* w = openModify("MARTIN");
        w->box("Tel1Txt")->setText("99");
        click(w, "Command3");
        QVERIFY(!forms().isLoaded<Form3>());
        QVERIFY(control<QLineEdit>(mainWindow(), "Text1")->text().isEmpty());
        QCOMPARE(label("NomLbl"), QString("MARTIN"));
        QCOMPARE(column(env.dbPath(), n, "TEL1"), QString("01"));
        QVERIFY(env.messages.boxes.isEmpty());
    }

    void modificationOfACoupleGoneElsewhere()
    {
        TestEnv env;
        fixture::addCouple(env.dbPath(), "ARNAUD");
        const int n = fixture::addCouple(env.dbPath(), "MARTIN");
        control<QLineEdit>(mainWindow(), "Text1")->setText("MARTIN");
        fixture::db(env.dbPath())->exec("DELETE FROM CIVILITES WHERE numero=" + QString::number(n));
        click(mainWindow(), "CmdModifie");
        QVERIFY(!forms().isLoaded<Form3>());
        QCOMPARE(env.messages.boxes.size(), 1);
        QVERIFY(env.messages.boxes[0].text.startsWith("Ce dossier n'existe plus"));
        QCOMPARE(column(env.dbPath(), 1, "Nom"), QString("ARNAUD"));

        // Deleted while the window is open: the save says so and keeps what was typed.
        const int m = fixture::addCouple(env.dbPath(), "ZOLA");
        Form3* w = openModify("ZOLA");
        QVERIFY(w);
        fixture::db(env.dbPath())->exec("DELETE FROM CIVILITES WHERE numero=" + QString::number(m));
        w->box("Tel1Txt")->setText("05");
        env.messages.clear();
        env.messages.answerYes();
        click(w, "Command2");
        QCOMPARE(env.messages.boxes.size(), 2);
        QVERIFY(env.messages.boxes[1].text.startsWith("Les modifications n'ont pas pu être enregistrées"));
        QVERIFY(forms().isLoaded<Form3>());
        QCOMPARE(w->box("Tel1Txt")->text(), QString("05"));
    }

    // Since the window read the dossier, another workstation saved it, or changed its names, or a file where its
    // number is another couple's was put in place (another file copied over, an earlier backup in which another
    // workstation then created a couple that got the number again). The save reaches that couple only: the user
    // chooses over another's change of it, and is told when it is no longer there.
    void modificationOverAnotherWorkstationsChange_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("stored over it") << "changed" << true;
        QTest::newRow("left to them") << "changed" << false;
        QTest::newRow("names changed there") << "renamed" << false;
        QTest::newRow("another file copied over") << "copied" << false;
        QTest::newRow("an earlier copy put back, the number given again") << "earlier" << false;
    }
    void modificationOverAnotherWorkstationsChange()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, overwrite);
        TestEnv env;
        const QString theirs = env.path("theirs.mdb");
        QVERIFY(QFile::copy(env.dbPath(), theirs));
        const int n = fixture::addCouple(env.dbPath(), {{"Nom", "MARTIN"}, {"TEL1", "01"}});
        Form3* w = openModify("MARTIN");
        w->box("Tel1Txt")->setText("99");
        const QString couple = QString("numero=%1").arg(n);
        if (meanwhile == "changed")
            QVERIFY(workstation::act({"sql", env.dbPath(), "UPDATE CIVILITES SET TEL1='02' WHERE " + couple}));
        if (meanwhile == "renamed")
            QVERIFY(workstation::act({"sql", env.dbPath(), "UPDATE CIVILITES SET Nom='DURAND' WHERE " + couple}));
        if (meanwhile == "copied") {
            QVERIFY(workstation::act({"sql", theirs, "INSERT INTO CIVILITES (Nom) VALUES ('LEROY')",
                                      "UPDATE CIVILITES SET Ville='PAU'"}));
            QCOMPARE(QProcess::execute("cp", {theirs, env.dbPath()}), 0);
        }
        if (meanwhile == "earlier") {
            QCOMPARE(QProcess::execute("cp", {theirs, env.dbPath()}), 0);
            QVERIFY(workstation::act({"sql", env.dbPath(), "INSERT INTO CIVILITES (Nom) VALUES ('LEROY')",
                                      "UPDATE CIVILITES SET Ville='PAU'"}));
        }
        env.messages.answerYes();
        QStringList expected = {"Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?"};
        if (meanwhile == "changed") {
            env.messages.answer(overwrite ? platform::MsgResult::Yes : platform::MsgResult::No);
            expected << "Ce dossier a été modifié sur un autre poste depuis son ouverture. Enregistrer quand même vos "
                        "modifications ?";
        } else {
            expected << "Les modifications n'ont pas pu être enregistrées : ce dossier a été supprimé ou remplacé "
                        "sur un autre poste.";
        }
        click(w, "Command2");
        if (overwrite)
            expected << "Fiche courante modifiée";
        QCOMPARE(env.messages.texts(), expected);
        const QString nom = meanwhile == "renamed" ? "DURAND" : meanwhile == "changed" ? "MARTIN" : "LEROY";
        const QString tel = overwrite ? "99" : meanwhile == "changed" ? "02" : meanwhile == "renamed" ? "01" : "";
        QCOMPARE(column(env.dbPath(), n, "Nom") + "/" + column(env.dbPath(), n, "TEL1"), nom + "/" + tel);
        QCOMPARE(forms().isLoaded<Form3>(), !overwrite);
        if (!overwrite)
            QCOMPARE(w->box("Tel1Txt")->text(), QString("99"));
    }

    void dossierWindowsRefuseABadPath()
    {
        TestEnv env;
        mainWindow();
        data::CHEMIN_BASE = env.path("data/induction.mdb");
        click(mainWindow(), "CmdCreeDossier");
        QVERIFY(!forms().isLoaded<Form2>());
        QCOMPARE(env.messages.texts(),
                 QStringList{"La base de données 'INDUCTION.mdb' est introuvable. Veuillez à l'aide du SUPERVISEUR "
                             "la placer dans un repertoire quelconque de votre reseau puis relancer le programme"});
        QCOMPARE(fixture::quits, 1);
    }
};

FOLIVEX_TEST_MAIN(TestDossiers)
#include "tst_dossiers.moc"
