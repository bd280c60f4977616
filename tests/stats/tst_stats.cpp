// The statistics window on a fixture that gives every grid cell its own case: query texts, the 87 cells,
// the rates, the pregnancy list and the multi-criteria search.
#include "data/database.h"
#include "data/globals.h"
#include "data/schema.h"
#include "platform/forms.h"
#include "stats/activity.h"
#include "stats/form8.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QPushButton>
#include <QProcess>
#include <QTest>
#include <QAction>
#include <QApplication>

using platform::forms;

namespace {

struct Cycle {
    int numero;
    QVariant jcycle; // invalid: no cycle date
    const char* type;
    const char* grossesse;
    const char* multiple = "";
    const char* dateponc = "";
    const char* datetrans = "";
};

const QVariant kDay = 38426; // 15/03/2005
const char* const kPonc = "01/03/2005";
const char* const kTrans = "03/03/2005";

// Couple 99 has no dossier. Every pregnancy of the period is on day kDay, so the list is in table order.
const Cycle kFixture[] = {
    {1, kDay, "Stim. simple", "Biologique", "Simple"},
    {1, kDay, "Stim", "Enfant vivant", "Gemellaire"},
    {2, kDay, "stimulation légère", "Néant"},
    {2, kDay, "Stim. simple", "Inconnue"}, // outcome outside the vocabulary
    {8, 40178, "Stim. simple", ""},        // last day of the period
    {3, kDay, "IAC", "FC", "Simple"},
    {3, kDay, "iac", "GEU", "Simple"},
    {4, kDay, "IAC", "Néant"},
    {4, kDay, "IAC", ""},
    {4, kDay, "IAD", "Enfant vivant", "Triple"},
    {5, kDay, "IAD", "Biologique", "> Triple"},
    {5, kDay, "FIV", "Biologique", "Simple", kPonc, kTrans},
    {6, kDay, "FIV D", "Néant", "", kPonc},
    {6, kDay, "fiv", "Biologique", "Simple"}, // no egg retrieval date
    {7, kDay, "FIV", "Enfant vivant", "Gemellaire", kPonc, kTrans},
    {7, kDay, "FIV", "néant", "Simple", kPonc, kTrans}, // "néant" is "Néant" to the engine
    {99, kDay, "FIV", "FC", "Simple", kPonc, kTrans},
    {8, kDay, "ICSI", "Biologique", "Gemellaire", kPonc, kTrans},
    {8, kDay, "ICSI + IMSI", "GEU", "Simple", kPonc},
    {5, kDay, "ICSI", "Enfant vivant", "> Triple", kPonc, kTrans},
    {2, kDay, "TEC", "Enfant vivant", "Simple"},
    {2, kDay, "tec", "Biologique", "Simple"},
    {1, kDay, "TEC", ""},
    {7, 36526, "TEC", "Néant"},                  // first day of the period
    {3, kDay, "Don d'ovocytes", "Biologique"},   // type outside the vocabulary
    {1, QVariant(), "FIV", "Biologique", "Simple"}, // no cycle date
    {6, 36525, "IAC", "Biologique", "Simple"},   // the day before
    {6, 40179, "IAC", "Biologique", "Simple"},   // the day after
};

// Expected grid, by measure, in the columns All Stim IAC IAD IAC+IAD FIV ICSI FIV+ICSI TEC ("-": no cell).
struct GridRow {
    const char* cells;
    const char* values;
};
const GridRow kExpected[] = {
    {"Label30 Label31 Label32 Label33 Label34 Label35 Label36 Label37 Label102", "9 3 2 2 3 4 2 5 3"},
    {"LblTStim LblCycSim LblCycIac LblCycIAD LblIacIad LblCycFiv LblCycIcs LblFivIcs LblCycCon", "25 5 4 2 6 6 3 9 4"},
    {"LblFivPon LblIcsPon LblTotPon", "5 3 8"},
    {"LblFivTra LblIcsTra LblTotTra", "4 2 6"},
    {"Label39 Label53 Label54 Label55 Label56 Label83 Label84 Label85 Label105", "6 1 0 1 1 2 1 3 1"},
    {"Label40 Label57 Label58 Label59 Label60 Label86 Label87 Label88 Label106", "4 0 2 0 2 1 1 2 0"},
    {"Label41 Label61 Label62 Label63 Label64 Label89 Label90 Label91 Label107", "5 1 0 1 1 1 1 2 1"},
    {"LblTotG LblSimG LblIacG LblIadG LblIacIadG LblFivG LblIcsG LblFivIcsG LblConG", "15 2 2 2 4 4 3 7 2"},
    {"Label42 Label65 Label66 Label67 Label68 Label92 Label93 Label94 Label108", "9 1 2 0 2 3 1 4 2"},
    {"Label43 Label69 Label70 Label71 Label72 Label95 Label96 Label97 Label109", "3 1 0 0 0 1 1 2 0"},
    {"Label44 Label73 Label74 Label75 Label76 Label98 Label99 Label100 Label110", "3 0 0 2 2 0 1 1 0"},
};

// A control of the window by its name.
template <class T> T* w(QObject* form, const char* name)
{
    T* control = form->findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

QStringList items(const QListView* list)
{
    QStringList out;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        out << list->model()->index(i, 0).data().toString();
    return out;
}

} // namespace

class TestStats : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;

