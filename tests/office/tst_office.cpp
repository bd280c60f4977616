// The six spreadsheet operations on the recording engine: what reaches the engine, in which order, and the
// messages and stops the callers rely on.
#include "office/fakespreadsheet.h"
#include "office/spreadsheet.h"
#include "platform/environment.h"
#include "support/faultyfiles.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace office;

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstOffice : public QObject {
    Q_OBJECT

private slots:
    void cellValues_data();
    void cellValues();
    void copyTemplate();
    void copyFailures();
    void copyOntoAFailingDisk_data();
    void copyOntoAFailingDisk();
    void openWorkbook();
    void writeCells();
    void saveWorkbook();
    void saveFailures();
    void releaseAndQuit();
};

void TstOffice::cellValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("date value") << QVariant(QDate(2005, 3, 15)) << "date 15/03/2005";
    QTest::newRow("complete date text") << QVariant(QStringLiteral("15/03/2005")) << "date 15/03/2005";
    QTest::newRow("short date text") << QVariant(QStringLiteral("5/3/05")) << "date 05/03/2005";
    QTest::newRow("day and month only") << QVariant(QStringLiteral("10/10")) << "typed \"10/10\"";
    QTest::newRow("formula text") << QVariant(QStringLiteral("=SOMME(A1:A3)")) << "text \"=SOMME(A1:A3)\"";
    QTest::newRow("decimal comma") << QVariant(QStringLiteral("12,5")) << "typed \"12,5\"";
    QTest::newRow("integer") << QVariant(3) << "number 3";
    QTest::newRow("empty") << QVariant(QString()) << "typed \"\"";
}

void TstOffice::cellValues()
{
    QFETCH(QVariant, value);
    QFETCH(QString, written);
    QCOMPARE(CellValue::from(value).describe(), written);
}

void TstOffice::copyTemplate()
{
    TestEnv env;
    FakeSpreadsheet fake;
    writeFile(env.programDir() + "/Folivex03.xls", "protocol 3");
    writeFile(env.programDir() + "/temp.xls", "registry form of another patient");

    QVERIFY(COPIE_MODELE("Folivex03.xls"));
    QCOMPARE(workingCopyPath(), env.programDir() + "/temp.xls");
    QCOMPARE(readFile(workingCopyPath()), QByteArray("protocol 3"));
    QVERIFY(env.messages.boxes.isEmpty());
    QVERIFY(fake.calls().isEmpty()); // copying starts and closes nothing

    // A missing template: the message names the full path, the working copy is left as it was.
    QVERIFY(!COPIE_MODELE("FIVNAT.xls"));
    QCOMPARE(env.messages.texts(), QStringList{"Le fichier " + env.programDir() + "/FIVNAT.xls n'existe pas."});
    QCOMPARE(env.messages.boxes.first().buttons, platform::MsgButtons::Ok);
    QCOMPARE(env.messages.boxes.first().title, platform::appTitle());
    QCOMPARE(readFile(workingCopyPath()), QByteArray("protocol 3"));
    QVERIFY(fake.calls().isEmpty());
}

void TstOffice::copyFailures()
{
    TestEnv env;
    FakeSpreadsheet fake;
    writeFile(env.programDir() + "/FIVNAT.xls", "form");

    // The working copy cannot be replaced (here a folder stands in its way, which even root cannot
    // overwrite): the caller stops with a message naming both files instead of opening a stale copy.
    QVERIFY(QDir().mkpath(workingCopyPath()));
    QVERIFY(!COPIE_MODELE("FIVNAT.xls"));
    QCOMPARE(env.messages.texts(),
             QStringList{"Impossible de copier le fichier " + env.programDir() + "/FIVNAT.xls sur " +
                         workingCopyPath() + " : un répertoire porte ce nom."});
    QVERIFY(QFileInfo(workingCopyPath()).isDir());

    // A template that is a folder is no template.
    env.messages.clear();
    QVERIFY(QDir().mkpath(env.programDir() + "/Folivex01.xls"));
    QVERIFY(!COPIE_MODELE("Folivex01.xls"));
    QCOMPARE(env.messages.texts(),
             QStringList{"Le fichier " + env.programDir() + "/Folivex01.xls n'existe pas."});
    QVERIFY(fake.calls().isEmpty());
}

void TstOffice::copyOntoAFailingDisk_data() { addDiskFaultRows(); }

// The program folder full or failing: the caller stops with the cause, and the working copy keeps what it held.
void TstOffice::copyOntoAFailingDisk()
{
    QFETCH(QString, fault);
    QFETCH(QString, cause);
    TestEnv env;
    FakeSpreadsheet fake;
    SmallDisk disk(256 * 1024);
    DISK_FAULT_OR_SKIP(disk, fault);
    platform::setProgramDir(disk.path());
    writeFile(disk.path() + "/Folivex01.xls", QByteArray(64 * 1024, 'p'));
    writeFile(workingCopyPath(), "registry form of another patient");
    {
        const DiskFault failing(fault, disk, QString::fromLatin1(WORKING_COPY), 16 * 1024);
        QVERIFY(!COPIE_MODELE("Folivex01.xls"));
    }
    QCOMPARE(env.messages.texts(), QStringList{"Impossible de copier le fichier " + disk.path() + "/Folivex01.xls sur " +
                                               workingCopyPath() + " : " + cause + "."});
    QCOMPARE(readFile(workingCopyPath()), QByteArray("registry form of another patient"));
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).filter(".~"), QStringList());
    QVERIFY(fake.calls().isEmpty());
}

