// The creation window on a real, headless LibreOffice: protocol 1 personalised, the sheet saved, and the
// stored workbook read back, under the usual locale and under the C locale with accented names and folders.
#include "app/form4.h"
#include "cycles/fiche.h"
#include "cycles/form6.h"
#include "data/globals.h"
#include "office/libreoffice.h"
#include "platform/environment.h"
#include "support/testenv.h"

#include "ui_form4.h"
#include "ui_form6.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

using namespace office;

class TstLoCreation : public QObject {
    Q_OBJECT
private slots:
    void protocolSavedAndReadBack_data();
    void protocolSavedAndReadBack();
};

namespace {

// The locale variables of the program for one test, inherited by the office it starts; put back afterwards.
class LocaleEnvironment {
public:
    explicit LocaleEnvironment(const QByteArray& lcAll)
    {
        for (const char* name : kNames) {
            m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
            if (lcAll != "keep")
                qunsetenv(name);
        }
        if (lcAll != "keep" && !lcAll.isEmpty())
            qputenv("LC_ALL", lcAll);
    }
    ~LocaleEnvironment()
    {
        for (const auto& [name, set, value] : m_saved) {
            if (set)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
    }

private:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    QList<std::tuple<const char*, bool, QByteArray>> m_saved;
};

} // namespace

void TstLoCreation::protocolSavedAndReadBack_data()
{
    // LC_ALL of the program, inherited by the office: "keep" leaves the environment as it is, empty text
    // unsets LC_ALL, LC_CTYPE and LANG.
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("folder"); // program, profile and workbook folders are named with it
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("workbook");
    QTest::newRow("plain") << QByteArray("keep") << QStringLiteral("program") << QStringLiteral("MARTIN")
                           << QStringLiteral("Claire") << QStringLiteral("MARTICl3_38426.xls");
    const QString accented = QStringLiteral("Dossiers partagés é");
    QTest::newRow("accents, LC_ALL=C") << QByteArray("C") << accented << QStringLiteral("LEFÈVRE")
                                       << QStringLiteral("Élodie") << QStringLiteral("LEFÈVÉl3_38426.xls");
    QTest::newRow("accents, no locale") << QByteArray() << accented << QStringLiteral("DUPRÉ")
                                        << QStringLiteral("Hélène") << QStringLiteral("DUPRÉHé3_38426.xls");
}

void TstLoCreation::protocolSavedAndReadBack()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, folder);
    QFETCH(QString, surname);
    QFETCH(QString, firstName);
    QFETCH(QString, workbook);
    const LocaleEnvironment localeEnvironment(locale);

    QTemporaryDir profile;
    LibreOfficeOptions options;
    options.profileDir = profile.path() + QLatin1Char('/') + folder;
    options.display = LibreOfficeOptions::Display::Headless;
    auto engine = createLibreOfficeSpreadsheet(options);
    setSpreadsheet(engine.get());
    const auto restore = qScopeGuard([&] {
        setSpreadsheet(nullptr);
        engine.reset();
    });

    TestEnv env;
    const QString programDir = env.path(folder + QStringLiteral("/programme"));
    const QString workbookDir = env.path(folder + QStringLiteral("/fiches"));
    QVERIFY(QDir().mkpath(programDir) && QDir().mkpath(workbookDir));
    platform::setProgramDir(programDir);
    env.setSetting(QStringLiteral("CheminXls"), workbookDir);
    env.installTemplates();
    QVERIFY2(QFileInfo::exists(programDir + QStringLiteral("/Folivex01.xls")), "templates not built");
    data::CHEMIN_BASE = env.dbPath();
    auto db = data::Database::open(env.dbPath());
    auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
    rs->AddNew();
    rs->setField(QStringLiteral("Nom"), surname);
    rs->setField(QStringLiteral("Prenom"), firstName);
    rs->Update();
    rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
    const int couple = rs->Fields(QStringLiteral("numero")).toInt();
    rs = db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE "));
    for (int n : {1, 2}) {
        rs->AddNew();
        rs->setField(QStringLiteral("NUMERO"), couple);
        rs->setField(QStringLiteral("NUMFICH"), n);
        rs->Update();
    }

    platform::forms().get<Form4>()->ui->NumLbl->setText(QString::number(couple));
    openCreationWindowFromMain();
    Form6* w = platform::forms().find<Form6>();
    QVERIFY(w);
    w->ui->CmbType->setEditText(QStringLiteral("FIV"));
    w->ui->TxtJRegles->setText(QStringLiteral("01/03/2005"));
    QTest::mouseClick(w->ui->Command1, Qt::LeftButton);
    env.messages.answerYes();
    QTest::mouseClick(w->ui->CmdNouvFiche, Qt::LeftButton);
    QCOMPARE(env.messages.texts().last(), QStringLiteral("Nouvelle Fiche Enregistrée"));

    const QString saved = workbookDir + QLatin1Char('/') + workbook;
    QCOMPARE(QDir(workbookDir).entryList(QDir::Files), QStringList{workbook});
    // The office used the profile it was given, under the same name.
    QCOMPARE(QDir(profile.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{folder});
    const QStringList addresses{QStringLiteral("B6"), QStringLiteral("K6"), QStringLiteral("N8"),
                                QStringLiteral("I1")};
    const QList<CellContent> cells = engine->readCells(saved, addresses);
    QCOMPARE(cells.size(), addresses.size());
    QCOMPARE(cells[0].text, surname);
    QCOMPARE(cells[1].text, firstName);
    QCOMPARE(cells[2].type, CellContent::Type::Number);
    QCOMPARE(cells[2].value, 3.0);
    QCOMPARE(cells[3].type, CellContent::Type::Date);
    QCOMPARE(cells[3].date, QDate(2005, 3, 1));

    rs = db->OpenRecordset(cycles::sheetsQuery(couple));
    rs->MoveLast();
    QCOMPARE(rs->text(QStringLiteral("NomFichier")), workbook);
}

QTEST_MAIN(TstLoCreation)
#include "tst_lo_creation.moc"
