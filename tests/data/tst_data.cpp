// The database layer on a real file: the windows' SQL texts and criteria select what Jet would select.
#include "data/database.h"
#include "data/jetsql.h"
#include "data/schema.h"
#include "data/sqltext.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include <QFileInfo>
#include <QTest>
#include <limits>

using data::Database;
using data::DbError;
using data::Recordset;

class TestData : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::shared_ptr<Database> db;

    void addCouple(const QString& nom, const QString& prenom, const QString& nompart = QString())
    {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
        rs->AddNew();
        rs->setField(QStringLiteral("Nom"), nom);
        rs->setField(QStringLiteral("Prenom"), prenom);
        rs->setField(QStringLiteral("NOMPART"), nompart);
        rs->setField(QStringLiteral("PRENOMPART"), QString());
        rs->Update();
    }

    void addCycle(int numero, int numfich, double jcycle, const QString& type, const QString& grossesse = {},
                  const QString& dateponc = {})
    {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE "));
        rs->AddNew();
        rs->setField(QStringLiteral("numero"), numero);
        rs->setField(QStringLiteral("NUMFICH"), QString::number(numfich));
        rs->setField(QStringLiteral("JCYCLE"), jcycle);
        rs->setField(QStringLiteral("Type"), type);
        rs->setField(QStringLiteral("GROSSESSE"), grossesse);
        rs->setField(QStringLiteral("DATEPONC"), dateponc);
        rs->Update();
    }

    QStringList column(const QString& sql, const QString& col)
    {
        QStringList out;
        auto rs = db->OpenRecordset(sql);
        while (!rs->isEOF()) {
            out << rs->text(col);
            rs->MoveNext();
        }
        return out;
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnv>();
        db = Database::open(env->dbPath());
    }
    void cleanup()
    {
        db.reset();
        env.reset();
    }

    void openRefusesWrongFiles()
    {
        const QString missing = env->path("nowhere/INDUCTION.mdb");
        QVERIFY_THROWS_EXCEPTION(DbError, Database::open(missing));
        QVERIFY(!QFileInfo::exists(missing));
        const QString plain = env->path("INDUCTION.mdb");
        QFile f(plain);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a database at all, just text");
        f.close();
        QVERIFY_THROWS_EXCEPTION(DbError, Database::open(plain));
        QCOMPARE(data::createDatabase(env->dbPath()).isEmpty(), false); // never overwrites
    }

    void nameOrderAndSearchCriteria()
    {
        addCouple("ZOLA", "Anne", "BRUN");
        addCouple("dupont", "Marie", "ARNAUD");
        addCouple("DURAND", "Lise", "zidane");
        addCouple("Émile", "Rose", "CARON");
        addCouple("D'ARC", "Jeanne", "DAVID");
        addCouple("EVRARD", "Julie", "ÉLIE");
        QCOMPARE(column("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM", "Nom"),
                 QStringList({"D'ARC", "dupont", "DURAND", "Émile", "EVRARD", "ZOLA"}));
        QCOMPARE(column("SELECT*FROM CIVILITES ORDER BY NOMPART, PRENOMPART", "NOMPART"),
                 QStringList({"ARNAUD", "BRUN", "CARON", "DAVID", "ÉLIE", "zidane"}));

        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        rs->FindFirst("NOM>='DU'");
        QVERIFY(!rs->NoMatch());
        QCOMPARE(rs->text("Nom"), QString("dupont"));
        rs->FindFirst("NOM>='E'");
        QCOMPARE(rs->text("nom"), QString("Émile"));
        rs->FindFirst(QStringLiteral("NOM>='%1'").arg(data::sqlQuote("D'A")));
        QCOMPARE(rs->text("NOM"), QString("D'ARC"));
        // No match leaves the current row where it was.
        rs->FindFirst("NOM>='ZZZ'");
        QVERIFY(rs->NoMatch());
        QCOMPARE(rs->text("NOM"), QString("D'ARC"));
        rs->FindFirst("NOMPART>='Z'");
        QCOMPARE(rs->text("NOMPART"), QString("zidane"));
        rs->FindFirst("Numero =3");
        QCOMPARE(rs->text("Nom"), QString("DURAND"));
    }

    void nameOrderLeavesApostrophesAndHyphensOut()
    {
        // Typed in an order that differs from the expected one; ties in the first comparison are ordered by
        // the marks, the text without them first.
        // The look-alikes pasted from a letter (U+2019, U+2010) are marks like ' and -.
        for (const char* nom : {"MARTIN-LEFEBVRE", "DARMON", "D'ARC", "MARTINON", "DARC", "MARTINLEFEBVRE",
                                "MARTINEZ", "DA-RC", "MARTIN", "DAR", "D\u2019ARC", "DZIEDZIC", "MARTIN\u2010LEFEBVRE"})
            addCouple(QString::fromUtf8(nom), "");
        const QStringList order = {"DAR", "DARC", "DA-RC", "D'ARC", QString::fromUtf8("D\u2019ARC"), "DARMON",
                                   "DZIEDZIC", "MARTIN", "MARTINEZ", "MARTINLEFEBVRE", "MARTIN-LEFEBVRE",
                                   QString::fromUtf8("MARTIN\u2010LEFEBVRE"), "MARTINON"};
        QCOMPARE(column("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM", "Nom"), order);
        for (int i = 0; i < order.size(); ++i)
            for (int j = 0; j < order.size(); ++j)
                QCOMPARE(data::jetCompare(order[i], order[j]) < 0, i < j);

        // A search finds the name at or after the text read without its marks.
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        const struct {
            const char* typed;
            const char* found;
        } finds[] = {{"DARC", "DARC"}, {"DARCA", "DARMON"}, {"D''ARC", "D'ARC"}, {"MARTINL", "MARTINLEFEBVRE"},
                     {"MARTIN-L", "MARTINLEFEBVRE"}, {"MARTIN-LEFEBVRE", "MARTIN-LEFEBVRE"},
                     {"MARTINLEFEBVREZ", "MARTINON"}};
        for (const auto& f : finds) {
            rs->FindFirst(QStringLiteral("NOM>='%1'").arg(QLatin1String(f.typed)));
            QVERIFY(!rs->NoMatch());
            QCOMPARE(rs->text("Nom"), QString::fromUtf8(f.found));
        }
        // Texts that differ by a mark stay different for "=" and "<>".
        QCOMPARE(column("SELECT*FROM CIVILITES WHERE NOM='D''ARC'", "Nom"), QStringList{"D'ARC"});
        QCOMPARE(column("SELECT*FROM CIVILITES WHERE NOM='darc'", "Nom"), QStringList{"DARC"});
        QCOMPARE(column("SELECT*FROM CIVILITES WHERE NOM<>'MARTINLEFEBVRE'", "Nom").size(), order.size() - 1);
    }

    void addedRowIsLastAndCountersAreNotReused()
    {
        addCouple("A", "a");
        addCouple("B", "b");
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES");
        rs->AddNew();
        rs->setField("Nom", "C");
        rs->Update();
        rs->MoveLast();
        QCOMPARE(rs->text("Nom"), QString("C"));
        QCOMPARE(rs->text("numero"), QString("3"));
        QCOMPARE(rs->RecordCount(), 3);
        rs->Delete();
        addCouple("D", "d");
        auto again = db->OpenRecordset("SELECT*FROM CIVILITES WHERE NUMERO=4");
        QCOMPARE(again->text("Nom"), QString("D"));

        // FICHE's internal number is never given twice either.
        addCycle(1, 1, 38426, "FIV");
        addCycle(1, 2, 38427, "FIV");
        auto sheets = db->OpenRecordset("SELECT*FROM FICHE WHERE NUMERO=1 ORDER BY NUMFICH");
        sheets->MoveLast();
        QCOMPARE(sheets->text("NUMINTFICH"), QString("2"));
        sheets->Delete();
        addCycle(1, 2, 38428, "ICSI");
        sheets = db->OpenRecordset("SELECT*FROM FICHE WHERE NUMERO=1 ORDER BY NUMFICH");
        sheets->MoveLast();
        QCOMPARE(sheets->text("NUMINTFICH"), QString("3"));
    }

    void movesBeyondTheRowsRaise3021()
    {
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES");
        QVERIFY(rs->isEOF() && rs->isBOF());
        try {
            rs->MoveNext();
            QFAIL("no error");
        } catch (const DbError& e) {
            QCOMPARE(e.code(), 3021);
        }
        QVERIFY_THROWS_EXCEPTION(DbError, rs->MoveLast());
        QVERIFY_THROWS_EXCEPTION(DbError, rs->Fields("Nom"));
        addCouple("A", "a");
        addCouple("B", "b");
        rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        rs->MovePrevious();
        QVERIFY(rs->isBOF());
        QVERIFY_THROWS_EXCEPTION(DbError, rs->MovePrevious());
        rs->MoveLast();
        rs->MoveNext();
        QVERIFY(rs->isEOF());
        QVERIFY_THROWS_EXCEPTION(DbError, rs->MoveNext());
        // After a delete the next move goes to the row that followed.
        rs->MoveFirst();
        rs->Delete();
        rs->MoveNext();
        QCOMPARE(rs->text("Nom"), QString("B"));
    }

    void editCancelAndNullText()
    {
        addCouple("A", "a");
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES ");
        QCOMPARE(rs->text("SECU"), QString()); // Null reads as empty text
        QVERIFY(!rs->Fields("SECU").isValid());
        rs->Edit();
        rs->setField("secu", "123");
        rs->CancelUpdate();
        QCOMPARE(rs->text("SECU"), QString());
        rs->Edit();
        rs->setField("SECU", "2 75 03");
        rs->Update();
        QCOMPARE(db->OpenRecordset("SELECT*FROM CIVILITES")->text("SECU"), QString("2 75 03"));
        // A move drops the edit under way: nothing reaches the row moved to.
        addCouple("B", "b");
        auto list = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        list->Edit();
        list->setField("SECU", "PENDANT");
        list->MoveNext();
        QVERIFY(!list->editing());
        QVERIFY_THROWS_EXCEPTION(DbError, list->Update());
        QCOMPARE(column("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM", "SECU"), QStringList({"2 75 03", ""}));
        // A row deleted elsewhere: the update fails instead of storing nothing in silence.
        db->exec("DELETE FROM CIVILITES");
        try {
            rs->Edit();
            rs->setField("SECU", "9");
            rs->Update();
            QFAIL("no error");
        } catch (const DbError& e) {
            QCOMPARE(e.code(), int(DbError::RecordDeleted));
        }
        rs->CancelUpdate();
        QVERIFY_THROWS_EXCEPTION(DbError, rs->Fields("NOPE"));
    }

    void likeAndComparisonsOnCycles()
    {
        addCycle(1, 1, 38000, "fiv classique", "néant", "01/01/04");
        addCycle(1, 2, 38100, "ICSI 100", "Biologique");
        addCycle(2, 1, 38200, "ICSI 1%", "");
        addCycle(2, 2, 40178, "IAC", "GEU");
        addCycle(3, 1, 40179, "Stim. simple", "FC");
        QCOMPARE(column("SELECT*FROM FICHE WHERE TYPE LIKE 'FIV*'", "Type"), QStringList({"fiv classique"}));
        QCOMPARE(column("SELECT*FROM FICHE WHERE TYPE LIKE 'ICSI 1%'", "Type"), QStringList({"ICSI 1%"}));
        QCOMPARE(column("SELECT*FROM FICHE WHERE TYPE LIKE 'ICSI ###'", "Type"), QStringList({"ICSI 100"}));
        QCOMPARE(column("SELECT*FROM FICHE WHERE TYPE LIKE '[a-i]?C'", "Type"), QStringList({"IAC"}));
        QCOMPARE(column("SELECT*FROM FICHE WHERE TYPE LIKE '[!i]*'", "Type"),
                 QStringList({"fiv classique", "Stim. simple"}));
        QCOMPARE(column("SELECT*FROM FICHE WHERE GROSSESSE='Néant'", "Type"), QStringList({"fiv classique"}));
        QCOMPARE(column("SELECT*FROM FICHE WHERE GROSSESSE<>''", "NUMFICH").size(), 4);
        // A number running into a keyword, and bounds in either order.
        const auto a = column("SELECT*FROM FICHE WHERE JCYCLE BETWEEN 36526 And 40178AND (TYPE='IAC')", "Type");
        QCOMPARE(a, QStringList({"IAC"}));
        QCOMPARE(column("SELECT*FROM FICHE WHERE JCYCLE BETWEEN 40178 And 36526 ORDER BY JCYCLE", "Type"),
                 column("SELECT*FROM FICHE WHERE JCYCLE BETWEEN 36526 And 40178 ORDER BY JCYCLE", "Type"));
        QCOMPARE(column("SELECT FICHE.* From FICHE WHERE DATEPONC<>''", "Type"), QStringList({"fiv classique"}));
        QCOMPARE(column("SELECT* From FICHE WHERE NUMERO=2 ORDER BY NUMFICH", "Type"),
                 QStringList({"ICSI 1%", "IAC"}));

        // Read-only results: grouping through the statistics window's data control.
        data::DataControl dc;
        dc.DatabaseName = env->dbPath();
        dc.RecordSource = "SELECT NUMERO, COUNT(NUMERO) From FICHE WHERE JCYCLE BETWEEN 36526 And 40179 "
                          "GROUP BY NUMERO";
        dc.Refresh();
        auto rs = dc.recordset();
        QVERIFY(!rs->updatable());
        rs->MoveLast();
        QCOMPARE(rs->RecordCount(), 3);
        QCOMPARE(rs->text("NUMERO"), QString("3"));
    }

    void numberedSheetsOrderNumerically()
    {
        for (int k = 1; k <= 10; ++k)
            addCycle(12, k, 38426 + k, "FIV");
        auto rs = db->OpenRecordset("SELECT*FROM FICHE WHERE NUMERO=12 ORDER BY NUMFICH");
        rs->FindFirst("NUMERO=12");
        QVERIFY(!rs->NoMatch());
        rs->MoveLast();
        QCOMPARE(rs->Fields("NUMFICH").toInt() + 1, 11);
    }

    void optionsListsAndApostrophes()
    {
        QCOMPARE(column("SELECT*FROM OPTIONS WHERE NUMEROS = 21 ", "TEXTE").size(), 1);
        QCOMPARE(column("SELECT*FROM OPTIONS WHERE NUMEROS = 15 ", "TEXTE").size(), 1);
        QVERIFY(column("SELECT*FROM OPTIONS WHERE NUMEROS = 10 ", "TEXTE").contains("FIV"));
        auto rs = db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS =9");
        rs->FindFirst(QStringLiteral("TEXTE='%1'").arg(data::sqlQuote("Ovitrelle d'emblée")));
        QVERIFY(!rs->NoMatch());
        rs->Delete();
        QVERIFY(!column("SELECT*FROM OPTIONS WHERE NUMEROS = 9 ", "TEXTE").contains("Ovitrelle d'emblée"));
        // The follow-up lookup by internal sheet number.
        auto g = db->OpenRecordset("SELECT*FROM GROSSESSE WHERE NUMFICH=5");
        QVERIFY(g->isEOF());
        g->AddNew();
        g->setField("NUMFICH", 5.0);
        g->setField("Nom", "MARTIN");
        g->Update();
        QCOMPARE(db->OpenRecordset("SELECT*FROM GROSSESSE WHERE NUMFICH=5")->text("Nom"), QString("MARTIN"));
    }

    // A walk reads its rows a stretch at a time; a row this program changes meanwhile, by whatever way, is read
    // again rather than shown as it was.
    void walkShowsWritesMadeSinceItsRead_data()
    {
        QTest::addColumn<QString>("writer");
        for (const char* w : {"another recordset", "another database object", "statement"})
            QTest::newRow(w) << QString(w);
    }
    void walkShowsWritesMadeSinceItsRead()
    {
        QFETCH(QString, writer);
        for (const char* t : {"A", "B", "C"})
            db->exec(QStringLiteral("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES (33, '%1')").arg(t));
        auto rs = db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS = 33 ");
        QCOMPARE(rs->text("TEXTE"), QString("A"));
        auto other = Database::open(env->dbPath());
        if (writer == "another recordset") {
            auto w = db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS = 33 ");
            w->FindFirst("TEXTE='B'");
            w->Edit();
            w->setField("TEXTE", "B2");
            w->Update();
        } else if (writer == "another database object") {
            auto w = other->OpenRecordset("SELECT*FROM OPTIONS WHERE TEXTE='B'");
            w->Edit();
            w->setField("TEXTE", "B2");
            w->Update();
        } else {
            db->exec("UPDATE OPTIONS SET TEXTE='B2' WHERE TEXTE='B'");
        }
        rs->MoveNext();
        QCOMPARE(rs->text("TEXTE"), QString("B2"));
        rs->Edit(); // the write compares with the row as read now
        rs->setField("TEXTE", "B3");
        rs->Update();
        rs->MoveNext();
        QCOMPARE(rs->text("TEXTE"), QString("C"));
    }

    void writesReachOnlyTheRowRead_data()
    {
        QTest::addColumn<QString>("meanwhile"); // what another workstation did to the item read
        QTest::addColumn<QString>("write");
        QTest::addColumn<int>("refused");
        QTest::addColumn<QString>("listsAfter"); // items of lists 31 and 32 after the write, then a SameRow retry
        // Its rowid freed and given to an item of another list: that item is never touched.
        QTest::newRow("rowid given again, edit") << "reused" << "edit" << int(DbError::RecordDeleted)
                                                 << "A|AUTRE LISTE";
        QTest::newRow("rowid given again, delete") << "reused" << "delete" << int(DbError::RecordDeleted)
                                                   << "A|AUTRE LISTE";
        // An item is its list and its text: another text there is another item, never touched.
        QTest::newRow("changed, edit") << "changed" << "edit" << int(DbError::RecordDeleted) << "A|B2";
        QTest::newRow("changed, delete") << "changed" << "delete" << int(DbError::RecordDeleted) << "A|B2";
        QTest::newRow("accent changed, edit") << "accent" << "edit" << int(DbError::RecordDeleted) << "A|b";
        QTest::newRow("unchanged, edit") << "" << "edit" << 0 << "A|NOUVEAU";
    }
    void writesReachOnlyTheRowRead()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, write);
        QFETCH(int, refused);
        QFETCH(QString, listsAfter);
        db->exec("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES (31, 'A')");
        db->exec("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES (31, 'B')");
        auto rs = db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS=31");
        rs->MoveLast();
        QCOMPARE(rs->text("TEXTE"), QString("B"));
        auto other = Database::open(env->dbPath());
        if (meanwhile == "reused") {
            other->exec("DELETE FROM OPTIONS WHERE NUMEROS=31 AND TEXTE='B'");
            other->exec("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES (32, 'AUTRE LISTE')");
        } else if (meanwhile == "changed") {
            other->exec("UPDATE OPTIONS SET TEXTE='B2' WHERE TEXTE='B'");
        } else if (meanwhile == "accent") {
            other->exec("UPDATE OPTIONS SET TEXTE='b' WHERE TEXTE='B'");
        }
        auto attempt = [&](Recordset::WriteCheck check) {
            if (write == "edit") {
                if (!rs->editing())
                    rs->Edit();
                rs->setField("TEXTE", "NOUVEAU");
                rs->Update(check);
            } else {
                rs->Delete(check);
            }
        };
        try {
            attempt(Recordset::WriteCheck::Unchanged);
            QCOMPARE(0, refused);
        } catch (const DbError& e) {
            QCOMPARE(e.code(), refused);
            QVERIFY(!e.message().isEmpty());
            try {
                attempt(Recordset::WriteCheck::SameRow);
                QCOMPARE(int(DbError::RowChanged), refused);
            } catch (const DbError& again) {
                QCOMPARE(again.code(), int(DbError::RecordDeleted));
            }
        }
        QCOMPARE(column("SELECT*FROM OPTIONS WHERE NUMEROS BETWEEN 31 AND 32", "TEXTE").join('|'), listsAfter);
    }

    // Values another tool stored that are no UTF-8 text (bytes of another encoding, a blob): a row holding them
    // compares equal to itself, and what the windows write back as shown keeps them byte for byte.
    void storedBytesStayAsStored()
    {
        RawDb(env->dbPath()).exec("INSERT INTO CIVILITES (Nom, ADRESSE1, TEL2) VALUES ('OCTETS', "
                                  "CAST(x'4c61c3e9' AS TEXT), x'00ff10')");
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES WHERE NUMERO=1");
        QVERIFY(!rs->text("ADRESSE1").isEmpty());
        rs->Edit();
        for (const char* shown : {"Nom", "ADRESSE1", "TEL2"})
            rs->setField(shown, rs->text(shown));
        rs->setField("Ville", "PAU");
        try {
            rs->Update();
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
        RawDb raw(env->dbPath());
        QCOMPARE(raw.text("SELECT typeof(ADRESSE1) || hex(ADRESSE1) || typeof(TEL2) || hex(TEL2) || Ville "
                          "FROM CIVILITES"),
                 QString("text4C61C3E9blob00FF10PAU"));
        rs->Delete();
        QCOMPARE(raw.text("SELECT count(*) FROM CIVILITES"), QString("0"));
    }

    void searchesAndCountsAtTheEdges()
    {
        // A search that fails on an error has found nothing.
        addCouple("MARTIN", "Claire");
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        QVERIFY_THROWS_EXCEPTION(DbError, rs->FindFirst("NOSUCHCOLUMN=1"));
        QVERIFY(rs->NoMatch());
        // Couple numbers at both ends of the 64-bit range, grouped.
        for (qint64 n : {std::numeric_limits<qint64>::min() + 1, qint64(-1), qint64(7), std::numeric_limits<qint64>::max()})
            db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, JCYCLE) VALUES (%1, 38426)").arg(n));
        auto groups = db->OpenRecordset("SELECT NUMERO, COUNT(NUMERO) From FICHE WHERE JCYCLE BETWEEN 38000 And 39000 "
                                        "GROUP BY NUMERO");
        QCOMPARE(groups->RecordCount(), qint64(4));
        QCOMPARE(groups->columnValues("NUMERO").size(), 4);
        QCOMPARE(groups->columnValues("NUMERO").last().toLongLong(), std::numeric_limits<qint64>::max());
        // Typed texts with any character, joined into criteria.
        const QString typed = QStringLiteral("MAR") + QChar(0) + QStringLiteral("TIN'; DELETE FROM CIVILITES");
        rs->FindFirst(QStringLiteral("NOM>='%1'").arg(data::sqlQuote(typed)));
        QVERIFY(rs->NoMatch());
        QCOMPARE(column("SELECT*FROM CIVILITES", "Nom"), QStringList{"MARTIN"});
    }

    void transactionsRollBack()
    {
        addCouple("A", "a");
        db->BeginTrans();
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES WHERE NUMERO=1");
        rs->Delete();
        db->Rollback();
        QCOMPARE(column("SELECT*FROM CIVILITES", "Nom"), QStringList({"A"}));
    }

    void jetPatternsAndTranslation()
    {
        QVERIFY(data::jetLike("Dupont", "du*"));
        QVERIFY(data::jetLike("Éric", "e*"));
        QVERIFY(!data::jetLike("ICSI 100", "ICSI 1%"));
        QVERIFY(data::jetLike("a*b", "a[*]b"));
        QVERIFY(data::jetLike("abc", "*"));
        QVERIFY(!data::jetLike("abc", "ab"));
        QCOMPARE(data::jetToSqlite("JCYCLE BETWEEN 36526 And 40178AND (TYPE LIKE 'FIV*')"),
                 QString("JCYCLE BETWEEN 36526 AND 40178 AND (TYPE LIKE 'FIV*')"));
        QCOMPARE(data::jetToSqlite("X='12AND'"), QString("X='12AND'"));
        QCOMPARE(data::jetToSqlite("TEL1=\"a'b\""), QString("TEL1='a''b'"));
        QCOMPARE(data::sqlQuote("D'ARC"), QString("D''ARC"));
        // The SQL text reader stays inside its text, wherever it is asked to start.
        const QString quoted = QStringLiteral("'GROUP BY NUMERO");
        const QString after = QString::fromRawData(quoted.constData() + 1, quoted.size() - 1);
        QCOMPARE(data::sqltext::topLevel(after, QLatin1String("GROUP"), -1), 0);
        // A statement without a top-level FROM.
        QCOMPARE(db->OpenRecordset("SELECT 1 + 1 AS DEUX")->text("DEUX"), QString("2"));
    }
};

QTEST_MAIN(TestData)
#include "tst_data.moc"
