// The reference-list editor on a fresh database: choosing lists, adding, modifying and deleting items.
#include "admin/form9.h"
#include "admintest.h"
#include "app/form4.h"
#include "data/database.h"
#include "data/globals.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>

class TestForm9 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Form9* w = nullptr;

    QStringList rows(int list)
    {
        auto db = data::Database::open(env->dbPath());
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = %1 ").arg(list));
        QStringList out;
        for (; !rs->isEOF(); rs->MoveNext())
            out << rs->text("TEXTE");
        return out;
    }
    void exec(const QString& sql) { data::Database::open(env->dbPath())->exec(sql); }

    QListWidget* list1() { return control<QListWidget>(w, "List1"); }
    QLineEdit* text1() { return control<QLineEdit>(w, "Text1"); }
    QPushButton* button(const char* name) { return control<QPushButton>(w, name); }
    QStringList shown()
    {
        QStringList out;
        for (int i = 0; i < list1()->count(); ++i)
            out << list1()->item(i)->text();
        return out;
    }
    void open() { w = platform::forms().show<Form9>(); }
    void doubleClick(int row)
    {
        QListWidgetItem* item = list1()->item(row);
        QTest::mouseClick(list1()->viewport(), Qt::LeftButton, {}, list1()->visualItemRect(item).center());
        QTest::mouseDClick(list1()->viewport(), Qt::LeftButton, {}, list1()->visualItemRect(item).center());
    }
    void select(int row)
    {
        QTest::mouseClick(list1()->viewport(), Qt::LeftButton, {}, list1()->visualItemRect(list1()->item(row)).center());
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        data::CHEMIN_BASE = env->dbPath();
    }
    void cleanup()
    {
        platform::forms().unloadAll();
        platform::forms().flush();
        env.reset();
        data::CHEMIN_BASE.clear();
    }

    void loadState()
    {
        open();
        for (int rank = 1; rank <= 10; ++rank)
            QCOMPARE(w->listButton(20 + rank)->text(), rows(20 + rank).first());
        QCOMPARE(button("Command3")->text(), QStringLiteral("Antagoniste"));
        QCOMPARE(control<QGroupBox>(w, "Frame1")->title(), QString());
        QCOMPARE(control<QLabel>(w, "LblEspion")->text(), QStringLiteral("Espion"));
        QVERIFY(!control<QLabel>(w, "LblEspion")->isVisible());
        QCOMPARE(list1()->count(), 0);
        QVERIFY(button("CmdAjoute")->isEnabled() && button("CmdSupprime")->isEnabled());
        QCOMPARE(text1()->maxLength(), 255);
        QVERIFY(env->messages.boxes.isEmpty());
    }

    void emptyProtocolListLeavesCaptionEmpty()
    {
        exec("DELETE FROM OPTIONS WHERE NUMEROS = 25");
        open();
        QCOMPARE(button("Command5")->text(), QString());
        QCOMPARE(button("Command6")->text(), QStringLiteral("IAC"));
        QVERIFY(env->messages.boxes.isEmpty());
    }

    void mainWindowHiddenWhileOpen()
    {
        Form4* main = platform::forms().show<Form4>();
        openReferenceListsFromMain();
        w = platform::forms().find<Form9>();
        QVERIFY(w && w->isVisible());
        QVERIFY(!main->isVisible());
        button("CmdQuitter")->click();
        QVERIFY(!platform::forms().isLoaded<Form9>());
        QVERIFY(main->isVisible());

        openReferenceListsFromMain();
        QVERIFY(!main->isVisible());
        platform::forms().find<Form9>()->close(); // the close box
        QVERIFY(!platform::forms().isLoaded<Form9>());
        QVERIFY(main->isVisible());
        QCOMPARE(platform::forms().find<Form4>(), main); // shown again, not loaded anew
    }

    void everyListButtonChoosesItsList()
    {
        open();
        const auto& table = Form9::listButtons();
        QCOMPARE(int(table.size()), 31);
        QSet<int> lists;
        for (const auto& entry : table)
            lists.insert(entry.list);
        QCOMPARE(lists.size(), 31);
        QVERIFY(lists.contains(40) && !lists.contains(31) && !lists.contains(0));

        // Start from a protocol list so that the enabled state really changes back.
        button("Command1")->click();
        for (const auto& entry : table) {
            QPushButton* b = w->listButton(entry.list);
            QVERIFY(b);
            if (!entry.caption.isEmpty())
                QCOMPARE(b->text(), entry.caption);
            b->click();
            QCOMPARE(control<QGroupBox>(w, "Frame1")->title(), entry.title);
            QCOMPARE(control<QLabel>(w, "LblEspion")->text(), QString::number(entry.list));
            QCOMPARE(button("CmdAjoute")->isEnabled(), entry.list < 21 || entry.list > 30);
            QCOMPARE(button("CmdSupprime")->isEnabled(), entry.list < 21 || entry.list > 30);
            QCOMPARE(shown(), rows(entry.list));
        }
        QCOMPARE(button("CmdAna")->text(), QStringLiteral("A&nalogues"));
        QCOMPARE(control<QGroupBox>(w, "Frame1")->title(), QStringLiteral("Modifie le titre du bouton"));
    }

    void emptyListShowsEmptyBox()
    {
        exec("DELETE FROM OPTIONS WHERE NUMEROS = 2");
        open();
        button("CmdMedecins")->click();
        QVERIFY(list1()->count() > 0);
        button("CmdAnesthesi")->click();
        QCOMPARE(list1()->count(), 0);
    }

    void addRefusals()
    {
        open();
        button("CmdAjoute")->click();
        QCOMPARE(env->messages.texts(), QStringList{"Veuillez saisir un Item au préalable"});
        button("CmdModif")->click();
        button("CmdSupprime")->click();
        QCOMPARE(env->messages.texts().mid(1),
                 QStringList({"Veuillez selectionner un Item par Double Click",
                              "Veuillez selectionner un Item au préalable par Double Click."}));

        // Text typed before any list is chosen: nothing is added, nothing is said.
        env->messages.clear();
        exec("DELETE FROM OPTIONS WHERE NUMEROS = 0");
        QTest::keyClicks(text1(), "Orphelin");
        button("CmdAjoute")->click();
        button("CmdModif")->click();
        button("CmdSupprime")->click();
        QVERIFY(env->messages.boxes.isEmpty());
        auto db = data::Database::open(env->dbPath());
        QCOMPARE(db->OpenRecordset("SELECT*FROM OPTIONS WHERE TEXTE='Orphelin'")->RecordCount(), 0);
        QCOMPARE(text1()->text(), QStringLiteral("Orphelin"));
    }

    void apostropheItemAddedModifiedDeleted()
    {
        open();
        button("CmdDeclencho")->click();
        const QStringList before = rows(9);
        text1()->setText("Décapeptyl d'emblée");
        button("CmdAjoute")->click();
        QCOMPARE(rows(9), before + QStringList{"Décapeptyl d'emblée"});
        QCOMPARE(shown(), rows(9));
        QCOMPARE(text1()->text(), QString());
        QVERIFY(text1()->hasFocus() || !QApplication::focusWindow());

        doubleClick(before.size());
        QCOMPARE(text1()->text(), QStringLiteral("Décapeptyl d'emblée"));
        text1()->setText("L'Ovitrelle d'emblée");
        button("CmdModif")->click();
        QCOMPARE(rows(9), before + QStringList{"L'Ovitrelle d'emblée"});
        QCOMPARE(shown(), rows(9));
        QCOMPARE(text1()->text(), QString());
        QVERIFY(list1()->selectedItems().isEmpty());

        doubleClick(before.size());
        button("CmdSupprime")->click();
        QCOMPARE(rows(9), before);
        QVERIFY(env->messages.boxes.isEmpty());

        // The shipped "Ovitrelle d'emblée" can be changed too.
        const int shipped = before.indexOf("Ovitrelle d'emblée");
        QVERIFY(shipped >= 0);
        doubleClick(shipped);
        text1()->setText("Ovitrelle d'emblée 250");
        button("CmdModif")->click();
        QVERIFY(rows(9).contains("Ovitrelle d'emblée 250"));
    }

    void duplicatesActOnFirst()
    {
        open();
        button("CmdTransfert")->click();
        for (int i = 0; i < 2; ++i) {
            QTest::keyClicks(text1(), "Double");
            button("CmdAjoute")->click();
        }
        QCOMPARE(rows(6).count("Double"), 2);
        const int first = rows(6).indexOf("Double");
        doubleClick(first + 1);
        text1()->setText("Premier");
        button("CmdModif")->click();
        QCOMPARE(rows(6).indexOf("Premier"), first);
        QCOMPARE(rows(6).count("Double"), 1);
    }

    // Items equal only under the database's comparison (case, accents): the one selected is the one changed.
    void alikeItemsActOnTheSelectedOne_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("command");
        QTest::newRow("case, modify") << "Menopur" << "MENOPUR" << "CmdModif";
        QTest::newRow("case, delete") << "Menopur" << "MENOPUR" << "CmdSupprime";
        QTest::newRow("accent, modify") << "Ménopur" << "Menopur" << "CmdModif";
        QTest::newRow("accent, delete") << "Ménopur" << "Menopur" << "CmdSupprime";
    }
    void alikeItemsActOnTheSelectedOne()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, command);
        open();
        button("CmdTransfert")->click();
        for (const QString& item : {first, second}) {
            text1()->setText(item);
            button("CmdAjoute")->click();
        }
        doubleClick(rows(6).indexOf(second));
        text1()->setText("Changé");
        button(qPrintable(command))->click();
        QVERIFY(rows(6).contains(first));
        QVERIFY(!rows(6).contains(second));
        QCOMPARE(rows(6).contains("Changé"), command == "CmdModif");
    }

    void deleteFollowsSelectionNotEditBox()
    {
        open();
        button("CmdFSH")->click();
        const QStringList before = rows(5); // Gonal-f, Puregon, Menopur, Fostimon
        doubleClick(0);
        select(2);
        button("CmdSupprime")->click();
        QStringList expected = before;
        expected.removeAt(2);
        QCOMPARE(rows(5), expected);
        QCOMPARE(shown(), expected);

        // Nothing selected: nothing changes and the typed text stays.
        text1()->setText("Puregon");
        button("CmdSupprime")->click();
        button("CmdModif")->click();
        QCOMPARE(rows(5), expected);
        QCOMPARE(text1()->text(), QStringLiteral("Puregon"));
    }

    // The item shown was changed or deleted on another workstation, its row perhaps given to an item of another
    // list: nothing is stored, the user is told and sees the list as it now is.
    void itemChangedElsewhereIsNotTouched_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("command");
        const QString changed = "UPDATE OPTIONS SET TEXTE='Puregon 50' WHERE NUMEROS=5 AND TEXTE='Puregon'";
        const QString accent = "UPDATE OPTIONS SET TEXTE='PUREGON' WHERE NUMEROS=5 AND TEXTE='Puregon'";
        const QString deleted = "DELETE FROM OPTIONS WHERE NUMEROS=5 AND TEXTE='Puregon'";
        const QString reused = "CREATE TEMP TABLE r AS SELECT rowid AS id FROM OPTIONS WHERE NUMEROS=5 AND "
                               "TEXTE='Puregon'; DELETE FROM OPTIONS WHERE rowid=(SELECT id FROM r); INSERT INTO "
                               "OPTIONS (rowid, NUMEROS, TEXTE) VALUES ((SELECT id FROM r), 6, 'Puregon')";
        QTest::newRow("changed, modify") << changed << "CmdModif";
        QTest::newRow("changed, delete") << changed << "CmdSupprime";
        QTest::newRow("case changed, modify") << accent << "CmdModif";
        QTest::newRow("case changed, delete") << accent << "CmdSupprime";
        QTest::newRow("deleted, modify") << deleted << "CmdModif";
        QTest::newRow("deleted, delete") << deleted << "CmdSupprime";
        QTest::newRow("row given to another list, modify") << reused << "CmdModif";
        QTest::newRow("row given to another list, delete") << reused << "CmdSupprime";
    }
    void itemChangedElsewhereIsNotTouched()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, command);
        open();
        button("CmdFSH")->click();
        doubleClick(shown().indexOf("Puregon"));
        text1()->setText("Changé");
        QVERIFY(RawDb(env->dbPath()).exec(meanwhile));
        const QStringList fsh = rows(5), transfer = rows(6);
        button(qPrintable(command))->click();
        QCOMPARE(env->messages.texts(), QStringList{"Cet élément a été modifié ou supprimé sur un autre poste : rien "
                                                    "n'a été enregistré. La liste a été relue."});
        QCOMPARE(rows(5), fsh);
        QCOMPARE(rows(6), transfer);
        QCOMPARE(shown(), fsh);
        QCOMPARE(text1()->text(), QStringLiteral("Changé"));
    }

    void protocolCaptionModifiedAtOnce()
    {
        open();
        button("Command3")->click();
        QCOMPARE(shown(), QStringList{"Antagoniste"});
        doubleClick(0);
        text1()->setText("Antagoniste souple");
        button("CmdModif")->click();
        QCOMPARE(button("Command3")->text(), QStringLiteral("Antagoniste souple"));
        QCOMPARE(rows(23), QStringList{"Antagoniste souple"});
    }

    void tooLongTextCut()
    {
        open();
        button("CmdDiag")->click();
        QTest::keyClicks(text1(), QString(300, QLatin1Char('x')));
        QCOMPARE(text1()->text().size(), 255);
        button("CmdAjoute")->click();
        QVERIFY(rows(40).contains(QString(255, QLatin1Char('x'))));
    }

    void helpAndUnopenableDatabase()
    {
        open();
        w->Aide->trigger();
        QCOMPARE(env->help.calls.size(), 1);
        QCOMPARE(env->help.calls[0].command, platform::HelpContext);
        QCOMPARE(env->help.calls[0].topic, 80);

        data::CHEMIN_BASE = env->path("absent/INDUCTION.mdb");
        button("CmdAna")->click();
        QCOMPARE(list1()->count(), 0);
        QCOMPARE(env->messages.boxes.size(), 1);
        QTest::keyClicks(text1(), "X");
        button("CmdAjoute")->click();
        QCOMPARE(env->messages.boxes.size(), 2);
        QCOMPARE(text1()->text(), QStringLiteral("X")); // kept for another try

        platform::forms().unload(w);
        platform::forms().flush();
        open();
        QCOMPARE(env->messages.boxes.size(), 3);
        QCOMPARE(button("Command1")->text(), QString());
    }
};

QTEST_MAIN(TestForm9)
#include "tst_form9.moc"