void TstOffice::openWorkbook()
{
    TestEnv env;
    FakeSpreadsheet fake;
    writeFile(workingCopyPath(), "copy");

    // Whatever the program's own instance holds is closed before the workbook opens.
    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(fake.log(), (QStringList{"closeAll", "open " + workingCopyPath()}));
    QCOMPARE(app.openStatus(), OpenStatus::Opened);
    QVERIFY(app.isValid() && app.hasWorkbook());

    ExcelApp missing = OUVRE_EXCEL(env.workbookDir() + "/Pas de Fiche stim");
    QCOMPARE(missing.openStatus(), OpenStatus::FileNotFound);
    QVERIFY(missing.isValid());
    QVERIFY(!missing.hasWorkbook());
    QVERIFY(fake.openDocuments().isEmpty());

    fake.setAvailable(false);
    ExcelApp none = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(none.openStatus(), OpenStatus::NoApplication);
    QVERIFY(!none.isValid());
    QVERIFY(env.messages.boxes.isEmpty()); // the callers decide what to say
}

void TstOffice::writeCells()
{
    TestEnv env;
    FakeSpreadsheet fake;
    writeFile(workingCopyPath(), "copy");

    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    ECRIT_CELLULE(app, "A3", QStringLiteral("Centre d'AMP"));
    ECRIT_CELLULE(app, "I1", QDate(2005, 3, 1));
    ECRIT_CELLULE(app, "N8", QStringLiteral("3"));
    QCOMPARE(fake.writes(app.document()),
             (QStringList{"A3=typed \"Centre d'AMP\"", "I1=date 01/03/2005", "N8=typed \"3\""}));

    // No workbook, nothing written anywhere.
    ExcelApp empty;
    const qsizetype before = fake.calls().size();
    ECRIT_CELLULE(empty, "A1", QStringLiteral("x"));
    QCOMPARE(fake.calls().size(), before);
}

void TstOffice::saveWorkbook()
{
    TestEnv env;
    FakeSpreadsheet fake;
    writeFile(workingCopyPath(), "copy");
    const QString target = env.workbookDir() + "/MARTICl3_38426.xls";

    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    fake.clear();
    QCOMPARE(ENREGISTRE_CLASSEUR(app, target), SaveResult::Saved);
    QCOMPARE(fake.log(), (QStringList{"save " + target, QString("close %1").arg(app.document())}));
    QVERIFY(QFileInfo::exists(target));
    QVERIFY(env.messages.boxes.isEmpty());

    // Onto an existing file: asked first; No leaves both the file and the workbook as they were.
    const QString question = "Le fichier " + target + " existe déjà. Voulez-vous le remplacer ?";
    writeFile(target, "earlier sheet");
    app = OUVRE_EXCEL(workingCopyPath());
    fake.clear();
    env.messages.answerNo();
    QCOMPARE(ENREGISTRE_CLASSEUR(app, target), SaveResult::Refused);
    QCOMPARE(env.messages.texts(), QStringList{question});
    QCOMPARE(env.messages.boxes.first().title, QString("Attention"));
    QVERIFY(fake.log().isEmpty());
    QCOMPARE(readFile(target), QByteArray("earlier sheet"));
    QVERIFY(fake.isOpen(app.document()));

    env.messages.answerYes();
    QCOMPARE(ENREGISTRE_CLASSEUR(app, target), SaveResult::Saved);
    QCOMPARE(readFile(target), QByteArray("copy"));
}

void TstOffice::saveFailures()
{
    TestEnv env;
    FakeSpreadsheet fake;
    writeFile(workingCopyPath(), "copy");

    ExcelApp never;
    QCOMPARE(ENREGISTRE_CLASSEUR(never, env.workbookDir() + "/a.xls"), SaveResult::NoWorkbook);

    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(ENREGISTRE_CLASSEUR(app, env.path("no such folder/a.xls")), SaveResult::Failed);

    fake.refuseSave();
    QCOMPARE(ENREGISTRE_CLASSEUR(app, env.workbookDir() + "/a.xls"), SaveResult::Failed);
    QVERIFY(fake.isOpen(app.document())); // a failed save loses nothing
    fake.refuseSave(false);

    fake.userCloses(app.document());
    fake.clear();
    QCOMPARE(ENREGISTRE_CLASSEUR(app, env.workbookDir() + "/a.xls"), SaveResult::NoWorkbook);
    QVERIFY(fake.log().isEmpty());
    QVERIFY(!QFileInfo::exists(env.workbookDir() + "/a.xls"));
}

void TstOffice::releaseAndQuit()
{
    TestEnv env;
    FakeSpreadsheet fake;
    writeFile(env.programDir() + "/Folivex03.xls", "3");
    writeFile(env.programDir() + "/Folivex05.xls", "5");

    // Protocol 3 then protocol 5: the first workbook is released before the copy is replaced.
    ExcelApp app;
    DECH_EXCEL(app);
    QVERIFY(fake.calls().isEmpty());
    QVERIFY(COPIE_MODELE("Folivex03.xls"));
    app = OUVRE_EXCEL(workingCopyPath());
    const int first = app.document();
    DECH_EXCEL(app);
    QVERIFY(COPIE_MODELE("Folivex05.xls"));
    app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(fake.log(), (QStringList{"closeAll", "open " + workingCopyPath(), QString("close %1").arg(first),
                                      "closeAll", "open " + workingCopyPath()}));
    QCOMPARE(fake.openDocuments(), QList<int>{app.document()});

    QUITTE_EXCEL();
    QCOMPARE(fake.log().last(), QString("quit"));
    QVERIFY(fake.openDocuments().isEmpty());
}

QTEST_MAIN(TstOffice)
#include "tst_office.moc"