    void addCouples(int count)
    {
        auto db = data::Database::open(env->dbPath());
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
        for (int i = 1; i <= count; ++i) {
            rs->AddNew();
            rs->setField(QStringLiteral("Nom"), QStringLiteral("NOM%1").arg(i));
            // Couple 3 has no first name.
            rs->setField(QStringLiteral("Prenom"), i == 3 ? QString() : QStringLiteral("Prénom%1").arg(i));
            rs->Update();
        }
    }

    void addCycles(std::span<const Cycle> cycles)
    {
        auto db = data::Database::open(env->dbPath());
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE "));
        int numfich = 0;
        for (const Cycle& c : cycles) {
            rs->AddNew();
            rs->setField(QStringLiteral("numero"), c.numero);
            rs->setField(QStringLiteral("NUMFICH"), ++numfich);
            rs->setField(QStringLiteral("JCYCLE"), c.jcycle.isValid() ? QVariant(c.jcycle.toDouble()) : QVariant());
            rs->setField(QStringLiteral("Type"), QString::fromUtf8(c.type));
            rs->setField(QStringLiteral("GROSSESSE"), QString::fromUtf8(c.grossesse));
            rs->setField(QStringLiteral("MULTIPLE"), QString::fromUtf8(c.multiple));
            rs->setField(QStringLiteral("DATEPONC"), QString::fromLatin1(c.dateponc));
            rs->setField(QStringLiteral("DATETRANS"), QString::fromLatin1(c.datetrans));
            rs->Update();
        }
    }

    Form8* open()
    {
        data::CHEMIN_BASE = env->dbPath();
        return forms().show<Form8>();
    }

    QString cell(Form8* f, const QString& name) { return f->findChild<QLabel*>(name)->text(); }

    void search(Form8* f, const QString& type, bool pregnancies, const QString& from, const QString& to)
    {
        w<QLineEdit>(f, "TxtDate1")->setText(from);
        w<QLineEdit>(f, "TxtDate2")->setText(to);
        w<QComboBox>(f, "CmbType")->setEditText(type);
        w<QCheckBox>(f, "Check1")->setChecked(pregnancies);
        QTest::mouseClick(w<QPushButton>(f, "Command2"), Qt::LeftButton);
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        addCouples(8);
        addCycles(kFixture);
    }
    void cleanup()
    {
        env.reset();
        forms().flush();
    }

