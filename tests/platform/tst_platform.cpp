// The platform stand-ins: conversions, settings, key filters, window registry.
#include "platform/conversions.h"
#include "platform/forms.h"
#include "platform/keyfilter.h"
#include "platform/settings.h"
#include "support/desktopwheel.h"
#include "support/testenv.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QSettings>
#include <QTest>

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
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
