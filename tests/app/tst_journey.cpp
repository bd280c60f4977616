// A working session through the real windows, as a user goes: find a couple, open its cycle sheets, start a
// pregnancy follow-up, and reach every other window from the main window's commands and menus; then the whole
// program, run as the executable runs it, left by each way out.
#include "admin/form21.h"
#include "admin/form50.h"
#include "admin/form9.h"
#include "admin/frmabout.h"
#include "app/form0.h"
#include "app/form2.h"
#include "app/form3.h"
#include "app/form4.h"
#include "app/program.h"
#include "cycles/form5.h"
#include "cycles/form6.h"
#include "data/database.h"
#include "data/globals.h"
#include "office/fakespreadsheet.h"
#include "platform/application.h"
#include "platform/messages.h"
#include "pregnancy/form30.h"
#include "stats/form8.h"
#include "support/testenv.h"
#include "workup/form11.h"
#include "workup/form7.h"

#include "ui_form21.h"
#include "ui_form30.h"
#include "ui_form4.h"
#include "ui_form5.h"
#include "ui_form9.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

using platform::forms;

namespace {

// The user of the child process: agrees to every question; the boxes go to the output, for a failure's account.
class Agreeing final : public platform::MessageService {
public:
    platform::MsgResult show(const platform::MsgBoxRequest& r) override
    {
        fprintf(stderr, "box: %s\n", qPrintable(r.text));
        switch (r.buttons) {
        case platform::MsgButtons::Ok: return platform::MsgResult::Ok;
        case platform::MsgButtons::OkCancel: return platform::MsgResult::Ok;
        default: return platform::MsgResult::Yes;
        }
    }
};

// Every window once, from the main window's commands and menus, then the way out; the windows met are kept.
void openEverythingThenLeave(const QString& way, QList<QPointer<QWidget>>& met)
{
    const auto fail = [](const char* what) {
        fprintf(stderr, "user: %s\n", what);
        QCoreApplication::exit(3);
    };
    const auto meet = [&](QWidget* w) {
        if (w)
            met << w;
        return w != nullptr;
    };
    if (Form0* splash = forms().find<Form0>()) {
        meet(splash);
        splash->Timer1_Timer(); // what its four seconds end with
    }
    Form4* main = forms().find<Form4>();
    if (!meet(main))
        return fail("no main window");
    QTest::keyClicks(main->ui->Text1, "MARTIN");
    QTest::mouseClick(main->ui->CmdStat, Qt::LeftButton);
    QTest::mouseClick(main->ui->CmdExamens, Qt::LeftButton);
    QTest::mouseClick(main->ui->CmdCreerFiche, Qt::LeftButton);
    QTest::mouseClick(main->ui->CmdOuvrirFiche, Qt::LeftButton);
    if (!meet(forms().find<Form8>()) || !meet(forms().find<Form7>()) || !meet(forms().find<Form6>()))
        return fail("statistics, exams or cycle sheet creation not open");
    Form5* sheet = forms().find<Form5>();
    if (!meet(sheet))
        return fail("no cycle sheet");
    QTest::mouseClick(sheet->ui->Command5, Qt::LeftButton);
    if (!meet(forms().find<Form30>()))
        return fail("no follow-up");
    QTest::mouseClick(main->ui->CmdModifie, Qt::LeftButton);
    QTest::mouseClick(main->ui->CmdCreeDossier, Qt::LeftButton);
    main->reserve->trigger();
    main->Entete->trigger();
    main->Propos->trigger();
    if (!meet(forms().find<Form3>()) || !meet(forms().find<Form2>()) || !meet(forms().find<Form11>())
        || !meet(forms().find<Form50>()) || !meet(forms().find<frmAbout>()))
        return fail("a dossier window, the calculator, the letterhead or the about box not open");
    main->Options->trigger();
    Form9* lists = forms().find<Form9>();
    if (!meet(lists))
        return fail("no reference lists");
    QTest::mouseClick(lists->ui->CmdQuitter, Qt::LeftButton);

    if (way == QLatin1String("backup")) {
        main->Sauve->trigger();
        Form21* backup = forms().find<Form21>();
        if (!meet(backup))
            return fail("no backup window");
        QTest::mouseClick(backup->ui->Command1, Qt::LeftButton);
        main = forms().find<Form4>();
        if (!meet(main))
            return fail("the backup window did not bring the main window back");
    }
    if (way == QLatin1String("close"))
        main->close();
    else
        QTest::mouseClick(main->ui->CmdQuitter, Qt::LeftButton);
}

// The program as the executable runs it, nothing reset behind it: status 0 only when it ended whole.
int runAsUser(int& argc, char** argv, const QString& way)
{
    platform::Application app(argc, argv);
    office::FakeSpreadsheet fake;
    Agreeing messages;
    platform::setMessageService(&messages);
    QList<QPointer<QWidget>> met;
    QTimer::singleShot(0, [&] { openEverythingThenLeave(way, met); });
    const int rc = app::runProgram();
    platform::setMessageService(nullptr);
    QStringList left;
    for (const QPointer<QWidget>& w : met)
        if (w)
            left << QString::fromLatin1(w->metaObject()->className());
    if (!forms().empty())
        left << QStringLiteral("the registry");
    if (data::BASE_DOSSIERS || data::RS_DOSSIERS || data::BASE_GROSS || data::RS_GROSS || data::GROSS_EXISTE)
        left << QStringLiteral("the shared databases");
    if (&office::spreadsheet() == &fake)
        left << QStringLiteral("the spreadsheet engine");
    if (!left.isEmpty()) {
        fprintf(stderr, "left at the end: %s\n", qPrintable(left.join(QLatin1String(", "))));
        return 2;
    }
    return rc;
}

} // namespace

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

    // A test's environment resets what the program leaves behind: the program is run in a process of its own,
    // whose end goes on to static destruction as the executable's does.
    void everyWayOutEndsTheProgramWhole_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Quitter") << "quit";
        QTest::newRow("close box") << "close";
        QTest::newRow("backup, then Quitter") << "backup";
    }

    void everyWayOutEndsTheProgramWhole()
    {
        QFETCH(QString, way);
        TestEnv env(true);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FOLIVEX_SETTINGS"), env.path(QStringLiteral("settings.ini")));
        environment.insert(QStringLiteral("FOLIVEX_PROGDIR"), env.programDir());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--program"), way});
        QVERIFY(program.waitForFinished(60000));
        QStringList output = QString::fromLocal8Bit(program.readAllStandardError()).split(QLatin1Char('\n'));
        output.removeIf([](const QString& line) { return line.startsWith(QLatin1String("This plugin does not")); });
        const QString account = QStringLiteral("exit code %1\n%2").arg(program.exitCode()).arg(output.join("\n"));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, qPrintable(account));
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--program") == 0)
        return runAsUser(argc, argv, QString::fromLatin1(argv[2]));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestJourney test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journey.moc"