    void initialQueryTexts()
    {
        auto query = [](const char* name) {
            for (const auto& c : stats::countCells())
                if (QLatin1String(c.cell) == QLatin1String(name))
                    return stats::countQuery(c, 36526, 40178);
            return QString();
        };
        QCOMPARE(query("Label30"), QString("SELECT NUMERO, COUNT(NUMERO) From FICHE WHERE JCYCLE BETWEEN 36526 And "
                                           "40178 GROUP BY NUMERO"));
        QCOMPARE(query("Label31"), QString("SELECT NUMERO, COUNT(NUMERO) From FICHE WHERE JCYCLE BETWEEN 36526 And "
                                           "40178AND (FICHE.TYPE LIKE 'Stim*') GROUP BY NUMERO"));
        QCOMPARE(query("LblTStim"), QString("SELECT* From FICHE WHERE JCYCLE BETWEEN 36526 And 40178"));
        QCOMPARE(query("LblFivPon"), QString("SELECT FICHE.* From FICHE WHERE JCYCLE BETWEEN 36526 And "
                                             "40178AND (FICHE.TYPE LIKE'FIV*')AND (FICHE.DATEPONC <>'')"));
        QCOMPARE(query("Label66"),
                 QString("SELECT FICHE.* From FICHE WHERE JCYCLE BETWEEN 36526 And 40178AND (FICHE.TYPE = "
                         "'IAC')AND (FICHE.GROSSESSE <> 'Néant')AND (FICHE.GROSSESSE <> '')AND (FICHE.MULTIPLE "
                         "= 'Simple')"));

        // The window's initial period gives those texts, and the pregnancy list runs last on Data2.
        Form8* f = open();
        QCOMPARE(w<QLineEdit>(f, "TxtDate1")->text(), QString("01/01/2000"));
        QCOMPARE(w<QLineEdit>(f, "TxtDate2")->text(), QString("31/12/2009"));
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        QCOMPARE(f->Data2.RecordSource, QString("SELECT FICHE.* From FICHE WHERE JCYCLE BETWEEN 36526 And 40178AND "
                                                "(FICHE.GROSSESSE <>'Néant')AND (FICHE.GROSSESSE <>'')"));
        QCOMPARE(f->Data1.RecordSource, query("Label110"));
    }

    void everyCellOfTheFixture()
    {
        Form8* f = open();
        w<QLabel>(f, "Label1")->setText("7");
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        int cells = 0;
        for (const GridRow& row : kExpected) {
            const QStringList names = QString(row.cells).split(' ');
            const QStringList values = QString(row.values).split(' ');
            for (int i = 0; i < names.size(); ++i, ++cells)
                QVERIFY2(cell(f, names[i]) == values[i],
                         qPrintable(QString("%1 = %2, expected %3").arg(names[i], cell(f, names[i]), values[i])));
        }
        QCOMPARE(cells, 87);
        QCOMPARE(w<QLabel>(f, "LblPcP")->text(), QString("87%")); // 7 pregnancies for 8 egg retrievals
        QCOMPARE(w<QLabel>(f, "LblPcT")->text(), QString("116%")); // 7 for 6 transfers
        QCOMPARE(w<QLabel>(f, "Label1")->text(), QString());
        QVERIFY(env->messages.boxes.isEmpty());

        // The pregnancy list: one line per cycle in table order; couple 99 has no dossier and an empty line.
        QCOMPARE(w<QLabel>(f, "LblTotal")->text(), QString("17"));
        QCOMPARE(w<QLabel>(f, "Label28")->text(), QString("Grossesses"));
        QCOMPARE(items(w<QListView>(f, "List1")), QString("1 1 2 3 3 4 5 5 6 7 99 8 8 5 2 2 3").split(' '));
        const QStringList names = items(w<QListView>(f, "List2"));
        QCOMPARE(names.size(), 17);
        QCOMPARE(names[0], QString("NOM1   Prénom1"));
        QCOMPARE(names[3], QString("NOM3   ")); // no first name
        QCOMPARE(names[10], QString());
        QCOMPARE(names[11], QString("NOM8   Prénom8"));
        QCOMPARE(names[16], QString("NOM3   "));
    }

    // The numbers and the names scroll and select together: line i of one stands beside line i of the other.
    void numbersStayBesideTheirNames()
    {
        Form8* f = open();
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        auto* numbers = w<QListView>(f, "List1");
        auto* names = w<QListView>(f, "List2");
        for (QListView* list : {numbers, names})
            list->setFixedHeight(4 * list->sizeHintForRow(0)); // fewer lines than results, as on a small screen
        QApplication::processEvents();
        auto topRow = [](QListView* list) { return list->indexAt(QPoint(2, 2)).row(); };
        for (auto [scrolled, other] : {std::pair{names, numbers}, std::pair{numbers, names}}) {
            scrolled->verticalScrollBar()->setValue(scrolled->verticalScrollBar()->maximum());
            QVERIFY(topRow(scrolled) > 0);
            QCOMPARE(topRow(other), topRow(scrolled));
            scrolled->verticalScrollBar()->setValue(0);
            QCOMPARE(topRow(other), 0);
        }
        names->setCurrentIndex(names->model()->index(12, 0));
        QCOMPARE(numbers->currentIndex().row(), 12);
        numbers->setCurrentIndex(numbers->model()->index(3, 0));
        QCOMPARE(names->currentIndex().row(), 3);
        QCOMPARE(topRow(names), topRow(numbers));
    }

