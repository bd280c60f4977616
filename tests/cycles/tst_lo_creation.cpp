// The creation window on a real, headless LibreOffice: protocol 1 personalised, the sheet saved, and the
// stored workbook read back.
#include "app/form4.h"
#include "cycles/fiche.h"
#include "cycles/form6.h"
#include "data/globals.h"
#include "office/libreoffice.h"
#include "support/testenv.h"

#include "ui_form4.h"
#include "ui_form6.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace office;

class TstLoCreation : public QObject {
    Q_OBJECT
private slots:
    void protocolSavedAndReadBack();
};

void TstLoCreation::protocolSavedAndReadBack()
{
    QTemporaryDir profile;
    LibreOfficeOptions options;
    options.profileDir = profile.path() + QStringLiteral("/program");
    options.display = LibreOfficeOptions::Display::Headless;
    auto engine = createLibreOfficeSpreadsheet(options);
    setSpreadsheet(engine.get());
    const auto restore = qScopeGuard([&] {
        setSpreadsheet(nullptr);
        engine.reset();
    });

    TestEnv env;
    env.installTemplates();
    QVERIFY2(QFileInfo::exists(env.programDir() + QStringLiteral("/Folivex01.xls")), "templates not built");
    data::CHEMIN_BASE = env.dbPath();
    auto db = data::Database::open(env.dbPath());
    auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
    rs->AddNew();
    rs->setField(QStringLiteral("Nom"), QStringLiteral("MARTIN"));
    rs->setField(QStringLiteral("Prenom"), QStringLiteral("Claire"));
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

    const QString saved = env.workbookDir() + QStringLiteral("/MARTICl3_38426.xls");
    QVERIFY(QFileInfo::exists(saved));
    const QStringList addresses{QStringLiteral("B6"), QStringLiteral("K6"), QStringLiteral("N8"),
                                QStringLiteral("I1")};
    const QList<CellContent> cells = engine->readCells(saved, addresses);
    QCOMPARE(cells.size(), addresses.size());
    QCOMPARE(cells[0].text, QStringLiteral("MARTIN"));
    QCOMPARE(cells[1].text, QStringLiteral("Claire"));
    QCOMPARE(cells[2].type, CellContent::Type::Number);
    QCOMPARE(cells[2].value, 3.0);
    QCOMPARE(cells[3].type, CellContent::Type::Date);
    QCOMPARE(cells[3].date, QDate(2005, 3, 1));

    rs = db->OpenRecordset(cycles::sheetsQuery(couple));
    rs->MoveLast();
    QCOMPARE(rs->text(QStringLiteral("NomFichier")), QStringLiteral("MARTICl3_38426.xls"));
}

QTEST_MAIN(TstLoCreation)
#include "tst_lo_creation.moc"
