// The platform stand-ins: conversions, settings, key filters, window registry.
#include "platform/conversions.h"
#include "platform/forms.h"
#include "platform/keyfilter.h"
#include "platform/messages.h"
#include "platform/settings.h"
#include "platform/filewrite.h"
#include "platform/windowframe.h"
#include "support/desktopwheel.h"
#include "support/faultyfiles.h"
#include "support/testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace platform;

class Probe : public Form {
public:
    static inline int loads = 0;
    static inline int unloads = 0;
    static inline bool refuse = false;
    void Form_Load() override { ++loads; }
    void Form_Unload(bool& cancel) override
    {
        ++unloads;
        cancel = refuse;
    }
};

// A window whose fields scroll: a combo and a spin box in a tall column, a button beside.
class Scrolled : public Form {
public:
    Scrolled()
    {
        auto* fields = new QWidget;
        auto* column = new QVBoxLayout(fields);
        combo->addItems({"a", "b", "c"});
        spin->setValue(5);
        column->addWidget(combo);
        column->addWidget(spin);
        column->addSpacing(2000);
        area->setWidget(fields);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(area);
        layout->addWidget(button);
        resize(300, 300);
    }
    QComboBox* combo = new QComboBox;
    QSpinBox* spin = new QSpinBox;
    QScrollArea* area = new QScrollArea;
    QPushButton* button = new QPushButton("OK");
};

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void dates()
    {
        QVERIFY(isDate("1/2/70"));
        QVERIFY(isDate("12/03/75"));
        QVERIFY(!isDate("31/02/70"));
        QVERIFY(!isDate("99/99/99"));
        QVERIFY(!isDate(""));
        QVERIFY(!isDate("10/10"));
        QCOMPARE(*parseDate("12/03/75"), QDate(1975, 3, 12));
        QCOMPARE(*parseDate("1/2/29"), QDate(2029, 2, 1));
        QCOMPARE(*parseDate("1/2/30"), QDate(1930, 2, 1));
        QCOMPARE(dayNumber(QDate(2005, 3, 15)), 38426);
        QCOMPARE(dayNumber(QDate(2000, 1, 1)), 36526);
        QCOMPARE(dayNumber(QDate(2009, 12, 31)), 40178);
        QCOMPARE(fromDayNumber(38426.75), QDate(2005, 3, 15));
        QCOMPARE(shortDate(*parseDate("5/3/05")), QString("05/03/2005"));
        QCOMPARE(ageInYears(QDate(1960, 12, 10), QDate(2004, 1, 15)), 43);
        QCOMPARE(ageInYears(QDate(1960, 1, 15), QDate(2004, 1, 15)), 44);
    }

    void numbers()
    {
        QVERIFY(isNumeric("7,6"));
        QVERIFY(isNumeric("12"));
        QVERIFY(!isNumeric(""));
        QVERIFY(!isNumeric("7.6"));
        QVERIFY(!isNumeric("abc"));
        QCOMPARE(*parseNumber("7,6"), 7.6);
        QCOMPARE(val("12abc"), 12.0);
        QCOMPARE(val(""), 0.0);
        QCOMPARE(val("abc"), 0.0);
        QCOMPARE(val(" 1 2.5x"), 12.5);
        QCOMPARE(val("7,6"), 7.0);
        QCOMPARE(formatNumber(68.0 / (1.62 * 1.62), 1), QString("25,9"));
        QCOMPARE(formatNumber(3.0 / 8.0, 2), QString("0,38"));
        QCOMPARE(numberText(12.5), QString("12,5"));
        QCOMPARE(numberText(7), QString("7"));
    }

    void settingsIgnoreCase()
    {
        TestEnv env;
        saveSetting("Talvenor", "FOLIVEX", "Sauve", "/tmp/x");
        QCOMPARE(getSetting("TALVENOR", "FOLIVEX", "SAUVE"), QString("/tmp/x"));
        QCOMPARE(getSetting("talvenor", "folivex", "sauve"), QString("/tmp/x"));
        QCOMPARE(getSetting("TALVENOR", "FOLIVEX", "ABSENT", "def"), QString("def"));
        QCOMPARE(getSetting("TALVENOR", "FOLIVEX", "CHEMIN"), env.dbPath());

        // A file written by hand, in its own spelling, with a comma in a path.
        const QString hand = env.path("hand.ini");
        QFile f(hand);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Talvenor_Folivex]\nChemin=/srv/Dr Martin, Pau/INDUCTION.mdb\nCheminXls=/srv/xls\n");
        f.close();
        setSettingsFile(hand);
        QCOMPARE(getSetting("TALVENOR", "FOLIVEX", "CHEMIN"), QString("/srv/Dr Martin, Pau/INDUCTION.mdb"));
        QCOMPARE(getSetting("TALVENOR", "FOLIVEX", "CheminXls"), QString("/srv/xls"));
        saveSetting("Talvenor", "FOLIVEX", "CHEMINXLS", "/srv/new");
        QCOMPARE(getSetting("TALVENOR", "FOLIVEX", "CheminXls"), QString("/srv/new"));
        QCOMPARE(QSettings(hand, QSettings::IniFormat).allKeys().size(), 2); // one value per key
    }

    void keyFilters()
    {
        QLineEdit edit;
        installKeyFilter(&edit, dropApostropheUpperKey);
        QTest::keyClicks(&edit, "d'arc");
        QCOMPARE(edit.text(), QString("DARC"));
        QLineEdit date;
        installKeyFilter(&date, dateKey);
        QTest::keyClicks(&date, "1a2/0x3");
        QTest::keyClick(&date, Qt::Key_Backspace);
        QCOMPARE(date.text(), QString("12/0"));
        QLineEdit fsh;
        installKeyFilter(&fsh, digitsCommaDotKey);
        QTest::keyClicks(&fsh, "7.6b");
        QCOMPARE(fsh.text(), QString("7,6"));
        QCOMPARE(upperCaseKey(u'é'), int(u'é'));
    }

    // A file is written whole or left as it was, whatever fails: no temporary file stays behind, and the
    // failure names the file and its cause.
    void filesAreWholeOrAsTheyWere_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("cause");
        QTest::newRow("written") << "" << "";
        QTest::newRow("disk full") << "full" << "le disque est plein";
        QTest::newRow("write error") << "write" << "erreur d'écriture sur le disque ou le réseau";
        QTest::newRow("flush error") << "fsync" << "erreur d'écriture sur le disque ou le réseau";
        QTest::newRow("write error after a block") << "later" << "erreur d'écriture sur le disque ou le réseau";
    }
    void filesAreWholeOrAsTheyWere()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        SmallDisk disk(256 * 1024);
        SMALL_DISK_OR_SKIP(disk);
        if (!fault.isEmpty() && fault != QLatin1String("full"))
            WRITE_ERRORS_OR_SKIP();
        const QString target = disk.path() + QStringLiteral("/Entet.idc");
        const QString copied = disk.path() + QStringLiteral("/copie.xls");
        const QByteArray earlier = "\"earlier\"\r\n";
        const QByteArray content(100 * 1024, 'n');
        for (const QString& path : {target, copied}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(earlier) == earlier.size());
        }
        const QString source = QDir::temp().filePath(QStringLiteral("folivex-source-%1").arg(QCoreApplication::applicationPid()));
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        }
        if (fault == QLatin1String("full"))
            disk.fillLeaving(40 * 1024);
        std::unique_ptr<WriteErrors> errors;
        if (fault == QLatin1String("write") || fault == QLatin1String("fsync"))
            errors = std::make_unique<WriteErrors>(disk.path(), "EIO", fault.toLatin1());
        else if (fault == QLatin1String("later"))
            errors = std::make_unique<WriteErrors>(disk.path(), "EIO", "write", 4096);

        platform::FileFailure written, copy;
        const bool wrote = platform::writeFile(target, content, &written);
        const bool didCopy = platform::copyFile(source, copied, &copy);
        errors.reset();
        QFile::remove(source);

        auto contentOf = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        };
        const QByteArray expected = cause.isEmpty() ? content : earlier;
        QCOMPARE(wrote, cause.isEmpty());
        QCOMPARE(didCopy, cause.isEmpty());
        QCOMPARE(contentOf(target), expected);
        QCOMPARE(contentOf(copied), expected);
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".~")), QStringList());
        if (!cause.isEmpty()) {
            QCOMPARE(written.message(), QStringLiteral("Le fichier %1 n'a pas pu être enregistré : %2.").arg(target, cause));
            QCOMPARE(copy.message(), QStringLiteral("Le fichier %1 n'a pas pu être enregistré : %2.").arg(copied, cause));
        }
    }

    // A setting is saved whole or not at all: the file keeps its earlier settings, and the failure says why.
    void settingsWrittenWhole_data() { addDiskFaultRows(false); }
    void settingsWrittenWhole()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        TestEnv env;
        SmallDisk disk(64 * 1024);
        DISK_FAULT_OR_SKIP(disk, fault);
        const QString file = disk.path() + QStringLiteral("/folivex.ini");
        setSettingsFile(file);
        QVERIFY(saveSetting("Talvenor", "FOLIVEX", "CHEMIN", "/srv/INDUCTION.mdb"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray earlier = f.readAll();
        f.close();
        FileFailure failure;
        {
            const DiskFault failing(fault, disk, QStringLiteral("folivex.ini"));
            QVERIFY(!saveSetting("Talvenor", "FOLIVEX", "SAUVE", QString(8000, QLatin1Char('s')), &failure));
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), earlier);
        QCOMPARE(failure.message(), QStringLiteral("Le fichier %1 n'a pas pu être enregistré : %2.").arg(file, cause));
        QCOMPARE(getSetting("TALVENOR", "FOLIVEX", "CHEMIN"), QStringLiteral("/srv/INDUCTION.mdb"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".~")), QStringList());
    }

    // The wheel over a combo or a spin box that has no focus scrolls the window and gives no focus; once the
    // control has the focus, the wheel changes its value.
    void wheelChangesOnlyTheFocusedControl()
    {
        TestEnv env;
        auto* w = forms().show<Scrolled>();
        QVERIFY(QTest::qWaitForWindowActive(w));
        for (QWidget* control : {static_cast<QWidget*>(w->combo), static_cast<QWidget*>(w->spin)}) {
            w->button->setFocus();
            const QString before = control == w->combo ? w->combo->currentText() : w->spin->text();
            QScrollBar* bar = w->area->verticalScrollBar();
            bar->setValue(0);
            QVERIFY(turnWheelOver(control));
            QVERIFY(w->button->hasFocus());
            QCOMPARE(control == w->combo ? w->combo->currentText() : w->spin->text(), before);
            QVERIFY(bar->value() > 0);
            bar->setValue(0);
            control->setFocus();
            QVERIFY(turnWheelOver(control));
            QVERIFY(control == w->combo ? w->combo->currentText() != before : w->spin->text() != before);
        }
        forms().unloadAll();
    }

    void windowRegistry()
    {
        TestEnv env;
        Probe::loads = Probe::unloads = 0;
        auto* a = forms().get<Probe>();
        QCOMPARE(forms().get<Probe>(), a);
        QCOMPARE(Probe::loads, 1);
        Probe::refuse = true;
        QVERIFY(!forms().unload<Probe>());
        QVERIFY(forms().isLoaded<Probe>());
        Probe::refuse = false;
        a->close(); // the close box unloads too
        QVERIFY(!forms().isLoaded<Probe>());
        forms().flush();
        forms().get<Probe>();
        QCOMPARE(Probe::loads, 2);
        QCOMPARE(Probe::unloads, 2);
        showHelp(HelpContext, 70);
        QCOMPARE(env.help.calls.size(), 1);
        QCOMPARE(env.help.calls[0].topic, 70);
        QVERIFY(env.help.calls[0].file.endsWith("/prog/Folivex.hlp"));
    }

    // A box of a few words is still wide enough for its title and the buttons the desktop draws beside it in the
    // title bar (openbox: the window's icon, iconify, maximise, close), whatever the title bar's height.
    void messageBoxesShowTheirTitleWhole_data()
    {
        QTest::addColumn<bool>("question");
        QTest::addColumn<int>("titleBar");
        QTest::newRow("notice") << false << 20;
        QTest::newRow("question") << true << 20;
        QTest::newRow("notice, tall title bar") << false << 46;
    }
    void messageBoxesShowTheirTitleWhole()
    {
        QFETCH(bool, question);
        QFETCH(int, titleBar);
        setMessageService(nullptr); // the desktop's boxes
        assumeFrameMargins(QMargins(1, titleBar, 1, 5));
        QString title;
        int width = 0;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                width = box->width();
                box->done(QMessageBox::No);
            }
        });
        if (question)
            askYesNo(QStringLiteral("Oui ?"));
        else
            notice(QStringLiteral("Oui"));
        assumeFrameMargins(std::nullopt);
        QCOMPARE(title, question ? QStringLiteral("Attention") : QStringLiteral("FOLIVEX"));
        QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        font.setBold(true);
        const int needed = QFontMetrics(font).horizontalAdvance(title) + 4 * titleBar;
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 px for %2 px").arg(width).arg(needed)));
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