    void couplesOfTwoTypesCountOnce()
    {
        // Alone in a period: one couple with an IAC and an IAD cycle.
        addCycles(std::vector<Cycle>{{4, 37000, "IAC", ""}, {4, 37001, "IAD", ""}});
        Form8* f = open();
        w<QLineEdit>(f, "TxtDate1")->setText("01/01/2001");
        w<QLineEdit>(f, "TxtDate2")->setText("31/12/2001");
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        QCOMPARE(cell(f, "Label32"), QString("1"));
        QCOMPARE(cell(f, "Label33"), QString("1"));
        QCOMPARE(cell(f, "Label34"), QString("1"));
        QCOMPARE(cell(f, "Label30"), QString("1"));
        QCOMPARE(cell(f, "LblIacIad"), QString("2"));
    }

    void rates()
    {
        QCOMPARE(stats::rateText(1, 3), QString("33%"));
        QCOMPARE(stats::rateText(2, 3), QString("66%"));
        QCOMPARE(stats::rateText(3, 2), QString("150%"));
        QCOMPARE(stats::rateText(0, 4), QString("0%"));
        QCOMPARE(stats::rateText(29, 50), QString("58%"));
        QCOMPARE(stats::rateText(5, 0), QString("-"));
    }

    void emptyPeriodAndBadDates()
    {
        Form8* f = open();
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        w<QLineEdit>(f, "TxtDate1")->setText("01/01/1990");
        w<QLineEdit>(f, "TxtDate2")->setText("31/12/1990");
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        for (const auto& c : stats::countCells())
            QCOMPARE(cell(f, c.cell), QString("0"));
        for (const auto& s : stats::sumCells())
            QCOMPARE(cell(f, s.cell), QString("0"));
        QCOMPARE(w<QLabel>(f, "LblPcP")->text(), QString("-"));
        QCOMPARE(w<QLabel>(f, "LblPcT")->text(), QString("-"));
        QCOMPARE(w<QLabel>(f, "LblTotal")->text(), QString("0"));
        QCOMPARE(w<QListView>(f, "List1")->model()->rowCount(), 0);
        QCOMPARE(w<QListView>(f, "List2")->model()->rowCount(), 0);
        QCOMPARE(w<QLabel>(f, "Label28")->text(), QString("Grossesses")); // the last heading stays

        // A bad date: the message, no query; the grid stays, lists and rates are reset.
        w<QLineEdit>(f, "TxtDate1")->setText("01/01/2000");
        w<QLineEdit>(f, "TxtDate2")->setText("31/12/2009");
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        w<QLineEdit>(f, "TxtDate2")->setText("32/12/2009");
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        QCOMPARE(env->messages.texts(),
                 QStringList{"La Date est saisie selon un mode incorrect. Veuillez corriger."});
        QCOMPARE(cell(f, "LblTStim"), QString("25"));
        QCOMPARE(w<QLabel>(f, "LblPcP")->text(), QString("-"));
        QCOMPARE(w<QListView>(f, "List1")->model()->rowCount(), 0);
        w<QLineEdit>(f, "TxtDate2")->clear();
        QTest::mouseClick(w<QPushButton>(f, "Command2"), Qt::LeftButton);
        QCOMPARE(env->messages.boxes.size(), 2);
    }

