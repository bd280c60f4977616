// The ovarian response score calculator, driven through its controls, and the shared rounding.
#include "support/testenv.h"
#include "platform/forms.h"
#include "workup/form11.h"
#include "workup/score.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestCalculator : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form11* w = nullptr;

    template <class T = QLineEdit> T* c(const char* name) { return w->findChild<T*>(QLatin1String(name)); }
    QString text(const char* name) { return c<QLabel>(name)->text(); }
    QString box(const char* name) { return c(name)->text(); }
    void type(const char* name, const QString& keys)
    {
        c(name)->clear();
        QTest::keyClicks(c(name), keys);
    }
    void enter(const QString& age, const QString& pds, const QString& taille, const QString& fsh, const QString& lh)
    {
        type("TxtAge", age);
        type("TxtPds", pds);
        type("TxtTaille", taille);
        type("TxtFsh", fsh);
        type("TxtLh", lh);
    }
    void calcule() { QTest::mouseClick(c<QPushButton>("Command2"), Qt::LeftButton); }
    bool shown(const char* name) { return !c<QWidget>(name)->isHidden(); }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        w = platform::forms().show<Form11>();
    }
    void cleanup() { env.reset(); }

    void loadShowsHelpAndHidesProtocols()
    {
        const QString expected =
            "     Aide à determiner la dose d'attaque de FSH au cours de stimulations FIV en protocole agoniste long.\n"
            "      Le score de réponse ovarienne va de -2 à 6 et représente la somme de :\n"
            "      (Score âge + Score BMI + Score FSH + Score LH/FSH.) \n"
            "Score âge: (< 28 ans = -1), (28 à 36 ans = 0), (36 à 39 ans = 1), (>= 39 ans = 2)\n"
            "Score BMI: (< 25,9 = 0), (>= 25,9 = 1)\n"
            "Score FSH: (< 7,6 = 0), (7,6 à 9 = 1), (>= 9 = 2)\n"
            "Score LH/FSH: (< 0,38 = 1), (0,38 à 1,4 = 0), (>= 1,4 = -1)\n"
            "     La dose initiale de FSH est fonction du score de la réponse ovarienne.";
        QCOMPARE(text("LblInfo"), expected);
        QVERIFY(shown("LblInfo"));
        QVERIFY(!shown("Frame4"));
        QVERIFY(!shown("Frame3"));
    }

    void derivedValuesWhileTyping()
    {
        const struct { const char *pds, *taille, *fsh, *lh, *bmi, *ratio; } cases[] = {
            {"60", "160", "7", "5", "23,4", "0,71"}, {"60", "165", "8", "3", "22", "0,38"},
            {"68", "162", "5", "7", "25,9", "1,4"},  {"80", "176", "3", "1", "25,8", "0,33"},
            {"60", "0", "0", "5", "", ""},           {"60", "", "7", "", "", ""},
        };
        for (const auto& k : cases) {
            enter("30", k.pds, k.taille, k.fsh, k.lh);
            QCOMPARE(text("LblBmi"), QString(k.bmi));
            QCOMPARE(text("LblLhFsh"), QString(k.ratio));
        }
    }

    void keyFilters()
    {
        type("TxtFsh", "7.6");
        QCOMPARE(box("TxtFsh"), QString("7,6"));
        type("TxtLh", "a1,5x");
        QCOMPARE(box("TxtLh"), QString("1,5"));
        // The age is whole; weight and height take a decimal comma, typed as "," or ".".
        type("TxtAge", "3a,.5");
        QCOMPARE(box("TxtAge"), QString("35"));
        for (const char* name : {"TxtPds", "TxtTaille"}) {
            type(name, "6a4.5");
            QCOMPARE(box(name), QString("64,5"));
        }
    }

    void pointsAtTheLimits_data()
    {
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("pds");
        QTest::addColumn<QString>("fsh");
        QTest::addColumn<QString>("lh");
        QTest::addColumn<QStringList>("points"); // age, BMI, FSH, LH/FSH
        // Height 100 cm makes the BMI the weight itself.
        QTest::newRow("27") << "27" << "20" << "5" << "5" << QStringList{"-1", "0", "0", "0"};
        QTest::newRow("28") << "28" << "20" << "5" << "5" << QStringList{"0", "0", "0", "0"};
        QTest::newRow("35") << "35" << "20" << "5" << "5" << QStringList{"0", "0", "0", "0"};
        QTest::newRow("36") << "36" << "20" << "5" << "5" << QStringList{"1", "0", "0", "0"};
        QTest::newRow("38") << "38" << "20" << "5" << "5" << QStringList{"1", "0", "0", "0"};
        QTest::newRow("39") << "39" << "20" << "5" << "5" << QStringList{"2", "0", "0", "0"};
        QTest::newRow("bmi 25,9") << "30" << "25,9" << "5" << "5" << QStringList{"0", "1", "0", "0"};
        QTest::newRow("bmi 25,8") << "30" << "25,8" << "5" << "5" << QStringList{"0", "0", "0", "0"};
        QTest::newRow("fsh 7,5") << "30" << "20" << "7,5" << "7,5" << QStringList{"0", "0", "0", "0"};
        QTest::newRow("fsh 7,6") << "30" << "20" << "7,6" << "7,6" << QStringList{"0", "0", "1", "0"};
        QTest::newRow("fsh 9") << "30" << "20" << "9" << "9" << QStringList{"0", "0", "2", "0"};
        QTest::newRow("ratio 0,38") << "30" << "20" << "5" << "1,9" << QStringList{"0", "0", "0", "0"};
        QTest::newRow("ratio 0,37") << "30" << "20" << "5" << "1,85" << QStringList{"0", "0", "0", "1"};
        QTest::newRow("ratio 1,4") << "30" << "20" << "5" << "7" << QStringList{"0", "0", "0", "-1"};
    }
    void pointsAtTheLimits()
    {
        QFETCH(QString, age);
        QFETCH(QString, pds);
        QFETCH(QString, fsh);
        QFETCH(QString, lh);
        QFETCH(QStringList, points);
        enter(age, "", "100", fsh, lh);
        c("TxtPds")->setText(pds); // the filter admits only whole weights; the BMI boundary needs a decimal
        calcule();
        QCOMPARE((QStringList{box("AgeVals"), box("BmiVals"), box("FshVals"), box("LhFshVals")}), points);
        int total = 0;
        for (const QString& p : points)
            total += p.toInt();
        QCOMPARE(text("LblRo"), QString::number(total));
    }

    void adviceByScore_data()
    {
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("pds");
        QTest::addColumn<QString>("fsh");
        QTest::addColumn<QString>("lh");
        QTest::addColumn<QString>("score");
        QTest::addColumn<bool>("agonist");
        QTest::addColumn<bool>("antagonist");
        QTest::addColumn<QString>("repond");
        QTest::addColumn<QString>("demar");
        QTest::addColumn<QString>("ago");
        QTest::addColumn<QString>("anta");
        const QString choice = " Agonistes ou Antagonistes au choix";
        const QString prefer = " Préfèrer protocole  Antagoniste";
        QTest::newRow("-2") << "25" << "20" << "5" << "10" << "-2" << true << false << "Hyper répondeuse"
                            << " Aucune experience des Antagonistes, Plutôt Agonistes si LH élevée"
                            << "Démarrer avec 100 UI de FSHr" << "unchanged";
        QTest::newRow("0") << "30" << "20" << "5" << "5" << "0" << true << true << "Normo répondeuse" << choice
                           << "Démarrer avec 150 UI de FSHr" << "Démarrer à J2 avec 150 UI de FSHr";
        QTest::newRow("1") << "37" << "20" << "5" << "5" << "1" << true << true << "Normo répondeuse" << choice
                           << "Démarrer avec 200 UI de FSHr" << "Démarrer à J2 avec 200 UI de FSHr";
        QTest::newRow("2") << "39" << "20" << "5" << "5" << "2" << true << true
                           << "Normo répondeuse limite mauvaise répondeuse" << choice
                           << "Démarrer avec 300 UI de FSHr" << "Démarrer à J2 avec 250 UI de FSHr";
        QTest::newRow("3") << "39" << "26" << "5" << "5" << "3" << true << true << "Hypo répondeuse" << prefer
                           << "Démarrer avec 300 UI de FSHr" << "Démarrer à J2 avec 300 UI de FSHr";
        QTest::newRow("4") << "39" << "26" << "8" << "8" << "4" << true << true << "Hypo répondeuse" << prefer
                           << "Démarrer avec 450 UI de FSHr" << "Démarrer à J2 avec 300 UI de FSHr";
        QTest::newRow("6") << "39" << "26" << "10" << "2" << "6" << false << true << "Hypo répondeuse"
                           << " Préfèrer Antagonistes, oestrogénothérapie préalable"
                           << "Démarrer avec 450 UI de FSHr" << "Démarrer à J2 avec 300 UI de FSHr";
    }
    void adviceByScore()
    {
        QFETCH(QString, age);
        QFETCH(QString, pds);
        QFETCH(QString, fsh);
        QFETCH(QString, lh);
        c<QLabel>("LblStimAnta")->setText("unchanged");
        enter(age, pds, "100", fsh, lh);
        calcule();
        QTEST(text("LblRo"), "score");
        QVERIFY(!shown("LblInfo"));
        QTEST(shown("Frame4"), "agonist");
        QTEST(shown("Frame3"), "antagonist");
        QTEST(text("LblRepond"), "repond");
        QTEST(text("LblDemar"), "demar");
        QTEST(text("LblStimAgo"), "ago");
        QTEST(text("LblStimAnta"), "anta");
    }

    void calculeNeedsEveryValue()
    {
        // An empty weight, a zero height or a zero FSH leave no BMI or ratio: nothing happens at all.
        const QStringList weights{"", "60", "60"}, heights{"160", "0", "160"}, fshs{"5", "5", "0"};
        for (int i = 0; i < weights.size(); ++i) {
            enter("30", weights[i], heights[i], fshs[i], "5");
            calcule();
            QVERIFY(shown("LblInfo"));
            QVERIFY(!shown("Frame4") && !shown("Frame3"));
            QCOMPARE(text("LblRo"), QString());
            QCOMPARE(box("AgeVals"), QString());
        }
    }

    void effaceKeepsPointsAndHidesEverything()
    {
        enter("39", "26", "100", "10", "2");
        calcule();
        QTest::mouseClick(c<QPushButton>("Command3"), Qt::LeftButton);
        for (const char* name : {"TxtAge", "TxtPds", "TxtTaille", "TxtFsh", "TxtLh"})
            QCOMPARE(box(name), QString());
        for (const char* name : {"LblBmi", "LblLhFsh", "LblRo", "LblDemar", "LblRepond"})
            QCOMPARE(text(name), QString());
        QVERIFY(!shown("LblInfo") && !shown("Frame4") && !shown("Frame3"));
        QCOMPARE((QStringList{box("AgeVals"), box("BmiVals"), box("FshVals"), box("LhFshVals")}),
                 (QStringList{"2", "1", "2", "1"}));
        QCOMPARE(text("LblStimAgo"), QString("Démarrer avec 450 UI de FSHr"));
        enter("30", "20", "100", "5", "5");
        calcule();
        QVERIFY(shown("Frame4") && shown("Frame3"));
    }

    void fermerUnloadsAndNextOpeningStartsAfresh()
    {
        enter("39", "26", "100", "10", "2");
        calcule();
        QTest::mouseClick(c<QPushButton>("Command1"), Qt::LeftButton);
        QVERIFY(!platform::forms().isLoaded<Form11>());
        platform::forms().flush();
        w = platform::forms().show<Form11>();
        QVERIFY(shown("LblInfo"));
        QCOMPARE(box("TxtAge"), QString());
        QCOMPARE(box("AgeVals"), QString());
    }

    void roundingHalfToEven()
    {
        QCOMPARE(workup::roundHalfEven(2.5, 0), 2.0);
        QCOMPARE(workup::roundHalfEven(3.5, 0), 4.0);
        QCOMPARE(workup::roundHalfEven(0.125, 2), 0.12);
        QCOMPARE(workup::roundHalfEven(0.375, 2), 0.38);
        QCOMPARE(workup::roundHalfEven(-0.5, 0), -0.0);
    }
};

QTEST_MAIN(TestCalculator)
#include "tst_calculator.moc"
