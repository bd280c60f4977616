// The registry form filled by the real office: the working copy of the built FIVNAT.xls template, written
// from a follow-up window, stored and read back; and the built form read as printed beside its cells.
#include "data/globals.h"
#include "office/libreoffice.h"
#include "platform/environment.h"
#include "pregnancy/followup.h"
#include "pregnancy/form30.h"
#include "pregnancy/registry.h"
#include "support/testenv.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
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
        followup::setControl(f, "TxtNumDosB", QStringLiteral("03.11.04"));
        followup::setControl(f, "TxtAcct_9", QStringLiteral("8/9/10"));
        ctl<QPushButton>(f, "CmdImprim")->click();

        const office::ExcelApp& form = f->registryForm();
        QVERIFY(form.hasWorkbook());
        QVERIFY(engine->isOpen(form.document()));
        const QString stored = env.path(QStringLiteral("fivnat-read.xls"));
        QVERIFY(engine->save(form.document(), stored, true, nullptr));

        const QList<CellContent> cells = engine->readCells(
            stored, {QStringLiteral("A1"), QStringLiteral("G10"), QStringLiteral("P57"), QStringLiteral("P53"),
                     QStringLiteral("D135"), QStringLiteral("B40"), QStringLiteral("G14"), QStringLiteral("G4"),
                     QStringLiteral("G8")});
        QCOMPARE(cells.size(), 9);
        QCOMPARE(cells[0].text, QStringLiteral("MAR  Claire"));
        QCOMPARE(cells[1].type, CellContent::Type::Text); // texts as typed, numbers too
        QCOMPARE(cells[1].text, QStringLiteral("12"));
        QCOMPARE(cells[2].text, QStringLiteral("X"));
        QCOMPARE(cells[3].type, CellContent::Type::Empty);
        QCOMPARE(cells[4].type, CellContent::Type::Text); // the Apgar score is no date
        QCOMPARE(cells[4].text, QStringLiteral("8/9/10"));
        QCOMPARE(cells[5].type, CellContent::Type::Text); // typed data is never a formula
        QCOMPARE(cells[5].text, QStringLiteral("=1+1"));
        QCOMPARE(cells[6].type, CellContent::Type::Date);
        QCOMPARE(cells[6].date, QDate(2005, 3, 17));
        QCOMPARE(cells[7].text, QStringLiteral("B077"));
        QCOMPARE(cells[8].type, CellContent::Type::Text); // a dossier number is no date
        QCOMPARE(cells[8].text, QStringLiteral("03.11.04"));

        platform::forms().unloadAll();
        engine->shutdown();
        office::setSpreadsheet(nullptr);
    }

    // Beside each of the 98 cells the form prints what the program writes there: the caption of its row (the
    // nearest text to its left, below it for A1) and, where a row holds several cells, the heading of its
    // column (the nearest text above it: trimester, child). Written cells themselves are passed over.
    void formCaptionsBesideEveryCell()
    {
        TestEnv env;
        env.installTemplates();
        const QString form = platform::programFile(QStringLiteral("FIVNAT.xls"));
        QVERIFY2(QFileInfo::exists(form), "FIVNAT.xls was not built into the build tree's templates");
        office::LibreOfficeOptions options;
        options.profileDir = env.path(QStringLiteral("office-profile"));
        options.display = office::LibreOfficeOptions::Display::Headless;
        auto engine = office::createLibreOfficeSpreadsheet(options);

        const QList<QStringList> grid = engine->readTexts(form, QStringLiteral("A1:Z160"));
        QCOMPARE(grid.size(), 160);
        const auto address = [](int row, int col) { return QChar(u'A' + col) + QString::number(row); };

        QSet<QString> written;
        for (const auto& c : pregnancy::registryCells())
            written << c.cell;
        QCOMPARE(written.size(), 98);
        const auto printed = [&](int row, int col) {
            return row < 1 || row > grid.size() || written.contains(address(row, col))
                       ? QString()
                       : grid[row - 1].value(col).trimmed();
        };

        static const QRegularExpression cellAddress(QStringLiteral("^([A-Z])([0-9]+)$"));
        QStringList wrong;
        for (const auto& c : pregnancy::registryCells()) {
            const auto m = cellAddress.match(c.cell);
            QVERIFY2(m.hasMatch(), qPrintable(c.cell));
            const int col = m.captured(1).at(0).unicode() - u'A';
            const int row = m.captured(2).toInt();
            QString caption;
            for (int x = col - 1; x >= 0 && caption.isEmpty(); --x)
                caption = printed(row, x);
            if (col == 0)
                caption = printed(row + 1, col);
            if (caption != c.caption)
                wrong << QStringLiteral("%1: \"%2\" printed, \"%3\" written").arg(c.cell, caption, c.caption);
            if (c.heading.isEmpty())
                continue;
            QString heading;
            for (int y = row - 1; y >= 1 && heading.isEmpty(); --y)
                heading = printed(y, col);
            if (heading != c.heading)
                wrong << QStringLiteral("%1: heading \"%2\", \"%3\" written").arg(c.cell, heading, c.heading);
        }
        for (const QString& line : wrong)
            qWarning("%s", qPrintable(line));
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 captions differ").arg(wrong.size())));
        engine->shutdown();
    }
};

QTEST_MAIN(TestLoRegistry)
#include "tst_lo_registry.moc"