    void searchExampleAndWildcards()
    {
        Form8* f = open();
        search(f, "FIV", true, "01/01/2005", "31/12/2005");
        QCOMPARE(f->Data2.RecordSource,
                 QString("SELECT FICHE.* From FICHE WHERE JCYCLE BETWEEN 38353 And 38717AND (FICHE.TYPE LIKE "
                         "'FIV')AND (FICHE.GROSSESSE <>'Néant')AND (FICHE.GROSSESSE <>'')"));
        QCOMPARE(w<QLabel>(f, "Label1")->text(), QString("4"));
        QCOMPARE(items(w<QListView>(f, "List1")), QString("5 6 7 99").split(' '));
        QCOMPARE(items(w<QListView>(f, "List2")), (QStringList{"NOM5   Prénom5", "NOM6   Prénom6", "NOM7   Prénom7", ""}));
        QCOMPARE(w<QLabel>(f, "Label28")->text(), QString("Couples correspondants"));

        search(f, "FIV*", false, "01/01/2000", "31/12/2009"); // every type that begins with FIV, any case
        QCOMPARE(w<QLabel>(f, "Label1")->text(), QString("6"));
        search(f, "Don d'ovocytes", false, "01/01/2000", "31/12/2009");
        QCOMPARE(w<QLabel>(f, "Label1")->text(), QString("1"));
        QCOMPARE(items(w<QListView>(f, "List2")), QStringList{"NOM3   "});
        QVERIFY(env->messages.boxes.isEmpty());

        // A criterion of blanks is filled and matches nothing: the heading of the last list stays.
        w<QLabel>(f, "Label28")->setText("Couples correspondants");
        search(f, "  ", false, "01/01/2000", "31/12/2009");
        QCOMPARE(w<QLabel>(f, "Label1")->text(), QString("0"));
        QCOMPARE(w<QListView>(f, "List1")->model()->rowCount(), 0);
        QCOMPARE(w<QLabel>(f, "Label28")->text(), QString("Couples correspondants"));

        // Clearing keeps the couple numbers of the last search.
        search(f, "IAD", false, "01/01/2000", "31/12/2009");
        w<QComboBox>(f, "CmbAna")->setEditText("Synarel");
        QTest::mouseClick(w<QPushButton>(f, "Command3"), Qt::LeftButton);
        QCOMPARE(items(w<QListView>(f, "List1")), QString("4 5").split(' '));
        QCOMPARE(w<QListView>(f, "List2")->model()->rowCount(), 0);
        QCOMPARE(w<QLabel>(f, "Label1")->text(), QString());
        QCOMPARE(w<QLabel>(f, "Label28")->text(), QString());
        QCOMPARE(w<QComboBox>(f, "CmbType")->currentText(), QString());
        QCOMPARE(w<QComboBox>(f, "CmbAna")->currentText(), QString());
        QVERIFY(!w<QCheckBox>(f, "Check1")->isChecked());
    }

