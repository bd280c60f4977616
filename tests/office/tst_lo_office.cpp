// The spreadsheet operations on a real, headless LibreOffice: a template is filled, stored as .xls and read
// back; the program's instance is the only one it ever closes, and none of its processes outlives the suite.
#include "office/libreoffice.h"
#include "office/spreadsheet.h"
#include "pregnancy/registry.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace office;

namespace {

LibreOfficeOptions headless(const QString& profile)
{
    LibreOfficeOptions options;
    options.profileDir = profile;
    options.display = LibreOfficeOptions::Display::Headless;
    return options;
}

QByteArray head(const QString& path, int n)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

} // namespace

class TstLoOffice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void fillSaveAndReadBack();
    void registryFormTakesEveryCell();
    void placesTallEnoughForAccents();
    void replacingAsksFirst();
    void failedSaves();
    void missingFiles();
    void releaseThenOpenKeepsOneInstance();
    void otherInstancesAreNeverTouched();
    void quitEndsTheInstance();
    void interfaceIsFrench_data();
    void interfaceIsFrench();

private:
    QTemporaryDir m_profiles;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<LibreOfficeSpreadsheet> m_office;
    QStringList m_pipes; // every instance the suite started
};

void TstLoOffice::initTestCase()
{
    QVERIFY(m_profiles.isValid());
    m_office = createLibreOfficeSpreadsheet(headless(m_profiles.path() + "/program"));
    m_pipes << m_office->options().pipeName;
    QVERIFY(!m_office->isVisible());
}

void TstLoOffice::init()
{
    m_env = std::make_unique<TestEnv>();
    setSpreadsheet(m_office.get()); // each test is a run of the program: its end detaches the engine
    m_env->installTemplates();
    QVERIFY2(QFileInfo::exists(m_env->programDir() + "/Folivex01.xls"), "templates not built");
}

void TstLoOffice::cleanup()
{
    m_office->closeAll();
    m_env.reset();
}

void TstLoOffice::cleanupTestCase()
{
    setSpreadsheet(nullptr);
    m_office.reset(); // a headless instance always ends with the program
    for (const QString& pipe : m_pipes)
        QVERIFY2(officeProcessIds(pipe).isEmpty(), qPrintable(pipe));
}

