// A working session through the real windows, as a user goes: find a couple, open its cycle sheets, start a
// pregnancy follow-up, and reach every other window from the main window's commands and menus.
#include "admin/form21.h"
#include "admin/form50.h"
#include "admin/form9.h"
#include "admin/frmabout.h"
#include "app/form4.h"
#include "cycles/form5.h"
#include "cycles/form6.h"
#include "data/database.h"
#include "office/fakespreadsheet.h"
#include "pregnancy/form30.h"
#include "stats/form8.h"
#include "support/testenv.h"
#include "workup/form11.h"
#include "workup/form7.h"

#include "ui_form30.h"
#include "ui_form4.h"
#include "ui_form5.h"
#include "ui_form9.h"

#include <QTest>

using platform::forms;

class TestJourney : public QObject {
    Q_OBJECT

    static Form4* mainWindow()
    {
        forms().onQuit = [] {};
        return forms().show<Form4>();
    }

private slots:
    void findOpenAndFollowACycle()
    {
        TestEnv env(true);
        office::FakeSpreadsheet fake;
        Form4* main = mainWindow();
        QCOMPARE(main->ui->NomLbl->text(), QString());
        QTest::mouseClick(main->ui->Command1, Qt::LeftButton);
        QCOMPARE(main->ui->NomLbl->text(), QString("D'ARC"));
        QTest::keyClicks(main->ui->Text1, "mar");
        QCOMPARE(main->ui->Text1->text(), QString("MAR"));
        QCOMPARE(main->ui->NomLbl->text(), QString("MARTIN"));
        QCOMPARE(main->ui->NumLbl->text(), QString("1"));

        QTest::mouseClick(main->ui->CmdOuvrirFiche, Qt::LeftButton);
        Form5* sheet = forms().find<Form5>();
        QVERIFY(sheet && sheet->isVisible());
        QCOMPARE(sheet->ui->LblNom->text(), QString("MARTIN"));
        QCOMPARE(sheet->ui->TxtNumFich->text(), QString("3")); // the last sheet is shown

        env.messages.answerYes(); // create the follow-up
        QTest::mouseClick(sheet->ui->Command5, Qt::LeftButton);
        Form30* followUp = forms().find<Form30>();
        QVERIFY(followUp && followUp->isVisible());
        QVERIFY(!sheet->isVisible());
        QCOMPARE(followUp->ui->TxtNom->text(), QString("MARTIN"));

        env.messages.answerYes();
        QTest::mouseClick(followUp->ui->CmdEnreg, Qt::LeftButton);
        QVERIFY(env.messages.texts().contains("Fiche enregistrée"));
        auto db = data::Database::open(env.dbPath());
        QCOMPARE(db->OpenRecordset("SELECT*FROM GROSSESSE")->RecordCount(), 1);

        // Leaving the follow-up brings the cycle sheet back.
        if (forms().isLoaded<Form30>()) {
            env.messages.answerYes();
            QTest::mouseClick(forms().find<Form30>()->ui->CmdQuitte, Qt::LeftButton);
        }
        QVERIFY(!forms().isLoaded<Form30>());
        QVERIFY(forms().find<Form5>() && forms().find<Form5>()->isVisible());
    }

    void everyCommandReachesItsWindow()
    {
        TestEnv env(true);
        office::FakeSpreadsheet fake;
        Form4* main = mainWindow();
        // Commands that need a couple do nothing without one.
        QTest::mouseClick(main->ui->CmdCreerFiche, Qt::LeftButton);
        QTest::mouseClick(main->ui->CmdExamens, Qt::LeftButton);
        QVERIFY(!forms().isLoaded<Form6>() && !forms().isLoaded<Form7>());

        QTest::keyClicks(main->ui->Text1, "MARTIN");
        QTest::mouseClick(main->ui->CmdCreerFiche, Qt::LeftButton);
        QVERIFY(forms().find<Form6>() && forms().find<Form6>()->isVisible());
        QTest::mouseClick(main->ui->CmdExamens, Qt::LeftButton);
        QVERIFY(forms().find<Form7>() && forms().find<Form7>()->isVisible());
        QTest::mouseClick(main->ui->CmdStat, Qt::LeftButton);
        QVERIFY(forms().find<Form8>() && forms().find<Form8>()->isVisible());
        main->reserve->trigger();
        QVERIFY(forms().find<Form11>() && forms().find<Form11>()->isVisible());
        main->Entete->trigger();
        QVERIFY(forms().find<Form50>() && forms().find<Form50>()->isVisible());
        main->Propos->trigger();
        QVERIFY(forms().find<frmAbout>() && forms().find<frmAbout>()->isVisible());

        // The reference lists hide the main window until they close.
        main->Options->trigger();
        Form9* lists = forms().find<Form9>();
        QVERIFY(lists && lists->isVisible());
        QVERIFY(!main->isVisible());
        QTest::mouseClick(lists->ui->CmdQuitter, Qt::LeftButton);
        QVERIFY(!forms().isLoaded<Form9>());
        QVERIFY(main->isVisible());

        // The backup path closes the main window without ending the program and opens the backup window.
        main->Sauve->trigger();
        QVERIFY(!forms().isLoaded<Form4>());
        QVERIFY(forms().find<Form21>() && forms().find<Form21>()->isVisible());
        QCOMPARE(env.messages.texts(), QStringList());
    }
};

QTEST_MAIN(TestJourney)
#include "tst_journey.moc"