    void patternsListTheCyclesInTableOrder()
    {
        // Cycles stored out of the order of type, date and products, with case and accents of their own; the
        // fixture's cycles have no products, so no search below meets them.
        RawDb raw(env->dbPath());
        QVERIFY(raw.exec(
            "INSERT INTO FICHE (NUMERO, JCYCLE, TYPE, ANTAGO, ANA, STIMULINE, DECLENCHO, GROSSESSE) VALUES "
            "(4, 38500, 'FIV D', 'Cetrotide', 'Décapeptyl 3', 'Gonal-f', 'Ovitrelle', 'Néant'),"
            "(2, 36600, 'FIV', 'cetrotide', 'Decapeptyl 0,1', 'gonal-F', 'ovitrelle', 'Biologique'),"
            "(7, 38400, 'ICSI', 'Cetrotide', 'Décapeptyl 3', 'Gonal-f', 'Ovitrelle', 'Biologique'),"
            "(1, 39000, 'FIV', 'Orgalutran', 'Décapeptyl 3', 'Gonal-f', 'Ovitrelle', 'Biologique'),"
            "(5, 38450, 'fiv', 'Cetrotide', 'Enantone', 'Gonal-f', 'Ovitrelle', 'Biologique'),"
            "(8, 38360, 'FIV', 'Cetrotide', 'Décapeptyl 3', 'Puregon', 'Ovitrelle', 'Biologique'),"
            "(6, 37000, 'FIV', 'Cetrotide', 'DÉCAPEPTYL 3', 'Gonal-f', 'Gonadotrophine chorionique 5000', "
            "'Enfant vivant'),"
            "(2, 38700, 'FIV', 'Cetrotide', 'Décapeptyl 3', 'Gonal-f', 'Ovitrelle d''emblée', '')"));
        const struct {
            stats::Criteria criteria;
            bool pregnancies;
            const char *from, *to, *numbers;
        } cases[] = {
            {{"FIV*", "Cetro*", "D?capeptyl*", "*f", ""}, false, "01/01/2000", "31/12/2009", "4 2 6 2"},
            {{"FIV*", "Cetro*", "D?capeptyl*", "*f", ""}, false, "01/01/2005", "31/12/2005", "4 2"},
            {{"FIV*", "Cetro*", "D?capeptyl*", "*f", ""}, true, "01/01/2000", "31/12/2009", "2 6"},
            {{"FIV*", "Cetro*", "D?capeptyl*", "*f", "Ovi*"}, false, "01/01/2000", "31/12/2009", "4 2 2"},
            {{"fiv", "", "", "", "*chorionique*"}, false, "01/01/2000", "31/12/2009", "6"},
            {{"", "", "", "[g-p]*", ""}, true, "01/01/2005", "31/12/2006", "7 1 5 8"},
        };
        Form8* f = open();
        const char* const combos[] = {"CmbType", "CmbAntago", "CmbAna", "CmbStimuline", "CmbDeclencho"};
        for (const auto& c : cases) {
            for (int i = 0; i < stats::kCriteria; ++i)
                w<QComboBox>(f, combos[i])->setEditText(c.criteria[size_t(i)]);
            w<QCheckBox>(f, "Check1")->setChecked(c.pregnancies);
            w<QLineEdit>(f, "TxtDate1")->setText(c.from);
            w<QLineEdit>(f, "TxtDate2")->setText(c.to);
            QTest::mouseClick(w<QPushButton>(f, "Command2"), Qt::LeftButton);
            const QStringList numbers = QString(c.numbers).split(' ');
            QCOMPARE(items(w<QListView>(f, "List1")), numbers);
            QCOMPARE(w<QLabel>(f, "Label1")->text(), QString::number(numbers.size()));
            QStringList names;
            for (const QString& n : numbers)
                names << QStringLiteral("NOM%1   Prénom%1").arg(n);
            QCOMPARE(items(w<QListView>(f, "List2")), names);
        }
        QVERIFY(env->messages.boxes.isEmpty());
    }

    void everyFillPattern()
    {
        // The conditions of each fill pattern the table lists (T type, G antagonist, A analogue,
        // S stimulation product, D trigger), then patterns it leaves out.
        const char* const patterns[] = {"", "T", "G", "A", "S", "D", "TG", "TA", "TS", "TD", "TGA", "TGS", "TGD",
                                        "TGAS", "TGAD", "TGASD", "AS", "TAD", "GD", "GASD"};
        const QString head = "SELECT FICHE.* From FICHE WHERE JCYCLE BETWEEN 38353 And 38717";
        const QString pregnant = "AND (FICHE.GROSSESSE <>'Néant')AND (FICHE.GROSSESSE <>'')";
        const QString letters = "TGASD";
        const QStringList columns = {"TYPE", "ANTAGO", "ANA", "STIMULINE", "DECLENCHO"};
        const stats::Criteria values = {"FIV", "Cetrotide", "Décapeptyl 3", "Gonal-f", "Ovitrelle d'emblée"};
        for (const char* p : patterns) {
            stats::Criteria criteria;
            QString conditions;
            for (int i = 0; i < 5; ++i)
                if (QString(p).contains(letters[i])) {
                    criteria[size_t(i)] = values[size_t(i)];
                    conditions += QString("AND (FICHE.%1 LIKE '%2')")
                                      .arg(columns[i], QString(values[size_t(i)]).replace("'", "''"));
                }
            QCOMPARE(stats::searchQuery(38353, 38717, criteria, false), head + conditions);
            QCOMPARE(stats::searchQuery(38353, 38717, criteria, true), head + conditions + pregnant);
        }
    }

