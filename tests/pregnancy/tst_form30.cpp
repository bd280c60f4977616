// The follow-up window over the cycle sheet window: a new follow-up from the sheet, saving with its two
// questions, leaving, and the sheets that get no follow-up.
#include "data/globals.h"
#include "pregnancy/followup.h"
#include "pregnancy/form30.h"
#include "pregnancy/record.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using followup::ctl;
using platform::forms;

class TestForm30 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;

    // What the cycle sheet window does before it opens the follow-up.
    Form30* open(const followup::Sheet& sheet = {})
    {
        Form5* f5 = followup::showSheet(sheet);
        data::CHEMINS_BASE = env->dbPath();
        data::GROSS_EXISTE = pregnancy::lookUpFollowUp(pregnancy::sheetNumber(sheet.numInt).value_or(0));
        Form30* f = Form30::openFollowUp();
        f5->hide();
        return f;
    }

    static void click(Form30* f, const char* button) { ctl<QPushButton>(f, button)->click(); }
    static QString text(Form30* f, const char* name) { return pregnancy::itemOf(ctl(f, name)); }

    // A new follow-up saved with a value of its own.
    void saveNew(const followup::Sheet& sheet, const QString& dateE)
    {
        Form30* f = open(sheet);
        QVERIFY(f);
        ctl<QLineEdit>(f, "TxtDateE")->setText(dateE);
        env->messages.answerYes();
        click(f, "CmdEnreg");
        forms().flush();
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        data::CHEMINS_BASE.clear();
        // The couple and the sheets the follow-ups belong to.
        RawDb raw(env->dbPath());
        QVERIFY(raw.exec(QStringLiteral("INSERT INTO CIVILITES (numero, Nom, Prenom) VALUES (12, 'MARTIN', 'Claire')")));
        QVERIFY(raw.exec(QStringLiteral("INSERT INTO FICHE (NUMINTFICH, NUMERO, NUMFICH) VALUES (125, 12, 3), "
                                        "(126, 12, 4)")));
    }
    void cleanup() { env.reset(); }

    void newFollowUpTakesTheSheet()
    {
        Form30* f = open();
        QVERIFY(f && f->isVisible());
        QCOMPARE(data::SQL_GROSS, QStringLiteral("SELECT*FROM GROSSESSE WHERE NUMFICH=125"));
        QCOMPARE(text(f, "TxtNumFich"), QStringLiteral("125"));
        QCOMPARE(text(f, "TxtNom"), QStringLiteral("MARTIN"));
        QCOMPARE(text(f, "TxtPrenom"), QStringLiteral("Claire"));
        QCOMPARE(text(f, "LblNomPren"), QStringLiteral("MARTIN Claire"));
        QCOMPARE(text(f, "TxtNumPat"), QStringLiteral("12"));
        QCOMPARE(text(f, "TxtNumDosC"), QStringLiteral("12-3"));
        QCOMPARE(text(f, "LblType"), QStringLiteral("FIV"));
        QCOMPARE(text(f, "LblDateT"), QStringLiteral("17/03/2005"));
        QCOMPARE(text(f, "TxtNumClin"), QStringLiteral("C042"));
        QCOMPARE(text(f, "TxtNumBio"), QStringLiteral("B077"));
        QCOMPARE(text(f, "TxtNumDosB"), QString());
        QCOMPARE(text(f, "Cmb1T_0"), QString());
        QCOMPARE(text(f, "TxtAcct_9"), QStringLiteral("10/10"));
        QCOMPARE(text(f, "TxtComment"), QStringLiteral("Commentaires : \n"));

        // Each uncaptioned third-trimester box stands on the line of its second-trimester twin.
        const auto lineOf = [f](const QString& name) {
            const QWidget* box = ctl(f, qPrintable(name));
            return box->mapTo(f, box->rect().center()).y();
        };
        for (const auto& [array, twins] : {std::pair{"ChkPathG_", 9}, std::pair{"ChkPathF_", 3}})
            for (int i = 0; i < twins; ++i)
                QCOMPARE(lineOf(array + QString::number(i + twins)), lineOf(array + QString::number(i)));
    }

    void saveNewThenModify()
    {
        // A first "No" writes nothing and keeps the window; the "Yes" after it adds exactly one row.
        Form30* f = open();
        env->messages.answerNo();
        click(f, "CmdEnreg");
        QVERIFY(forms().isLoaded<Form30>());
        QCOMPARE(followup::rowCount(env->dbPath()), 0);
        env->messages.answerYes();
        click(f, "CmdEnreg");
        QCOMPARE(env->messages.texts(),
                 QStringList({QStringLiteral("Voulez vous vraiment enregistrer les renseignements apportés à cette Fiche ?"),
                              QStringLiteral("Voulez vous vraiment enregistrer les renseignements apportés à cette Fiche ?"),
                              QStringLiteral("Fiche enregistrée")}));
        QVERIFY(!forms().isLoaded<Form30>());
        QVERIFY(forms().find<Form5>()->isVisible());
        QCOMPARE(followup::rowCount(env->dbPath()), 1);
        forms().flush();

        // Reopened: the stored identification, not the sheet's current values.
        followup::Sheet changed;
        changed.type = QStringLiteral("ICSI");
        f = open(changed);
        QVERIFY(data::GROSS_EXISTE);
        QCOMPARE(text(f, "LblType"), QStringLiteral("FIV"));
        ctl<QCheckBox>(f, "ChkPathG_3")->setChecked(true);
        env->messages.clear();
        env->messages.answerYes();
        click(f, "CmdEnreg");
        QCOMPARE(env->messages.texts(),
                 QStringList({QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?"),
                              QStringLiteral("Fiche modifiée")}));
        QCOMPARE(followup::rowCount(env->dbPath()), 1);
        forms().flush();
        f = open(changed);
        QVERIFY(ctl<QCheckBox>(f, "ChkPathG_3")->isChecked());
        QCOMPARE(env->messages.boxes.last().buttons, platform::MsgButtons::Ok);
    }

    // Tab and Shift+Tab leave the comment box: no tab character is stored, the next value goes to the next box.
    void tabLeavesTheCommentBox()
    {
        Form30* f = open();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        auto* comment = ctl<QPlainTextEdit>(f, "TxtComment");
        for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            comment->setFocus(Qt::TabFocusReason);
            comment->clear();
            QTest::keyClicks(comment, QStringLiteral("suivi"));
            QTest::keyClick(comment, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            QVERIFY(!comment->hasFocus());
            QCOMPARE(comment->toPlainText(), QString("suivi"));
        }
    }

    // An editable combo keeps what was typed: no item completes it on leaving, and a long text shows its
    // start; the list still drops down and gives its item whole.
    void combosKeepWhatIsTyped()
    {
        Form30* f = open();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        auto* motif = ctl<QComboBox>(f, "CmbMotif");
        const QString longText = QStringLiteral("Metrorragies repetees du premier trimestre, hospitalisee trois fois");
        for (const QString& typed : {QStringLiteral("ma"), QStringLiteral("m"), QStringLiteral("hta"), longText}) {
            motif->setFocus(Qt::TabFocusReason);
            motif->clearEditText();
            QTest::keyClicks(motif, typed);
            QTest::keyClick(motif, Qt::Key_Tab);
            QVERIFY(!motif->hasFocus());
            QCOMPARE(motif->currentText(), typed);
            QCOMPARE(motif->lineEdit()->cursorPosition(), 0);
        }
        QCOMPARE(motif->count(), 3);

        auto* modal = ctl<QComboBox>(f, "CmbModal");
        modal->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(modal, QStringLiteral("2 puis 3"));
        modal->showPopup();
        QAbstractItemView* list = modal->view();
        QTRY_VERIFY(list->isVisible());
        const QModelIndex third = list->model()->index(2, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(third).center());
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(modal->currentText(), QStringLiteral("3"));

        // Pasted: a combo's box is one line; the comment keeps its lines.
        QGuiApplication::clipboard()->setText(QStringLiteral("1\r\n"));
        auto* travail = ctl<QComboBox>(f, "CmbTravail");
        travail->setFocus(Qt::TabFocusReason);
        QTest::keyClick(travail, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(travail->currentText(), QStringLiteral("1"));
        QGuiApplication::clipboard()->setText(QStringLiteral("suivi\r\nà 12 SA"));
        auto* comment = ctl<QPlainTextEdit>(f, "TxtComment");
        comment->setFocus(Qt::TabFocusReason);
        comment->moveCursor(QTextCursor::End);
        QTest::keyClick(comment, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(comment->toPlainText(), QStringLiteral("Commentaires : \nsuivi\nà 12 SA"));

        env->messages.answerYes();
        click(f, "CmdEnreg");
        forms().flush();
        auto row = data::Database::open(env->dbPath())->OpenRecordset(QStringLiteral("SELECT*FROM GROSSESSE"));
        const QStringList hospit = row->text(QStringLiteral("HOSPIT")).split(QStringLiteral("\r\n"));
        QCOMPARE(hospit.value(3), longText);
        QCOMPARE(hospit.value(5), QStringLiteral("3"));
        // Shown again from the row: from its start too.
        f = open();
        QCOMPARE(ctl<QComboBox>(f, "CmbMotif")->currentText(), longText);
        QCOMPARE(ctl<QComboBox>(f, "CmbMotif")->lineEdit()->cursorPosition(), 0);
    }

    void leavingWritesNothing()
    {
        Form30* f = open();
        env->messages.answerNo();
        click(f, "CmdQuitte");
        QVERIFY(forms().isLoaded<Form30>());
        QVERIFY(!forms().find<Form5>()->isVisible());
        env->messages.answerYes();
        click(f, "CmdQuitte");
        QCOMPARE(env->messages.texts(), QStringList(2, QStringLiteral("Quitter sans enregistrer ?")));
        QVERIFY(!forms().isLoaded<Form30>());
        QVERIFY(forms().find<Form5>()->isVisible());
        forms().flush();

        // The close box asks nothing.
        f = open();
        env->messages.clear();
        f->close();
        QVERIFY(env->messages.boxes.isEmpty());
        QVERIFY(!forms().isLoaded<Form30>());
        QVERIFY(forms().find<Form5>()->isVisible());
        QCOMPARE(followup::rowCount(env->dbPath()), 0);
    }

    void noFollowUpWithoutAValidSheetNumber()
    {
        const QStringList bad = {QString(), QStringLiteral("0"), QStringLiteral("-3"), QStringLiteral("12abc"),
                                 QStringLiteral("1,5")};
        for (const QString& number : bad) {
            followup::Sheet sheet;
            sheet.numInt = number;
            env->messages.clear();
            QVERIFY(!open(sheet));
            QVERIFY(!forms().isLoaded<Form30>());
            QCOMPARE(env->messages.boxes.size(), 1);
            QVERIFY(env->messages.texts().first().contains(QStringLiteral("pas de suivi de grossesse")));
            forms().flush();
        }
        // A number spoilt after opening is not saved under 0.
        Form30* f = open();
        ctl<QLineEdit>(f, "TxtNumFich")->setText(QStringLiteral("abc"));
        env->messages.clear();
        click(f, "CmdEnreg");
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(forms().isLoaded<Form30>());
        QCOMPARE(followup::rowCount(env->dbPath()), 0);
    }

    void reopeningShowsTheSheetNowAskedFor()
    {
        followup::Sheet first, second;
        second.numInt = QStringLiteral("126");
        second.nom = QStringLiteral("DU");
        saveNew(first, QStringLiteral("01/04/2005"));
        saveNew(second, QStringLiteral("02/04/2005"));

        Form30* f = open(first);
        QCOMPARE(text(f, "TxtDateE"), QStringLiteral("01/04/2005"));
        Form30* g = open(second);
        QVERIFY(g);
        QCOMPARE(text(g, "TxtNumFich"), QStringLiteral("126"));
        QCOMPARE(text(g, "TxtDateE"), QStringLiteral("02/04/2005"));
        QCOMPARE(text(g, "LblNomPren"), QStringLiteral("DU Claire"));
        forms().flush();

        // Globals left on the first sheet's row while the second is asked for.
        pregnancy::lookUpFollowUp(125);
        data::GROSS_EXISTE = true;
        followup::showSheet(second);
        forms().unload<Form30>();
        g = Form30::openFollowUp();
        QCOMPARE(text(g, "TxtDateE"), QStringLiteral("02/04/2005"));
    }

    // Deleted on another workstation while the window was open: nothing stored, the window kept as it is.
    void followUpOfWhatWasDeletedElsewhere_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QString>("deletion");
        QTest::addColumn<QString>("said");
        const QString sheet = QStringLiteral("DELETE FROM FICHE WHERE NUMINTFICH=125");
        const QString couple = QStringLiteral("DELETE FROM CIVILITES WHERE numero=12; DELETE FROM FICHE WHERE NUMERO=12");
        const QString sheetGone = QStringLiteral("Cette fiche de stimulation a été supprimée sur un autre poste : le "
                                                 "suivi de grossesse n'a pas été enregistré.");
        const QString coupleGone = QStringLiteral("Le dossier de ce couple a été supprimé sur un autre poste : le "
                                                  "suivi de grossesse n'a pas été enregistré.");
        QTest::newRow("new, sheet") << false << sheet << sheetGone;
        QTest::newRow("new, couple") << false << couple << coupleGone;
        QTest::newRow("stored, sheet") << true << sheet << sheetGone;
        QTest::newRow("stored, couple") << true << couple << coupleGone;
    }
    void followUpOfWhatWasDeletedElsewhere()
    {
        QFETCH(bool, existing);
        QFETCH(QString, deletion);
        QFETCH(QString, said);
        if (existing)
            saveNew({}, QStringLiteral("01/04/2005"));
        Form30* f = open();
        ctl<QLineEdit>(f, "TxtDateE")->setText(QStringLiteral("09/04/2005"));
        RawDb raw(env->dbPath());
        QVERIFY(raw.exec(deletion));
        env->messages.clear();
        env->messages.answerYes();
        click(f, "CmdEnreg");
        QCOMPARE(env->messages.texts().mid(1), QStringList{said});
        QVERIFY(forms().isLoaded<Form30>());
        QCOMPARE(text(f, "TxtDateE"), QStringLiteral("09/04/2005"));
        QCOMPARE(raw.text(QStringLiteral("SELECT count(*) FROM GROSSESSE")), existing ? QString("1") : QString("0"));
        QCOMPARE(raw.text(QStringLiteral("SELECT count(*) FROM GROSSESSE WHERE DIAGGROSS LIKE '09/04/2005%'")),
                 QString("0"));
    }

    // Another workstation saved this sheet's follow-up after the window was filled (the row changed, or a first
    // row added): the user chooses, and the sheet keeps one row.
    void saveOverAnotherWorkstationsFollowUp_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("changed, stored over it") << true << true;
        QTest::newRow("changed, left to them") << true << false;
        QTest::newRow("added, stored over it") << false << true;
        QTest::newRow("added, left to them") << false << false;
    }
    void saveOverAnotherWorkstationsFollowUp()
    {
        QFETCH(bool, existing);
        QFETCH(bool, overwrite);
        if (existing)
            saveNew({}, QStringLiteral("01/04/2005"));
        Form30* f = open();
        ctl<QPlainTextEdit>(f, "TxtComment")->setPlainText(QStringLiteral("ici"));
        RawDb raw(env->dbPath());
        QVERIFY(existing ? raw.exec(QStringLiteral("UPDATE GROSSESSE SET COMMENT='là-bas' WHERE NUMFICH=125"))
                         : raw.exec(QStringLiteral("INSERT INTO GROSSESSE (NUMFICH, COMMENT) VALUES (125, 'là-bas')")));
        env->messages.clear();
        env->messages.answerYes();
        env->messages.answer(overwrite ? platform::MsgResult::Yes : platform::MsgResult::No);
        click(f, "CmdEnreg");
        QStringList expected = {existing ? QStringLiteral("Voulez vous vraiment enregistrer les modifications apportées à cette Fiche ?")
                                         : QStringLiteral("Voulez vous vraiment enregistrer les renseignements apportés à cette Fiche ?"),
                                QStringLiteral("Ce suivi de grossesse a été modifié sur un autre poste depuis son "
                                               "ouverture. Enregistrer quand même vos modifications ?")};
        if (overwrite)
            expected << (existing ? QStringLiteral("Fiche modifiée") : QStringLiteral("Fiche enregistrée"));
        QCOMPARE(env->messages.texts(), expected);
        QCOMPARE(raw.text(QStringLiteral("SELECT COMMENT FROM GROSSESSE WHERE NUMFICH=125")),
                 overwrite ? QStringLiteral("ici") : QStringLiteral("là-bas"));
        QCOMPARE(forms().isLoaded<Form30>(), !overwrite);
    }

    void databaseFailureIsReported()
    {
        Form30* f = open();
        ctl<QLineEdit>(f, "TxtNumDosB")->setText(QStringLiteral("B1"));
        data::CHEMINS_BASE = env->path(QStringLiteral("absent.mdb"));
        env->messages.clear();
        click(f, "CmdEnreg");
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.texts().first().startsWith(QStringLiteral("La fiche de suivi n'a pas pu être enregistrée")));
        QVERIFY(forms().isLoaded<Form30>());
        QCOMPARE(text(f, "TxtNumDosB"), QStringLiteral("B1"));
    }
};

QTEST_MAIN(TestForm30)
#include "tst_form30.moc"
