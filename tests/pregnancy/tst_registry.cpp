// The registry form: the 98 cells written in order into a fresh working copy, what each kind of control
// gives, and the failures that must stop before a stale working copy is opened.
#include "data/globals.h"
#include "office/fakespreadsheet.h"
#include "platform/conversions.h"
#include "platform/environment.h"
#include "pregnancy/followup.h"
#include "pregnancy/form30.h"
#include "pregnancy/registry.h"
#include "support/faultyfiles.h"
#include "support/testenv.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using followup::ctl;

class TestRegistry : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<office::FakeSpreadsheet> fake;

    Form30* open(const followup::Sheet& sheet = {})
    {
        followup::showSheet(sheet);
        data::CHEMINS_BASE = env->dbPath();
        data::GROSS_EXISTE = false;
        return Form30::openFollowUp();
    }

    void installTemplate()
    {
        QFile t(platform::programFile(QStringLiteral("FIVNAT.xls")));
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("FIVNAT template");
    }

    static void print(Form30* f) { ctl<QPushButton>(f, "CmdImprim")->click(); }

    // The value written into a cell of the last document.
    QString cell(const QString& address) const
    {
        const int doc = fake->calls().isEmpty() ? 0 : fake->openDocuments().value(0);
        for (const QString& w : fake->writes(doc))
            if (w.startsWith(address + QLatin1Char('=')))
                return w.mid(address.size() + 1);
        return QStringLiteral("<not written>");
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<office::FakeSpreadsheet>();
    }
    void cleanup()
    {
        env.reset();
        fake.reset();
    }

    void cellsInWritingOrder()
    {
        const QString expected = QStringLiteral(
            "A1 G4 G6 G8 G10 G14 R16 G19 P21 U21 P23 P26 P28 P30 P34 P38 B40 P42 P44 G32 G36 G46 "
            "P53 P55 P57 P59 P61 P63 P65 P67 P69 U53 U55 U57 U59 U61 U63 U65 U67 U69 P71 P73 P75 U71 U73 U75 "
            "C77 C78 B91 F91 J91 B93 F95 P97 P101 P103 C107 E116 L116 S116 Z116 E118 L118 S118 Z118 "
            "E121 L121 S121 Z121 E129 L129 S129 Z129 D133 K133 R133 Y133 D131 K131 R131 Y131 "
            "D135 K135 R135 Y135 E139 L139 S139 Z139 E144 L144 S144 Z144 E148 L148 S148 Z148 B157");
        installTemplate();
        Form30* f = open();
        print(f);
        const QStringList log = fake->log();
        QCOMPARE(log.mid(0, 2), QStringList({QStringLiteral("closeAll"),
                                            QStringLiteral("open ") + platform::programFile(QStringLiteral("temp.xls"))}));
        QStringList cells;
        for (const QString& w : fake->writes(1))
            cells << w.section(QLatin1Char('='), 0, 0);
        QCOMPARE(cells, expected.split(QLatin1Char(' ')));
        QCOMPARE(log.size(), 2 + 98); // left open: no save, no close
        QCOMPARE(fake->openDocuments(), QList<int>({1}));
        QCOMPARE(followup::rowCount(env->dbPath()), 0);
        // The clinical centre number has no cell; G4 is the biology centre's.
        QCOMPARE(cell(QStringLiteral("G4")), QStringLiteral("text \"B077\""));
        QVERIFY(!fake->writes(1).join(QLatin1Char(' ')).contains(QStringLiteral("C042")));
        // Every control named by the cell table exists.
        for (const auto& c : pregnancy::registryCells())
            if (!c.control.isEmpty())
                QCOMPARE(f->findChildren<QWidget*>(c.control).size(), 1);
    }

    void valuesOfTheControls()
    {
        installTemplate();
        followup::Sheet sheet;
        sheet.nom = QStringLiteral("DU");
        sheet.prenom = QStringLiteral("Anne");
        Form30* f = open(sheet);
        ctl<QCheckBox>(f, "Check25")->setChecked(true);
        ctl<QCheckBox>(f, "ChkPathG_4")->setChecked(true);
        ctl<QCheckBox>(f, "ChkPathF_5")->setChecked(true);
        followup::setControl(f, "CmbAcct_0", QStringLiteral("1"));
        followup::setControl(f, "CmbAcct_1", QStringLiteral("2"));
        followup::setControl(f, "Text7", QStringLiteral("=SOMME(A1:A3)"));
        followup::setControl(f, "TxtDateE", QStringLiteral("2/4/05"));
        followup::setControl(f, "TxtDateHosp", QStringLiteral("12/10"));
        ctl<QPlainTextEdit>(f, "TxtComment")->setPlainText(QStringLiteral("Commentaires : \nRAS"));
        print(f);
        QCOMPARE(cell(QStringLiteral("A1")), QStringLiteral("text \"DU  Anne\""));
        QCOMPARE(cell(QStringLiteral("P26")), QStringLiteral("text \"1\""));
        QCOMPARE(cell(QStringLiteral("P34")), QStringLiteral("text \"0\""));
        QCOMPARE(cell(QStringLiteral("P61")), QStringLiteral("text \"X\""));
        QCOMPARE(cell(QStringLiteral("U75")), QStringLiteral("text \"X\""));
        QCOMPARE(cell(QStringLiteral("P53")), QStringLiteral("text \"\"")); // a clear box empties its cell
        QCOMPARE(cell(QStringLiteral("E116")), QStringLiteral("text \"1\""));
        QCOMPARE(cell(QStringLiteral("L116")), QStringLiteral("text \"2\""));
        QCOMPARE(cell(QStringLiteral("B40")), QStringLiteral("text \"=SOMME(A1:A3)\""));
        QCOMPARE(cell(QStringLiteral("G19")), QStringLiteral("date 02/04/2005"));
        QCOMPARE(cell(QStringLiteral("G14")), QStringLiteral("date 17/03/2005"));
        QCOMPARE(cell(QStringLiteral("F95")), QStringLiteral("text \"12/10\""));   // no year: no date
        QCOMPARE(cell(QStringLiteral("D135")), QStringLiteral("text \"10/10\"")); // the Apgar score
        QCOMPARE(cell(QStringLiteral("B157")), QStringLiteral("text \"Commentaires : \nRAS\""));

        // A six-letter surname gives its first three letters.
        platform::forms().unload<Form30>();
        platform::forms().flush();
        fake->clear();
        f = open();
        print(f);
        QCOMPARE(cell(QStringLiteral("A1")), QStringLiteral("text \"MAR  Claire\""));
    }

    // Every cell that takes a text gets it as typed, even when it reads as a date ("8/9/10" as an Apgar score,
    // "03.11.04" as a dossier number); only the six date cells take dates.
    void datesOnlyInTheDateCells()
    {
        installTemplate();
        Form30* f = open();
        const QStringList dateLike = {QStringLiteral("8/9/10"), QStringLiteral("03.11.04"),
                                      QStringLiteral("05-12-03"), QStringLiteral("1/2/2003")};
        const QStringList dateCells = {"G14", "G19", "G32", "G36", "G46", "F95"};
        QHash<QString, QString> typed;
        int i = 0;
        for (const auto& c : pregnancy::registryCells()) {
            const QHash<QString, QString> reported = {{"D135", "8/9/10"}, {"G8", "03.11.04"}, {"G6", "05-12-03"}};
            const QString text = reported.value(c.cell, dateLike[i++ % dateLike.size()]);
            QWidget* w = f->findChild<QWidget*>(c.control.isEmpty() ? QStringLiteral("TxtPrenom") : c.control);
            QVERIFY(w);
            if (auto* box = qobject_cast<QCheckBox*>(w)) {
                box->setChecked(i % 2);
                typed[c.cell] = c.source == pregnancy::RegistryCell::Source::Cross
                                    ? (box->isChecked() ? QStringLiteral("X") : QString())
                                    : QString::number(box->isChecked());
                continue;
            }
            if (auto* edit = qobject_cast<QPlainTextEdit*>(w))
                edit->setPlainText(text);
            else
                followup::setControl(f, c.control.isEmpty() ? "TxtPrenom" : qPrintable(c.control), text);
            typed[c.cell] = c.control.isEmpty() ? QStringLiteral("MAR  ") + text : text;
        }
        print(f);
        QCOMPARE(fake->writes(1).size(), 98);
        for (const auto& c : pregnancy::registryCells()) {
            const QString expected =
                dateCells.contains(c.cell)
                    ? QStringLiteral("date ") + platform::parseDate(typed[c.cell])->toString(QStringLiteral("dd/MM/yyyy"))
                    : QStringLiteral("text \"%1\"").arg(typed[c.cell]);
            QCOMPARE(cell(c.cell), expected);
        }
    }

    void secondPressReplacesTheFirstForm()
    {
        installTemplate();
        Form30* f = open();
        print(f);
        fake->clear();
        print(f);
        const QStringList log = fake->log();
        QCOMPARE(log.mid(0, 3), QStringList({QStringLiteral("close 1"), QStringLiteral("closeAll"),
                                            QStringLiteral("open ") + platform::programFile(QStringLiteral("temp.xls"))}));
        QCOMPARE(fake->writes(2).size(), 98);
        QCOMPARE(fake->openDocuments(), QList<int>({2}));
    }

    void failuresStopBeforeTheSpreadsheet()
    {
        // Missing template: the full expected path, nothing opened.
        Form30* f = open();
        print(f);
        QCOMPARE(env->messages.texts(), QStringList({QStringLiteral("Le fichier ") +
                                                     platform::programFile(QStringLiteral("FIVNAT.xls")) +
                                                     QStringLiteral(" n'existe pas.")}));
        QVERIFY(fake->calls().isEmpty());

        // A working copy that cannot be replaced: stop with a message rather than open what is there.
        installTemplate();
        QVERIFY(QDir().mkpath(platform::programFile(QStringLiteral("temp.xls/locked"))));
        env->messages.clear();
        print(f);
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(fake->calls().isEmpty());
        QVERIFY(QDir(platform::programFile(QStringLiteral("temp.xls"))).removeRecursively());

        // A working copy that cannot be written whole: the same, with the cause.
        if (WriteErrors::available()) {
            const WriteErrors failing(QStringLiteral("temp.xls"));
            env->messages.clear();
            print(f);
            QCOMPARE(env->messages.boxes.size(), 1);
            QVERIFY(env->messages.texts().first().endsWith(QStringLiteral(" : erreur d'écriture sur le disque ou le réseau.")));
            QVERIFY(fake->calls().isEmpty());
        }

        // No spreadsheet program: the user is told instead of nothing happening.
        fake->setAvailable(false);
        env->messages.clear();
        print(f);
        QCOMPARE(env->messages.texts(),
                 QStringList({QStringLiteral("Le formulaire FIVNAT n'a pas pu être ouvert dans le tableur.")}));
        QVERIFY(fake->writes(0).isEmpty());
        QVERIFY(platform::forms().isLoaded<Form30>());
    }
};

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