    void loadHelpAndQuit()
    {
        Form8* f = open();
        QCOMPARE(w<QComboBox>(f, "CmbAna")->count(), 4);
        QCOMPARE(w<QComboBox>(f, "CmbAntago")->count(), 2);
        QCOMPARE(w<QComboBox>(f, "CmbStimuline")->count(), 4);
        QCOMPARE(w<QComboBox>(f, "CmbType")->count(), 6);
        QCOMPARE(w<QComboBox>(f, "CmbType")->itemText(0), QString("FIV"));
        QCOMPARE(w<QComboBox>(f, "CmbDeclencho")->itemText(2), QString("Ovitrelle d'emblée"));
        for (auto* combo : {w<QComboBox>(f, "CmbAna"), w<QComboBox>(f, "CmbAntago"), w<QComboBox>(f, "CmbStimuline"), w<QComboBox>(f, "CmbType"), w<QComboBox>(f, "CmbDeclencho")})
            QCOMPARE(combo->currentText(), QString()); // nothing chosen: no criterion
        w<QAction>(f, "Aide")->trigger();
        QCOMPARE(env->help.calls.size(), 1);
        QCOMPARE(env->help.calls[0].command, platform::HelpContext);
        QCOMPARE(env->help.calls[0].topic, 90);
        QTest::mouseClick(w<QPushButton>(f, "Command1"), Qt::LeftButton);
        QVERIFY(!forms().isLoaded<Form8>());
    }

    // Enter in a criterion box adds nothing to its list and keeps the text typed, which the search then uses.
    void enterInACriterionAddsNoItem()
    {
        Form8* f = open();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        auto* type = w<QComboBox>(f, "CmbType");
        for (const QString& typed : {QStringLiteral("fi"), QStringLiteral("Don d'ovocytes")}) {
            type->setFocus(Qt::TabFocusReason);
            type->clearEditText();
            QTest::keyClicks(type, typed);
            QTest::keyClick(type, Qt::Key_Return);
            QCOMPARE(type->count(), 6);
            QCOMPARE(type->currentText(), typed);
        }
        w<QLineEdit>(f, "TxtDate1")->setText("01/01/2000");
        w<QLineEdit>(f, "TxtDate2")->setText("31/12/2009");
        QTest::mouseClick(w<QPushButton>(f, "Command2"), Qt::LeftButton);
        QCOMPARE(cell(f, "Label1"), QString("1"));
    }

    void typedCriteriaNeverReachTheQueryText()
    {
        // Whatever is pasted into a criterion, no query text nor engine word reaches a message.
        Form8* f = open();
        for (const char* combo : {"CmbType", "CmbAntago", "CmbAna", "CmbStimuline", "CmbDeclencho"}) {
            w<QComboBox>(f, combo)->setEditText(QStringLiteral("a") + QChar(0) + QStringLiteral("'; DROP TABLE FICHE"));
            QTest::mouseClick(w<QPushButton>(f, "Command2"), Qt::LeftButton);
            w<QComboBox>(f, combo)->setEditText(QString());
        }
        for (const QString& t : env->messages.texts())
            QVERIFY2(!t.contains("SELECT") && !t.contains("Requête") && !t.contains("token"), qPrintable(t));
        QCOMPARE(RawDb(env->dbPath()).text("SELECT count(*) FROM FICHE"), QString::number(std::size(kFixture)));
    }

    void countsReadTheFileInPlace()
    {
        // Left open across a restore (a file renamed into place): the next count reads the restored file.
        Form8* f = open();
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        QVERIFY(cell(f, "Label30").toInt() > 0);
        const QString restored = env->path("restored.mdb");
        QVERIFY(data::createDatabase(restored).isEmpty());
        QCOMPARE(QProcess::execute("mv", {restored, env->dbPath()}), 0);
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        QCOMPARE(cell(f, "Label30"), QString("0"));
        QVERIFY(env->messages.boxes.isEmpty());
    }

    void failingQueryShowsAMessage()
    {
        Form8* f = open();
        QVERIFY(QFile::remove(env->dbPath()));
        QTest::mouseClick(w<QPushButton>(f, "CmdRechercher"), Qt::LeftButton);
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.boxes[0].text.startsWith("La lecture de la base de données a échoué"));
        QTest::mouseClick(w<QPushButton>(f, "Command2"), Qt::LeftButton);
        QCOMPARE(env->messages.boxes.size(), 2);
        QVERIFY(forms().isLoaded<Form8>());
    }
};

QTEST_MAIN(TestStats)
#include "tst_stats.moc"
