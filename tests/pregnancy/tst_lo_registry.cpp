// The registry form filled by the real office: the working copy of the built FIVNAT.xls template, written
// from a follow-up window, stored and read back.
#include "data/globals.h"
#include "office/libreoffice.h"
#include "platform/environment.h"
#include "pregnancy/followup.h"
#include "pregnancy/form30.h"
#include "support/testenv.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

using followup::ctl;
using office::CellContent;

class TestLoRegistry : public QObject {
    Q_OBJECT

private slots:
    void registryFormReadsBack()
    {
        TestEnv env;
        env.installTemplates();
        QVERIFY2(QFileInfo::exists(platform::programFile(QStringLiteral("FIVNAT.xls"))),
                 "FIVNAT.xls was not built into the build tree's templates");

        office::LibreOfficeOptions options;
        options.profileDir = env.path(QStringLiteral("office-profile"));
        options.display = office::LibreOfficeOptions::Display::Headless;
        auto engine = office::createLibreOfficeSpreadsheet(options);
        office::setSpreadsheet(engine.get());
        QVERIFY2(engine->start(), "LibreOffice did not start");

        followup::showSheet({});
        data::CHEMINS_BASE = env.dbPath();
        data::GROSS_EXISTE = false;
        Form30* f = Form30::openFollowUp();
        QVERIFY(f);
        ctl<QCheckBox>(f, "ChkPathG_2")->setChecked(true); // "Infection grave", second trimester: P57
        followup::setControl(f, "Text7", QStringLiteral("=1+1"));
        ctl<QPushButton>(f, "CmdImprim")->click();

        const office::ExcelApp& form = f->registryForm();
        QVERIFY(form.hasWorkbook());
        QVERIFY(engine->isOpen(form.document()));
        const QString stored = env.path(QStringLiteral("fivnat-read.xls"));
        QVERIFY(engine->save(form.document(), stored));

        const QList<CellContent> cells = engine->readCells(
            stored, {QStringLiteral("A1"), QStringLiteral("G10"), QStringLiteral("P57"), QStringLiteral("P53"),
                     QStringLiteral("D135"), QStringLiteral("B40"), QStringLiteral("G14"), QStringLiteral("G4")});
        QCOMPARE(cells.size(), 8);
        QCOMPARE(cells[0].text, QStringLiteral("MAR  Claire"));
        QCOMPARE(cells[1].type, CellContent::Type::Number);
        QCOMPARE(cells[1].value, 12.0);
        QCOMPARE(cells[2].text, QStringLiteral("X"));
        QCOMPARE(cells[3].type, CellContent::Type::Empty);
        QCOMPARE(cells[4].type, CellContent::Type::Text); // the Apgar score is no date
        QCOMPARE(cells[4].text, QStringLiteral("10/10"));
        QCOMPARE(cells[5].type, CellContent::Type::Text); // typed data is never a formula
        QCOMPARE(cells[5].text, QStringLiteral("=1+1"));
        QCOMPARE(cells[6].type, CellContent::Type::Date);
        QCOMPARE(cells[6].date, QDate(2005, 3, 17));
        QCOMPARE(cells[7].text, QStringLiteral("B077"));

        platform::forms().unloadAll();
        engine->shutdown();
        office::setSpreadsheet(nullptr);
    }
};

QTEST_MAIN(TestLoRegistry)
#include "tst_lo_registry.moc"
