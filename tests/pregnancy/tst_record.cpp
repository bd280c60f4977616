// The GROSSESSE row: the eight lists through the window's controls and back, with exact item counts, and
// rows the window did not write (short lists, Null columns, stray check items).
#include "data/database.h"
#include "platform/rowwrite.h"
#include "pregnancy/form30.h"
#include "pregnancy/record.h"
#include "pregnancy/followup.h"
#include "support/testenv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace pregnancy;

class TestRecord : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;

    std::shared_ptr<data::Recordset> newRow(double numfich)
    {
        auto rs = data::Database::open(env->dbPath())->OpenRecordset(QStringLiteral("SELECT*FROM GROSSESSE"));
        rs->AddNew();
        rs->setField(QStringLiteral("NUMFICH"), numfich);
        return rs;
    }

    std::shared_ptr<data::Recordset> row(double numfich)
    {
        auto rs = data::Database::open(env->dbPath())
                      ->OpenRecordset(QStringLiteral("SELECT*FROM GROSSESSE WHERE NUMFICH=%1").arg(numfich));
        if (rs->RecordCount() == 0)
            qFatal("no GROSSESSE row %g", numfich);
        rs->MoveFirst();
        return rs;
    }

    // Every list control of the window gets a value of its own: texts "<name>!", checks alternating.
    static void fillDistinct(Form30& w)
    {
        int n = 0;
        for (const ListColumn& list : listColumns())
            for (const QString& name : list.controls) {
                QWidget* c = control(&w, name);
                setItem(c, qobject_cast<QCheckBox*>(c) ? QString::number(n++ % 2) : name + QLatin1Char('!'));
            }
        followup::ctl<QLineEdit>(&w, "TxtNom")->setText(QStringLiteral("DURAND"));
        followup::ctl<QLineEdit>(&w, "TxtPrenom")->setText(QStringLiteral("Léa"));
    }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup() { env.reset(); }

    void tableMatchesWindow()
    {
        const QList<int> counts = {7, 4, 11, 18, 6, 2, 6, 43};
        const QStringList columns = {QStringLiteral("identite"), QStringLiteral("DIAGGROSS"),
                                     QStringLiteral("TERG1"),    QStringLiteral("TERG2M"),
                                     QStringLiteral("TERG2F"),   QStringLiteral("TERG2P"),
                                     QStringLiteral("HOSPIT"),   QStringLiteral("ACCOUCHE")};
        QCOMPARE(int(listColumns().size()), 8);
        Form30 w;
        QSet<QString> seen;
        for (size_t i = 0; i < listColumns().size(); ++i) {
            QCOMPARE(listColumns()[i].column, columns.at(int(i)));
            QCOMPARE(int(listColumns()[i].controls.size()), counts.at(int(i)));
            for (const QString& name : listColumns()[i].controls) {
                QCOMPARE(w.findChildren<QWidget*>(name).size(), 1);
                QVERIFY2(!seen.contains(name), qPrintable(name));
                seen.insert(name);
            }
        }
        // Spot checks of the item order.
        QCOMPARE(listColumns()[2].controls.at(5), QStringLiteral("Check25"));
        QCOMPARE(listColumns()[7].controls.at(11), QStringLiteral("TxtAcct_9"));
        QCOMPARE(listColumns()[7].controls.at(15), QStringLiteral("CmbAcct_0"));
        QCOMPARE(listColumns()[7].controls.last(), QStringLiteral("CmbAcct_27"));
    }

    void joinAndSplit()
    {
        // A line break pasted into an item never shifts the items after it.
        QCOMPARE((QStringList{listItem(QStringLiteral("a\r\nb")), listItem(QStringLiteral("c\nd")),
                              listItem(QStringLiteral("e\rf"))}),
                 (QStringList{QStringLiteral("a b"), QStringLiteral("c d"), QStringLiteral("e f")}));
        QCOMPARE(splitList(QStringLiteral("a b\r\nc d\r\ne f\r\n"), 4),
                 QStringList({QStringLiteral("a b"), QStringLiteral("c d"), QStringLiteral("e f"), QString()}));
        // Short, empty and over-long lists give exactly the items asked for.
        QCOMPARE(splitList(QStringLiteral("1\r\n2"), 4), QStringList({"1", "2", "", ""}));
        QCOMPARE(splitList(QString(), 2), QStringList({"", ""}));
        QCOMPARE(splitList(QStringLiteral("1\r\n2\r\n3"), 2), QStringList({"1", "2"}));
    }

    void roundTripThroughTheRow()
    {
        Form30 w;
        fillDistinct(w);
        followup::ctl<QComboBox>(&w, "CmbAcct_20")->setEditText(QStringLiteral("7")); // outside the designer list
        const QString comment = QStringLiteral("Commentaires : \nligne 2\nligne 3");
        followup::ctl<QPlainTextEdit>(&w, "TxtComment")->setPlainText(comment);
        auto rs = newRow(125);
        writeRecord(&w, *rs, platform::ShownRow());
        rs->Update();

        auto stored = row(125);
        const QList<int> counts = {7, 4, 11, 18, 6, 2, 6, 43};
        for (size_t i = 0; i < listColumns().size(); ++i)
            QCOMPARE(stored->text(listColumns()[i].column).count(kItemSeparator), counts.at(int(i)) - 1);
        QCOMPARE(stored->text(QStringLiteral("COMMENT")), QStringLiteral("Commentaires : \r\nligne 2\r\nligne 3"));
        QCOMPARE(stored->text(QStringLiteral("Nom")), QStringLiteral("DURAND"));

        Form30 back;
        platform::ShownRow shown;
        readRecord(&back, *stored, shown);
        for (const ListColumn& list : listColumns())
            for (const QString& name : list.controls)
                QCOMPARE(itemOf(control(&back, name)), itemOf(control(&w, name)));
        QCOMPARE(followup::ctl<QComboBox>(&back, "CmbAcct_20")->currentText(), QStringLiteral("7"));
        QCOMPARE(followup::ctl<QPlainTextEdit>(&back, "TxtComment")->toPlainText(), comment); // not split on reading
        QCOMPARE(followup::ctl<QLabel>(&back, "LblNomPren")->text(), QStringLiteral("DURAND Léa"));
    }

    void freshWindowStoresDesignerState()
    {
        Form30 w;
        auto rs = newRow(7);
        writeRecord(&w, *rs, platform::ShownRow());
        rs->Update();
        auto stored = row(7);
        QCOMPARE(stored->text(QStringLiteral("TERG2M")), QStringList(18, QStringLiteral("0")).join(QStringLiteral("\r\n")));
        QCOMPARE(stored->text(QStringLiteral("TERG2F")), QStringLiteral("0\r\n0\r\n0\r\n0\r\n0\r\n0"));
        QCOMPARE(splitList(stored->text(QStringLiteral("ACCOUCHE")), 43).at(11), QStringLiteral("10/10"));
        QCOMPARE(splitList(stored->text(QStringLiteral("TERG1")), 11).mid(0, 5), QStringList(5, QString()));
        QCOMPARE(stored->text(QStringLiteral("COMMENT")), QStringLiteral("Commentaires : \r\n"));
    }

    void rowWrittenElsewhereReadsWithoutError()
    {
        auto rs = newRow(9);
        rs->setField(QStringLiteral("Nom"), QStringLiteral("PETIT"));
        rs->setField(QStringLiteral("identite"), QStringLiteral("12\r\nC1")); // 2 of 7 items
        rs->setField(QStringLiteral("TERG1"), QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\noui\r\n 1"));
        rs->setField(QStringLiteral("TERG2M"), QStringLiteral("1\r\nX\r\n2\r\n-1")); // only four items
        rs->Update();                                           // every other column Null

        Form30 w;
        fillDistinct(w); // whatever a window held before is replaced
        platform::ShownRow shown;
        readRecord(&w, *row(9), shown);
        QCOMPARE(followup::ctl<QLineEdit>(&w, "TxtNumPat")->text(), QStringLiteral("12"));
        QCOMPARE(followup::ctl<QLineEdit>(&w, "TxtNumClin")->text(), QStringLiteral("C1"));
        QCOMPARE(followup::ctl<QLineEdit>(&w, "TxtNumBio")->text(), QString());
        QCOMPARE(followup::ctl<QLabel>(&w, "LblDateT")->text(), QString());
        QVERIFY(!followup::ctl<QCheckBox>(&w, "Check25")->isChecked()); // "oui" is no number
        QVERIFY(followup::ctl<QCheckBox>(&w, "Check26")->isChecked());
        QCOMPARE(followup::ctl<QLineEdit>(&w, "Text5")->text(), QString());
        QVERIFY(followup::ctl<QCheckBox>(&w, "ChkPathG_0")->isChecked());
        for (int i = 1; i < 18; ++i)
            QVERIFY(!control(&w, QStringLiteral("ChkPathG_%1").arg(i))->property("checked").toBool());
        QCOMPARE(followup::ctl<QLineEdit>(&w, "TxtAcct_9")->text(), QString());
        QCOMPARE(followup::ctl<QComboBox>(&w, "CmbAcct_27")->currentText(), QString());
        QCOMPARE(followup::ctl<QLineEdit>(&w, "TxtPrenom")->text(), QString());
        QCOMPARE(followup::ctl<QPlainTextEdit>(&w, "TxtComment")->toPlainText(), QString());
    }
};

QTEST_MAIN(TestRecord)
#include "tst_record.moc"