void TstLoOffice::fillSaveAndReadBack()
{
    QVERIFY(COPIE_MODELE("Folivex01.xls"));
    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(app.openStatus(), OpenStatus::Opened);

    ECRIT_CELLULE(app, "A3", QStringLiteral("Centre d'AMP - Hôpital Nord"));
    ECRIT_CELLULE(app, "B6", QStringLiteral("MARTIN"));
    ECRIT_CELLULE(app, "K6", QStringLiteral("Claire"));
    ECRIT_CELLULE(app, "I1", QDate(2005, 3, 1));
    ECRIT_CELLULE(app, "H10", QStringLiteral("15/03/2005"));
    ECRIT_CELLULE(app, "N8", QStringLiteral("3"));
    ECRIT_CELLULE(app, "K8", QStringLiteral("FIV"));
    ECRIT_CELLULE(app, "C13", QStringLiteral("12,5"));
    ECRIT_CELLULE(app, "C14", QStringLiteral("12.5"));
    ECRIT_CELLULE(app, "C15", QStringLiteral("=1+1"));
    ECRIT_CELLULE(app, "C16", QStringLiteral("10/10"));
    ECRIT_CELLULE(app, "C17", 7);
    ECRIT_CELLULE(app, "C18", QStringLiteral("+33 1 23"));
    ECRIT_CELLULE(app, "C19", QStringLiteral("-12,5"));
    ECRIT_CELLULE(app, "A1", QString()); // an empty value empties the cell (the template's title here)
    const QStringList row{"D20", "E20", "F20", "G20", "H20", "I20"};
    for (int i = 0; i < row.size(); ++i)
        ECRIT_CELLULE(app, row[i], QString::number(i + 1));
    ECRIT_CELLULE(app, "G20", QStringLiteral("X")); // a later write replaces an earlier one

    const QString target = m_env->workbookDir() + "/MARTICl3_38426.xls";
    QCOMPARE(ENREGISTRE_CLASSEUR(app, target), SaveResult::Saved);
    QVERIFY(!m_office->isOpen(app.document()));
    QCOMPARE(head(target, 4), QByteArray("\xD0\xCF\x11\xE0")); // legacy binary .xls
    QVERIFY(m_env->messages.boxes.isEmpty());

    const QStringList addresses{"A3", "B6", "K6", "I1", "H10", "N8", "K8", "C13", "C14", "C15", "C16",
                                "C17", "C18", "C19", "A1", "B13", "D20", "E20", "G20", "I20"};
    const QList<CellContent> cells = m_office->readCells(target, addresses);
    QCOMPARE(cells.size(), addresses.size());
    const auto cell = [&](const char* address) { return cells.at(addresses.indexOf(address)); };
    using T = CellContent::Type;

    QCOMPARE(cell("A3").type, T::Text);
    QCOMPARE(cell("A3").text, QString("Centre d'AMP - Hôpital Nord"));
    QCOMPARE(cell("B6").text, QString("MARTIN"));
    QCOMPARE(cell("K6").text, QString("Claire"));
    QCOMPARE(cell("K8").text, QString("FIV"));
    QCOMPARE(cell("I1").type, T::Date);
    QCOMPARE(cell("I1").date, QDate(2005, 3, 1));
    QCOMPARE(cell("I1").text, QString("01/03/2005"));
    QCOMPARE(cell("H10").type, T::Date);
    QCOMPARE(cell("H10").date, QDate(2005, 3, 15));
    QCOMPARE(cell("N8").type, T::Number);
    QCOMPARE(cell("N8").value, 3.0);
    QCOMPARE(cell("C13").type, T::Number);
    QCOMPARE(cell("C13").value, 12.5);
    QCOMPARE(cell("C14").type, T::Text); // a point is no decimal separator for a French user
    QCOMPARE(cell("C15").type, T::Text);
    QCOMPARE(cell("C15").text, QString("=1+1"));
    QCOMPARE(cell("C16").type, T::Text);
    QCOMPARE(cell("C16").text, QString("10/10"));
    QCOMPARE(cell("C17").value, 7.0);
    QCOMPARE(cell("C18").type, T::Text);
    QCOMPARE(cell("C18").text, QString("+33 1 23"));
    QCOMPARE(cell("C19").type, T::Number);
    QCOMPARE(cell("C19").value, -12.5);
    QCOMPARE(cell("A1").type, T::Empty);
    QCOMPARE(cell("B13").type, T::Formula); // the template's own day dates still follow I1
    QCOMPARE(cell("B13").value, double(38412));
    QCOMPARE(cell("D20").value, 1.0);
    QCOMPARE(cell("E20").value, 2.0);
    QCOMPARE(cell("G20").text, QString("X"));
    QCOMPARE(cell("I20").value, 6.0);
}

void TstLoOffice::registryFormTakesEveryCell()
{
    QStringList addresses{"A1", "G4", "G6", "G8", "G10", "G14", "R16", "G19", "P21", "U21", "P23", "P26", "P28",
                          "P30", "P34", "P38", "B40", "P42", "P44", "G32", "G36", "G46"};
    for (const QString& col : {"P", "U"})
        for (int row = 53; row <= 75; row += 2)
            addresses << col + QString::number(row);
    addresses << "C77" << "C78" << "B91" << "F91" << "J91" << "B93" << "F95" << "P97" << "P101" << "P103"
              << "C107";
    // The children's columns; weight, height and Apgar sit one column to the left.
    for (int row : {116, 118, 121, 129, 133, 131, 135, 139, 144, 148})
        for (const QString& col : (row >= 131 && row <= 135) ? QStringList{"D", "K", "R", "Y"}
                                                             : QStringList{"E", "L", "S", "Z"})
            addresses << col + QString::number(row);
    addresses << "B157";
    QCOMPARE(addresses.size(), 98);

    // Every place is empty in the template, with its label beside it.
    const QString form = m_env->programDir() + "/FIVNAT.xls";
    const QList<CellContent> blank = m_office->readCells(form, addresses);
    QCOMPARE(blank.size(), 98);
    for (int i = 0; i < blank.size(); ++i)
        QVERIFY2(blank[i].type == CellContent::Type::Empty, qPrintable(addresses[i]));
    QCOMPARE(m_office->readCells(form, {"A116"}).value(0).text, QString("Présentation"));

    QVERIFY(COPIE_MODELE("FIVNAT.xls"));
    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    for (const QString& address : addresses)
        ECRIT_CELLULE(app, address, QStringLiteral("v") + address);
    QCOMPARE(ENREGISTRE_CLASSEUR(app, m_env->path("form.xls")), SaveResult::Saved);
    const QList<CellContent> filled = m_office->readCells(m_env->path("form.xls"), addresses);
    QCOMPARE(filled.size(), 98);
    for (int i = 0; i < filled.size(); ++i)
        QCOMPARE(filled[i].text, QStringLiteral("v") + addresses[i]);
}

