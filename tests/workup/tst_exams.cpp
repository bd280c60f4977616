// The exam window opened from the main window's exams button, driven through its controls on a fixed clock
// (15/03/2005).
#include "app/form4.h"
#include "data/database.h"
#include "data/globals.h"
#include "data/schema.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "platform/forms.h"
#include "support/rawdb.h"
#include "support/testenv.h"
#include "workup/examopen.h"
#include "platform/controls.h"
#include "workup/form7.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <array>

using platform::MsgButtons;
using platform::MsgResult;

class TestExams : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::shared_ptr<data::Database> db;

    Form7* exams() { return platform::forms().find<Form7>(); }
    template <class T = QLineEdit> T* c(const char* name) { return exams()->findChild<T*>(QLatin1String(name)); }
    QString label(const char* name) { return c<QLabel>(name)->text(); }
    void setMain(const char* name, const QString& text)
    {
        platform::forms().get<Form4>()->findChild<QLabel*>(QLatin1String(name))->setText(text);
    }
    // Shows a couple in the main window as its browsing would.
    void showCouple(int numero, const QString& nom, const QString& nee)
    {
        setMain("NumLbl", QString::number(numero));
        setMain("NomLbl", nom);
        setMain("PrenomLbl", "Prénom " + nom);
        setMain("NomPartLbl", "Mr " + nom);
        setMain("PrenomPartLbl", "Jean");
        setMain("NeeLbl", nee);
    }
    int addCouple(const QString& nom)
    {
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES");
        rs->AddNew();
        rs->setField("Nom", nom);
        rs->Update();
        rs->MoveLast();
        return rs->Fields("numero").toInt();
    }
    // An EXAMENS row with the given columns; the others stay Null.
    void addExams(int numero, const QList<QPair<QString, QString>>& values)
    {
        auto rs = db->OpenRecordset("SELECT*FROM EXAMENS");
        rs->AddNew();
        rs->setField("NUMERO", numero);
        for (const auto& [col, v] : values)
            rs->setField(col, v);
        rs->Update();
    }
    std::shared_ptr<data::Recordset> examRow(int numero)
    {
        return db->OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS WHERE NUMERO=%1").arg(numero));
    }
    QString daysAgo(int days) { return platform::shortDate(platform::today().addDays(-days)); }
    void click(const char* name) { QTest::mouseClick(c<QPushButton>(name), Qt::LeftButton); }
    void type(const char* name, const QString& keys)
    {
        c(name)->clear();
        QTest::keyClicks(c(name), keys);
    }
    bool marked(const char* name)
    {
        return c(name)->palette().color(QPalette::Text) == QColor(255, 0, 0) && c(name)->font().pointSize() == 10;
    }
    // An access key clicks its button as an animation: the click comes when the button is released.
    void accessKey(Qt::Key key)
    {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        QTest::qWait(250);
    }
    // The exams of a new couple aged 30 (0 age points), with the keys typed into weight, height, FSH and LH.
    int openTyping(const QString& nom, const std::array<const char*, 4>& keys)
    {
        const int n = addCouple(nom);
        showCouple(n, nom, "01/01/1975");
        workup::CmdExamens_Click();
        const char* boxes[] = {"TxtPds", "TxtTaille", "TxtFsh", "TxtLh"};
        for (size_t i = 0; i < keys.size(); ++i)
            type(boxes[i], keys[i]);
        return n;
    }
    void activate()
    {
        exams()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(exams()));
    }
    // The exams of a new couple without a birth date, in the active window, as the user types into it.
    int openActive(const QString& nom)
    {
        const int n = addCouple(nom);
        showCouple(n, nom, "");
        workup::CmdExamens_Click();
        exams()->activateWindow();
        if (!QTest::qWaitForWindowActive(exams()))
            qWarning("the exam window did not become active");
        return n;
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        data::CHEMIN_BASE = env->dbPath();
        db = data::Database::open(env->dbPath());
    }
    void cleanup()
    {
        db.reset();
        env.reset();
    }

    void nothingWithoutACouple()
    {
        workup::CmdExamens_Click();
        QVERIFY(!platform::forms().isLoaded<Form7>());
    }

    void coupleWithoutRowThenSaves()
    {
        const int a = addCouple("ALPHA");
        const int b = addCouple("BETA");
        showCouple(b, "BETA", "20/06/1970");
        workup::CmdExamens_Click();
        QVERIFY(exams() && exams()->isVisible());
        for (QWidget* w : exams()->examControls())
            QCOMPARE(platform::controlText(w), QString());
        QCOMPARE(label("LblNomMad"), QString("BETA"));
        QCOMPARE(label("LblPrenomMad"), QString("Prénom BETA"));
        QCOMPARE(label("LblNomMons"), QString("Mr BETA"));
        QCOMPARE(label("LblPrenomMons"), QString("Jean"));
        QCOMPARE(label("LblAge"), QString("34")); // by the birthday, not 2005 - 1970
        // The list stands on the first couple in name order.
        QCOMPARE(data::RS_DOSSIERS->Fields("numero").toInt(), a);

        // No keeps the window and what was typed; Yes adds the row, later saves edit it.
        c("TxtNum")->setText("40");
        env->messages.answerNo();
        click("Command2");
        QVERIFY(exams());
        QCOMPARE(c("TxtNum")->text(), QString("40"));
        QVERIFY(examRow(b)->isEOF());
        env->messages.answerYes();
        click("Command2");
        QCOMPARE(env->messages.texts().mid(1),
                 (QStringList{"Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?",
                              "Fiche courante modifiée"}));
        QVERIFY(!platform::forms().isLoaded<Form7>());
        platform::forms().flush();
        QCOMPARE(examRow(b)->text("NUM"), QString("40"));

        workup::CmdExamens_Click();
        QCOMPARE(c("TxtNum")->text(), QString("40"));
        QCOMPARE(data::RS_DOSSIERS->Fields("numero").toInt(), b); // back on the couple
        c("TxtNum")->setText("55");
        env->messages.answerYes();
        click("Command2");
        QCOMPARE(examRow(b)->RecordCount(), 1);
        QCOMPARE(examRow(b)->text("NUM"), QString("55"));
    }

    void coupleDeletedMeanwhileStoresNothing()
    {
        const int a = addCouple("ALPHA");
        showCouple(a, "ALPHA", "20/06/1970");
        workup::CmdExamens_Click();
        c("TxtNum")->setText("40");
        db->exec(QStringLiteral("DELETE FROM CIVILITES WHERE numero=%1").arg(a));
        click("Command2");
        QVERIFY(env->messages.texts().last().contains("a été supprimé"));
        QVERIFY(examRow(a)->isEOF());
        QVERIFY(platform::forms().isLoaded<Form7>());
    }

    // Another workstation saved this couple's exams after the window was filled (a row changed, or a first row
    // added): the user chooses, and the couple keeps one row.
    void saveOverAnotherWorkstationsExams_data()
    {
        QTest::addColumn<bool>("rowAtOpening");
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("changed, stored over it") << true << true;
        QTest::newRow("changed, left to them") << true << false;
        QTest::newRow("added, stored over it") << false << true;
        QTest::newRow("added, left to them") << false << false;
    }
    void saveOverAnotherWorkstationsExams()
    {
        QFETCH(bool, rowAtOpening);
        QFETCH(bool, overwrite);
        const int a = addCouple("ALPHA");
        if (rowAtOpening)
            addExams(a, {{"NUM", "10"}, {"HYSTERO", ""}});
        showCouple(a, "ALPHA", "20/06/1970");
        workup::CmdExamens_Click();
        c("TxtNum")->setText("40");
        RawDb other(env->dbPath());
        QVERIFY(rowAtOpening ? other.exec(QStringLiteral("UPDATE EXAMENS SET HYSTERO='normale' WHERE NUMERO=%1").arg(a))
                             : other.exec(QStringLiteral("INSERT INTO EXAMENS (NUMERO, NUM, HYSTERO) VALUES (%1, '10', "
                                                         "'normale')").arg(a)));
        env->messages.answerYes();
        env->messages.answer(overwrite ? MsgResult::Yes : MsgResult::No);
        click("Command2");
        QStringList expected = {"Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?",
                                "Les examens de ce couple ont été modifiés sur un autre poste depuis leur ouverture. "
                                "Enregistrer quand même vos modifications ?"};
        if (overwrite)
            expected << "Fiche courante modifiée";
        QCOMPARE(env->messages.texts(), expected);
        QCOMPARE(other.text(QStringLiteral("SELECT NUM || '/' || HYSTERO FROM EXAMENS WHERE NUMERO=%1").arg(a)),
                 overwrite ? QString("40/") : QString("10/normale"));
        QCOMPARE(platform::forms().isLoaded<Form7>(), !overwrite);
        if (!overwrite)
            QCOMPARE(c("TxtNum")->text(), QString("40"));
    }

    void fiftyValuesRoundTrip()
    {
        const int n = addCouple("GAMMA");
        showCouple(n, "GAMMA", "01/01/1970");
        workup::CmdExamens_Click();
        const QStringList& columns = data::examColumns();
        // Each column its own value; a date box only ever stores a date.
        QStringList values;
        for (int i = 0; i < columns.size(); ++i) {
            const bool date = exams()->dateBoxes().contains(qobject_cast<QLineEdit*>(exams()->examControls()[i]));
            values << (date ? QStringLiteral("%1/01/2004").arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                            : QStringLiteral("valeur %1").arg(i + 1));
            platform::setControlText(exams()->examControls()[i], values.last());
        }
        env->messages.answerYes();
        click("Command2");
        platform::forms().flush();
        auto row = examRow(n);
        for (int i = 0; i < columns.size(); ++i)
            QCOMPARE(row->text(columns[i]), values[i]);

        workup::CmdExamens_Click();
        for (int i = 0; i < columns.size(); ++i)
            QCOMPARE(platform::controlText(exams()->examControls()[i]), values[i]);
        QCOMPARE(c<QComboBox>("CmbBWF")->currentText(), QString("valeur 3")); // not an item, kept as typed
    }

    void nullColumnsReadEmptyAndListsComeFromOptions()
    {
        const int n = addCouple("DELTA");
        addExams(n, {{"PDS", "60"}});
        showCouple(n, "DELTA", "");
        workup::CmdExamens_Click();
        QCOMPARE(c("TxtPds")->text(), QString("60"));
        QCOMPARE(c("TxtTaille")->text(), QString());
        QCOMPARE(c<QComboBox>("CmbDiag")->currentText(), QString());
        QCOMPARE(label("LblAge"), QString());

        auto opt = db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS = 12 ");
        QStringList items;
        for (; !opt->isEOF(); opt->MoveNext())
            items << opt->text("TEXTE");
        auto* hunher = c<QComboBox>("CmbHunher");
        QStringList shown;
        for (int i = 0; i < hunher->count(); ++i)
            shown << hunher->itemText(i);
        QCOMPARE(shown, items);
        // The serology boxes keep their designer lists.
        const QStringList detail{"Négatif", "+ (Voir Détails)"};
        const QList<QPair<const char*, QStringList>> serologies = {
            {"CmbBWF", {"Négatif", "Positif"}}, {"CmbHIVF", {"Négatif", "+ (Voir détails)"}},
            {"CmbHIVM", {"Négatif", "+ (Voir détails)"}}, {"CmbHbF", detail}, {"CmbHcF", detail},
            {"CmbBWM", detail}, {"CmbHbM", detail}, {"CmbHcM", detail}, {"CmbChlamF", {"Négatif"}},
            {"CmbChlamM", {"Négatif"}}, {"CmbToxoF", {"Immunisée", "Non Immunisée"}},
            {"CmbRubF", {"Immunisée", "Non Immunisée"}}};
        for (const auto& [name, expected] : serologies) {
            auto* combo = c<QComboBox>(name);
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            QVERIFY2(items == expected, qPrintable(QString(name) + ": " + items.join("|")));
        }
    }

    void quitAndHelp()
    {
        const int n = addCouple("EPSILON");
        showCouple(n, "EPSILON", "");
        workup::CmdExamens_Click();
        c("TxtMob")->setText("x");
        exams()->findChild<QAction*>("Aide")->trigger();
        QCOMPARE(env->help.calls.size(), 1);
        QCOMPARE(env->help.calls[0].command, 1);
        QCOMPARE(env->help.calls[0].topic, 50);
        env->messages.answerNo();
        click("Quitte");
        QVERIFY(exams());
        env->messages.answerYes();
        click("Quitte");
        QCOMPARE(env->messages.texts(), (QStringList{"Quitter sans enregistrer ?", "Quitter sans enregistrer ?"}));
        QVERIFY(!platform::forms().isLoaded<Form7>());
        QVERIFY(examRow(n)->isEOF());
    }

    void windowKeepsItsCouple()
    {
        const int a = addCouple("ANCIEN");
        const int b = addCouple("BRUN");
        addExams(a, {{"PDS", "80"}, {"TAILLE", "176"}, {"FSH", "9"}, {"LH", "3"}});
        showCouple(a, "ANCIEN", "01/01/1960"); // 45 years: 2 age points
        workup::CmdExamens_Click();
        QCOMPARE(label("LblRo"), QString("5"));
        // The main window moves on to a young woman: the exam window still scores and saves couple a.
        showCouple(b, "BRUN", "01/01/1990");
        setMain("AgeLbl", "15 ans");
        type("TxtLh", "30");
        QCOMPARE(label("LblRo"), QString("3")); // 2 + 0 + 2 - 1: couple a's age points

        env->messages.answerYes();
        click("Command2");
        QCOMPARE(examRow(a)->text("LH"), QString("30"));
        QVERIFY(examRow(b)->isEOF());
    }

    void ageRefreshedForACoupleWithoutRow()
    {
        const int a = addCouple("AINE");
        const int b = addCouple("BENJAMINE");
        addExams(a, {});
        showCouple(a, "AINE", "01/01/1960");
        workup::CmdExamens_Click();
        QCOMPARE(label("LblAge"), QString("45"));
        showCouple(b, "BENJAMINE", "16/03/1980");
        workup::CmdExamens_Click();
        QCOMPARE(label("LblAge"), QString("24"));
    }

    void scoreFollowsEveryInput()
    {
        openTyping("ZETA", {"68", "162", "8", "3"});
        QCOMPARE(label("LblBmi"), QString("25,9"));
        QCOMPARE(label("LblLhFsh"), QString("0,38"));
        QCOMPARE(label("LblRo"), QString("2")); // BMI 1 + FSH 1 + ratio 0
        type("TxtPds", "80");
        type("TxtTaille", "176");
        QCOMPARE(label("LblBmi"), QString("25,8"));
        QCOMPARE(label("LblRo"), QString("1")); // the weight recomputes the score too
        type("TxtFsh", "7,59");
        QCOMPARE(label("LblRo"), QString("0")); // FSH 0, ratio 0,4: 0
        type("TxtFsh", "7,6");
        QCOMPARE(label("LblRo"), QString("1"));
        type("TxtFsh", "9");
        QCOMPARE(label("LblRo"), QString("3")); // FSH 2, ratio 0,33: 1
        type("TxtTaille", "165");
        type("TxtPds", "60");
        QCOMPARE(label("LblBmi"), QString("22"));

        c("TxtLh")->clear();
        QCOMPARE(label("LblLhFsh"), QString());
        QCOMPARE(label("LblRo"), QString());
        // Zero height or FSH: no BMI or ratio, no score, nothing divided by zero.
        type("TxtLh", "3");
        type("TxtTaille", "0");
        QCOMPARE(label("LblBmi"), QString());
        QCOMPARE(label("LblRo"), QString());
        type("TxtTaille", "165");
        type("TxtFsh", "0,5");
        QCOMPARE(label("LblLhFsh"), QString("6"));
        QCOMPARE(label("LblRo"), QString("-1"));
    }

    // The full stop of a numeric keypad is the decimal comma in every number box, as in the calculator: the
    // value stored and scored is the one typed, not ten times it. Other characters are still dropped.
    void decimalsTypedWithAFullStop()
    {
        const int n = openTyping("IOTA", {"6a8.4", "162.", "7.6x", "3,2"});
        QCOMPARE(c("TxtPds")->text(), QString("68,4"));
        QCOMPARE(c("TxtTaille")->text(), QString("162,"));
        QCOMPARE(c("TxtFsh")->text(), QString("7,6"));
        // One decimal comma at most, whichever key types it; a letter with Alt that is no access key types
        // nothing, in a number box as in a date box.
        type("TxtPds", "6,5.a,");
        QCOMPARE(c("TxtPds")->text(), QString("6,5"));
        QTest::keyClick(c("TxtPds"), Qt::Key_U, Qt::AltModifier);
        QCOMPARE(c("TxtPds")->text(), QString("6,5"));
        type("TxtDateGen", "21/12/26");
        QTest::keyClick(c("TxtDateGen"), Qt::Key_U, Qt::AltModifier);
        QCOMPARE(c("TxtDateGen")->text(), QString("21/12/26"));
        type("TxtDateGen", QString());
        type("TxtPds", "68,4");
        type("TxtTaille", "162");
        QCOMPARE(label("LblBmi"), QString("26,1"));
        QCOMPARE(label("LblLhFsh"), QString("0,42"));
        QCOMPARE(label("LblRo"), QString("2")); // BMI 1 + FSH 1 + ratio 0

        env->messages.answerYes();
        click("Command2");
        auto row = examRow(n);
        QCOMPARE(row->text("PDS"), QString("68,4"));
        QCOMPARE(row->text("TAILLE"), QString("162"));
        QCOMPARE(row->text("FSH"), QString("7,6"));
        QCOMPARE(row->text("LH"), QString("3,2"));
    }

    void staleDatesMarkedAndReset()
    {
        const int a = addCouple("VIEUX");
        const int b = addCouple("RECENT");
        addExams(a, {{"DTBWF", daysAgo(365)}, {"DTHIVF", daysAgo(366)}, {"DTSPERMO", daysAgo(93)},
                     {"DTHBM", daysAgo(-30)}, {"DTHCF", "pas une date"}, {"DTCHLF", daysAgo(400)}});
        addExams(b, {{"DTSPERMO", daysAgo(92)}, {"DTHIVF", daysAgo(10)}});
        showCouple(a, "VIEUX", "");
        workup::CmdExamens_Click();
        QVERIFY(!marked("Txtdate01"));
        QVERIFY(marked("Txtdate02"));
        QVERIFY(marked("Text06"));
        QVERIFY(!marked("Text03"));
        QVERIFY(!marked("TxtDate04"));
        QVERIFY(marked("TxtDate05"));
        showCouple(b, "RECENT", "");
        workup::CmdExamens_Click();
        for (QLineEdit* box : exams()->dateBoxes())
            QVERIFY2(box->palette().color(QPalette::Text) != QColor(255, 0, 0), qPrintable(box->objectName()));

        // Nor for a couple without a row, whose boxes are emptied for new dates.
        showCouple(a, "VIEUX", "");
        workup::CmdExamens_Click();
        QVERIFY(marked("Text06"));
        const int c = addCouple("NOUVEAU");
        showCouple(c, "NOUVEAU", "");
        workup::CmdExamens_Click();
        for (QLineEdit* box : exams()->dateBoxes())
            QVERIFY2(box->palette().color(QPalette::Text) != QColor(255, 0, 0), qPrintable(box->objectName()));
    }

    void doubleClickCopiesGeneralDates()
    {
        const int n = addCouple("ETA");
        showCouple(n, "ETA", "");
        workup::CmdExamens_Click();
        c("TxtDateGen")->setText("pas une date");
        c("TxtDategenM")->setText("02/03/2005");
        QTest::mouseDClick(c("TxtDateGen"), Qt::LeftButton);
        QTest::mouseDClick(c("TxtDategenM"), Qt::LeftButton);
        for (const char* box : {"Txtdate01", "Txtdate02", "TxtDate03", "TxtDate04", "TxtDate05", "TxtDate06", "TxtDate07"})
            QCOMPARE(c(box)->text(), QString("pas une date"));
        QCOMPARE(c("TxtDate08")->text(), QString());
        for (const char* box : {"Text01", "Text02", "Text03", "Text04", "Text05", "Text06"})
            QCOMPARE(c(box)->text(), QString("02/03/2005"));
        QVERIFY(env->messages.boxes.isEmpty());
    }

    void leavingADateBoxValidatesIt()
    {
        const int n = openActive("THETA");
        auto* box = c("Text05");
        box->setFocus();
        box->setText("1/2/05");
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(box->text(), QString("01/02/2005"));
        QVERIFY(!box->hasFocus());
        QVERIFY(env->messages.boxes.isEmpty());

        // The next box, the spermogram date, is empty: leaving it brings two messages; OK keeps the focus in it.
        box = c("Text06");
        QVERIFY(box->hasFocus());
        env->messages.answer(MsgResult::Ok);
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(box->hasFocus());
        QCOMPARE(env->messages.boxes.size(), 2);
        QCOMPARE(env->messages.boxes[0].text, QString("Date non Valide"));
        QCOMPARE(env->messages.boxes[0].buttons, MsgButtons::Ok);
        QCOMPARE(env->messages.boxes[1].text, QString("Date non Valide"));
        QCOMPARE(env->messages.boxes[1].buttons, MsgButtons::OkCancel);
        QCOMPARE(env->messages.boxes[1].icon, platform::MsgIcon::Information);

        // A click on the save button validates first; a refusal stops the click (no save question).
        box->setText("31/02/05");
        env->messages.answer(MsgResult::Ok);
        click("Command2");
        QVERIFY(box->hasFocus());
        QCOMPARE(env->messages.boxes.size(), 4);
        QVERIFY(examRow(n)->isEOF());

        // Cancel empties the box and lets the click go on to the save.
        env->messages.answer(MsgResult::Cancel);
        env->messages.answerYes();
        click("Command2");
        QCOMPARE(env->messages.texts().mid(4), (QStringList{"Date non Valide", "Date non Valide",
                                                            "Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?",
                                                            "Fiche courante modifiée"}));
        QCOMPARE(examRow(n)->text("DTSPERMO"), QString());
        QCOMPARE(examRow(n)->text("DTCHLM"), QString("01/02/2005"));
        QCOMPARE(examRow(n)->RecordCount(), 1);
    }

    // The save's access key and a box the user never left go through the same check as a click.
    void noInvalidDateStoredWhateverTheWay()
    {
        const int n = openActive("IOTA");
        auto* box = c("Txtdate01");
        box->setFocus();
        QTest::keyClicks(box, "99/99/99");
        env->messages.answer(MsgResult::Ok);
        accessKey(Qt::Key_E);
        QCOMPARE(env->messages.texts(), (QStringList{"Date non Valide", "Date non Valide"}));
        QVERIFY(box->hasFocus());
        QVERIFY(examRow(n)->isEOF());

        // A text copied by a double-click was never left: the save stops on it too.
        box->setText("12/03/05");
        c("TxtDateGen")->setText("pas une date");
        QTest::mouseDClick(c("TxtDateGen"), Qt::LeftButton);
        c("TxtDateGen")->setText("01/03/2005");
        env->messages.clear();
        env->messages.answer(MsgResult::Ok);
        accessKey(Qt::Key_E);
        QCOMPARE(env->messages.texts(), (QStringList{"Date non Valide", "Date non Valide"}));
        QVERIFY(c("Txtdate01")->hasFocus());
        QVERIFY(examRow(n)->isEOF());

        // Cancel empties each bad box in turn; the valid dates are written in the short format.
        for (int i = 0; i < 7; ++i)
            env->messages.answer(MsgResult::Cancel);
        env->messages.answerYes();
        env->messages.clear();
        accessKey(Qt::Key_E);
        QCOMPARE(env->messages.texts().count("Date non Valide"), 14);
        QCOMPARE(env->messages.texts().last(), QString("Fiche courante modifiée"));
        platform::forms().flush();
        QCOMPARE(examRow(n)->text("DTBWF"), QString());
        QCOMPARE(examRow(n)->text("DTGENF"), QString("01/03/2005"));
    }

    // A date box that holds only blanks is empty: the save neither stops on it nor stores the blanks.
    void blankDateBoxesAreEmpty()
    {
        const int n = openActive("KAPPA");
        c("TxtPds")->setFocus();
        c("TxtDateGen")->setText("  ");
        exams()->TxtDateGen_DblClick();
        c("TxtDateGen")->clear();
        env->messages.answerYes();
        click("Command2");
        QCOMPARE(env->messages.texts().last(), QString("Fiche courante modifiée"));
        QCOMPARE(env->messages.texts().count("Date non Valide"), 0);
        QCOMPARE(examRow(n)->Fields("DTBWF"), QVariant(QString()));
    }
};

QTEST_MAIN(TestExams)
#include "tst_exams.moc"