void TstLoOffice::placesTallEnoughForAccents()
{
    // Calc draws È and É above the cap height of its 10-point font: a row of 0.45 cm clips them, 0.5 cm just
    // touches the border.
    constexpr int kAccentedRow = 550; // hundredths of a millimetre
    QStringList registry;
    for (const auto& c : pregnancy::registryCells())
        registry << c.cell;
    QList<std::pair<QString, QStringList>> templates{{"FIVNAT.xls", registry}};
    for (int n = 1; n <= 10; ++n)
        templates.append({QStringLiteral("Folivex%1.xls").arg(n, 2, 10, QLatin1Char('0')),
                          {"A3", "B6", "K6", "I1", "H10", "N8", "K8"}});
    for (const auto& [name, places] : templates) {
        const QList<CellContent> cells = m_office->readCells(m_env->programDir() + "/" + name, places);
        QCOMPARE(cells.size(), places.size());
        for (int i = 0; i < cells.size(); ++i)
            QVERIFY2(cells[i].height >= kAccentedRow,
                     qPrintable(QStringLiteral("%1 %2: %3").arg(name, places[i]).arg(cells[i].height)));
    }
}

void TstLoOffice::replacingAsksFirst()
{
    const QString target = m_env->workbookDir() + "/sheet.xls";
    QVERIFY(COPIE_MODELE("Folivex02.xls"));
    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    ECRIT_CELLULE(app, "B6", QStringLiteral("FIRST"));
    QCOMPARE(ENREGISTRE_CLASSEUR(app, target), SaveResult::Saved);

    app = OUVRE_EXCEL(workingCopyPath());
    ECRIT_CELLULE(app, "B6", QStringLiteral("SECOND"));
    m_env->messages.answerNo();
    QCOMPARE(ENREGISTRE_CLASSEUR(app, target), SaveResult::Refused);
    QCOMPARE(m_env->messages.texts(),
             QStringList{"Le fichier " + target + " existe déjà. Voulez-vous le remplacer ?"});
    QVERIFY(m_office->isOpen(app.document()));
    QCOMPARE(m_office->readCells(target, {"B6"}).value(0).text, QString("FIRST"));

    m_env->messages.answerYes();
    QCOMPARE(ENREGISTRE_CLASSEUR(app, target), SaveResult::Saved);
    QCOMPARE(m_office->readCells(target, {"B6"}).value(0).text, QString("SECOND"));
}

void TstLoOffice::failedSaves()
{
    QVERIFY(COPIE_MODELE("Folivex01.xls"));
    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(ENREGISTRE_CLASSEUR(app, m_env->path("missing/sheet.xls")), SaveResult::Failed);
    QVERIFY(!QFileInfo::exists(m_env->path("missing")));
    QVERIFY(m_office->isOpen(app.document()));

    // Released (or closed by the user): nothing left to save.
    DECH_EXCEL(app);
    QVERIFY(!m_office->isOpen(app.document()));
    QCOMPARE(ENREGISTRE_CLASSEUR(app, m_env->workbookDir() + "/sheet.xls"), SaveResult::NoWorkbook);
    QVERIFY(!QFileInfo::exists(m_env->workbookDir() + "/sheet.xls"));
}

void TstLoOffice::missingFiles()
{
    // Nothing is started for a missing template.
    m_office->shutdown();
    QVERIFY(m_office->officeProcessIds().isEmpty());
    QVERIFY(!COPIE_MODELE("Folivex11.xls"));
    QCOMPARE(m_env->messages.texts(),
             QStringList{"Le fichier " + m_env->programDir() + "/Folivex11.xls n'existe pas."});
    QVERIFY(m_office->officeProcessIds().isEmpty());

    ExcelApp app = OUVRE_EXCEL(m_env->workbookDir() + "/Pas de Fiche stim");
    QCOMPARE(app.openStatus(), OpenStatus::FileNotFound);
    QVERIFY(!app.hasWorkbook());
}

void TstLoOffice::releaseThenOpenKeepsOneInstance()
{
    QVERIFY(COPIE_MODELE("Folivex03.xls"));
    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    const int first = app.document();
    QVERIFY(m_office->isOpen(first));
    ECRIT_CELLULE(app, "B6", QStringLiteral("UNSAVED"));

    DECH_EXCEL(app);
    QVERIFY(COPIE_MODELE("Folivex05.xls"));
    app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(app.openStatus(), OpenStatus::Opened);
    QVERIFY(!m_office->isOpen(first));
    QCOMPARE(m_office->officeProcessIds().size(), 1);

    // Opening again without releasing closes the earlier workbook unsaved, in the same instance.
    const int second = app.document();
    app = OUVRE_EXCEL(workingCopyPath());
    QVERIFY(!m_office->isOpen(second));
    QVERIFY(m_office->isOpen(app.document()));
    QCOMPARE(m_office->officeProcessIds().size(), 1);
    QVERIFY(m_env->messages.boxes.isEmpty());
}

void TstLoOffice::otherInstancesAreNeverTouched()
{
    // Another office (standing for the user's own) with unsaved work in it.
    auto user = createLibreOfficeSpreadsheet(headless(m_profiles.path() + "/user"));
    m_pipes << user->options().pipeName;
    QVERIFY(COPIE_MODELE("Folivex04.xls"));
    QFile::copy(workingCopyPath(), m_env->path("mine.xls"));
    const Spreadsheet::Opened theirs = user->open(m_env->path("mine.xls"));
    QCOMPARE(theirs.status, OpenStatus::Opened);
    QVERIFY(user->writeCell(theirs.document, "B6", CellValue::from(QStringLiteral("USER"))));

    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(app.openStatus(), OpenStatus::Opened);
    QUITTE_EXCEL();
    QVERIFY(m_office->officeProcessIds().isEmpty());

    QVERIFY(user->isOpen(theirs.document));
    QCOMPARE(user->officeProcessIds().size(), 1);
    QVERIFY(user->save(theirs.document, m_env->path("mine-saved.xls"), true, nullptr));
    QCOMPARE(user->readCells(m_env->path("mine-saved.xls"), {"B6"}).value(0).text, QString("USER"));
    user->shutdown();
    QVERIFY(user->officeProcessIds().isEmpty());
}

void TstLoOffice::quitEndsTheInstance()
{
    QVERIFY(COPIE_MODELE("Folivex01.xls"));
    ExcelApp app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(m_office->officeProcessIds().size(), 1);
    QUITTE_EXCEL();
    QVERIFY(m_office->officeProcessIds().isEmpty());
    QVERIFY(!m_office->isOpen(app.document()));

    // The next open starts a new instance.
    app = OUVRE_EXCEL(workingCopyPath());
    QCOMPARE(app.openStatus(), OpenStatus::Opened);
    QCOMPARE(m_office->officeProcessIds().size(), 1);
}

// The program's office speaks French under an English desktop, on a new profile as on one an earlier version
// made or one switched to another language.
void TstLoOffice::interfaceIsFrench_data()
{
    QTest::addColumn<QByteArray>("profile"); // registrymodifications.xcu before the start; empty: none
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items "
                            "xmlns:oor=\"http://openoffice.org/2001/registry\" "
                            "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
    const QByteArray locking = "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseLocking\" "
                               "oor:op=\"fuse\"><value>false</value></prop></item>\n";
    QTest::newRow("new profile") << QByteArray();
    QTest::newRow("earlier profile") << head + locking + "</oor:items>\n";
    QTest::newRow("English profile")
        << head + locking +
               "<item oor:path=\"/org.openoffice.Office.Linguistic/General\"><prop oor:name=\"UILocale\" "
               "oor:op=\"fuse\"><value>en-US</value></prop></item>\n</oor:items>\n";
}

void TstLoOffice::interfaceIsFrench()
{
    QFETCH(QByteArray, profile);
    const QString dir = m_profiles.path() + "/" + QTest::currentDataTag();
    if (!profile.isEmpty()) {
        QVERIFY(QDir().mkpath(dir + "/user"));
        QFile xcu(dir + "/user/registrymodifications.xcu");
        QVERIFY(xcu.open(QIODevice::WriteOnly));
        xcu.write(profile);
    }
    struct Desktop { // an English desktop for the office started here
        QByteArray language = qgetenv("LANGUAGE"), messages = qgetenv("LC_MESSAGES");
        Desktop() { qputenv("LANGUAGE", "en_US:en"); qputenv("LC_MESSAGES", "en_US.UTF-8"); }
        ~Desktop() { restore("LANGUAGE", language); restore("LC_MESSAGES", messages); }
        static void restore(const char* name, const QByteArray& value)
        {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    } english;
    auto office = createLibreOfficeSpreadsheet(headless(dir));
    m_pipes << office->options().pipeName;
    QCOMPARE(office->commandLabel(".uno:Save"), QString("~Enregistrer"));
    QCOMPARE(office->commandLabel(".uno:Quit"), QString("~Quitter"));
    office->shutdown();
}

QTEST_MAIN(TstLoOffice)
#include "tst_lo_office.moc"
