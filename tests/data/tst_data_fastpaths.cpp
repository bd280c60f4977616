// The quick paths of the database layer give what the plain ones give: text comparison and LIKE as Jet does
// them, the planner hints, the row fetch kept prepared, and a column read in one go.
#include "data/database.h"
#include "data/jetsql.h"
#include "support/testenv.h"

#include <QTest>
#include <algorithm>

using data::Database;
using data::DbError;

namespace {

// Texts chosen to meet on the quick path and leave it: case, accents, ligatures, prefixes, characters
// outside Latin-1, a combining accent, apostrophes and hyphens (left out of the first comparison).
const QStringList kTexts = {"", "a", "A", "ab", "Ab", "abc", "é", "E", "e", "Néant", "neant", "NEANT", "Neant ",
                            "néantise", "Œuf", "oeuf", "Æ", "ae", "straße", "Ω", "ω", "e\u0301", "Enfant vivant",
                            "enfant", "¼", "1", "Z", "[", "_", "~", "ÿ", "Y", "D'ARC", "darc", "DA-RC", "d'Arc-",
                            "'", "-", "a-", "-a", "'é", "Œuf-", "oe-uf", "e\u0301'"};

int sign(int v) { return (v > 0) - (v < 0); }

} // namespace

class TestDataFastPaths : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::shared_ptr<Database> db;

    void addOptions(int list, const QStringList& texts)
    {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS = 99 "));
        for (const QString& t : texts) {
            rs->AddNew();
            rs->setField(QStringLiteral("NUMEROS"), list);
            rs->setField(QStringLiteral("TEXTE"), t);
            rs->Update();
        }
    }

    int count(const QString& sql) { return db->OpenRecordset(sql)->RecordCount(); }

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

    void comparisonsAgreeWithTheFold()
    {
        addOptions(99, kTexts);
        for (const QString& a : kTexts) {
            int expected = 0;
            for (const QString& b : kTexts)
                expected += data::jetFold(a) == data::jetFold(b);
            QVERIFY2(count(QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS=99 AND TEXTE='%1'").arg(data::sqlQuote(a)))
                         == expected,
                     qPrintable(a));
            int below = 0;
            for (const QString& b : kTexts)
                below += sign(data::jetCompare(b, a)) < 0;
            QVERIFY2(count(QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS=99 AND TEXTE<'%1'").arg(data::sqlQuote(a)))
                         == below,
                     qPrintable(a));
        }
        // The sort agrees too, ties in table order.
        QStringList sorted = kTexts;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const QString& a, const QString& b) { return data::jetCompare(a, b) < 0; });
        QStringList listed;
        for (const QVariant& v : db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS=99 ORDER BY TEXTE")->columnValues("TEXTE"))
            listed << v.toString();
        QCOMPARE(listed, sorted);
    }

    void likeAgreesWithThePattern()
    {
        // OPTIONS.TEXTE leads no index: the pattern is matched row by row. FICHE.TYPE leads one: the pattern
        // becomes an equality or the list of the type values that match.
        addOptions(99, kTexts);
        for (const QString& t : kTexts)
            db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, TYPE) VALUES (1, '%1')").arg(data::sqlQuote(t)));
        db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, TYPE) VALUES (2, NULL)"));
        const QStringList patterns = {"*", "a*", "NÉANT", "n?ant*", "*vivant", "[a-c]*", "[!a-z]", "#", "œ*", "E",
                                      "straß*", "*'*", "D'A*", "DA*", "d*c", "-", "", "e\u0301", "ae*"};
        for (const QString& p : patterns) {
            int expected = 0;
            for (const QString& t : kTexts)
                expected += data::jetLike(t, p);
            const QString like = QStringLiteral(" LIKE '%1'").arg(data::sqlQuote(p));
            QVERIFY2(count(QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS=99 AND TEXTE") + like) == expected,
                     qPrintable(p));
            QVERIFY2(count(QStringLiteral("SELECT*FROM FICHE WHERE FICHE.TYPE") + like) == expected, qPrintable(p));
            QVERIFY2(count(QStringLiteral("SELECT NUMERO, COUNT(NUMERO) From FICHE WHERE (TYPE") + like
                           + QStringLiteral(") GROUP BY NUMERO"))
                         == (expected > 0),
                     qPrintable(p));
        }
        // NOT LIKE, and a LIKE inside a text, stay as they are.
        QCOMPARE(count("SELECT*FROM FICHE WHERE TYPE NOT LIKE 'a*'"), count("SELECT*FROM FICHE WHERE NOT (TYPE LIKE 'a*')"));
        QCOMPARE(count("SELECT*FROM FICHE WHERE TYPE = 'x LIKE ''a*'''"), 0);
        // More type values than a list holds: matched row by row, with the same result.
        for (int i = 0; i < 80; ++i)
            db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, TYPE) VALUES (3, 'T%1')").arg(i));
        QCOMPARE(count("SELECT*FROM FICHE WHERE TYPE LIKE 't*'"), 80);
        QCOMPARE(count("SELECT*FROM FICHE WHERE TYPE LIKE 't?'"), 10);
    }

    void pagesFollowTheOrderAcrossTheirEdges()
    {
        // Enough rows for several pages, with ties and Nulls in both order columns.
        const QVariantList noms = {QVariant(), "", "A", "a", "B", "D'ARC", "DARC", "é", "E", "Z"};
        const QVariantList prenoms = {QVariant(), "x", "X", "y"};
        struct Row {
            qint64 id;
            QVariant nom, prenom;
        };
        std::vector<Row> rows;
        db->BeginTrans();
        auto add = db->OpenRecordset("SELECT*FROM CIVILITES");
        for (int i = 0; i < 700; ++i) {
            const QVariant nom = noms[(i * 7) % noms.size()];
            const QVariant prenom = prenoms[(i / 3) % prenoms.size()];
            add->AddNew();
            add->setField("Nom", nom);
            add->setField("Prenom", prenom);
            add->Update();
            rows.push_back({i + 1, nom, prenom});
        }
        db->CommitTrans();
        // Null first, then texts in the JET order, ties in table order.
        auto compare = [](const QVariant& a, const QVariant& b) {
            if (a.isNull() || b.isNull())
                return int(b.isNull()) - int(a.isNull());
            return data::jetCompare(a.toString(), b.toString());
        };
        auto ids = [&](bool nameDescending) {
            std::vector<Row> sorted = rows;
            std::stable_sort(sorted.begin(), sorted.end(), [&](const Row& a, const Row& b) {
                const int n = compare(a.nom, b.nom) * (nameDescending ? -1 : 1);
                return n != 0 ? n < 0 : compare(a.prenom, b.prenom) < 0;
            });
            QList<qint64> out;
            for (const Row& r : sorted)
                out << r.id;
            return out;
        };
        auto walk = [](data::Recordset& rs, bool forward) {
            QList<qint64> out;
            for (; forward ? !rs.isEOF() : !rs.isBOF(); forward ? rs.MoveNext() : rs.MovePrevious())
                out << rs.Fields("numero").toLongLong();
            return out;
        };
        for (bool descending : {false, true}) {
            const QString sql = descending ? "SELECT*FROM CIVILITES ORDER BY NOM DESC, PRENOM"
                                           : "SELECT*FROM CIVILITES ORDER BY NOM, PRENOM";
            const QList<qint64> expected = ids(descending);
            auto rs = db->OpenRecordset(sql);
            QCOMPARE(rs->RecordCount(), 700);
            QCOMPARE(walk(*rs, true), expected);
            rs = db->OpenRecordset(sql);
            rs->MoveLast();
            QList<qint64> back = walk(*rs, false);
            std::reverse(back.begin(), back.end());
            QCOMPARE(back, expected);
            QList<qint64> values;
            for (const QVariant& v : db->OpenRecordset(sql)->columnValues("numero"))
                values << v.toLongLong();
            QCOMPARE(values, expected);
        }
        // From a found row, both ways across the edges of the pages read around it.
        const QList<qint64> expected = ids(false);
        auto rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        rs->FindFirst("NOM>='DARC'");
        const int at = int(expected.indexOf(rs->Fields("numero").toLongLong()));
        QCOMPARE(rs->text("Nom"), QString("DARC")); // the text with the mark comes after it
        QVERIFY(at > 0);
        for (int i = at - 1; i >= 0; --i) {
            rs->MovePrevious();
            QCOMPARE(rs->Fields("numero").toLongLong(), expected[i]);
        }
        rs->MovePrevious();
        QVERIFY(rs->isBOF());
        rs->FindFirst(QStringLiteral("Numero=%1").arg(expected[350]));
        for (int i = 351; i < 700; ++i) {
            rs->MoveNext();
            QCOMPARE(rs->Fields("numero").toLongLong(), expected[i]);
        }
        rs->MoveNext();
        QVERIFY(rs->isEOF());

        // A row already read that a change moves further on is met once, where it was read.
        rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        const qint64 moved = rs->Fields("numero").toLongLong();
        Database::open(env->dbPath())->exec(QStringLiteral("UPDATE CIVILITES SET Nom='ZZZ' WHERE numero=%1").arg(moved));
        QCOMPARE(walk(*rs, true), expected);
        QCOMPARE(rs->RecordCount(), 700);
        Database::open(env->dbPath())->exec(QStringLiteral("UPDATE CIVILITES SET Nom=NULL WHERE numero=%1").arg(moved));

        // Deleted through the set: the moves pass over them, the count follows.
        rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        QList<qint64> kept;
        for (int i = 0; !rs->isEOF(); ++i) {
            if (i % 7 == 3)
                rs->Delete();
            else
                kept << rs->Fields("numero").toLongLong();
            rs->MoveNext();
        }
        QCOMPARE(rs->RecordCount(), kept.size());
        rs->MoveFirst();
        QCOMPARE(walk(*rs, true), kept);
        // A row added through the set comes last whatever its name; one added elsewhere is not the set's.
        rs = db->OpenRecordset("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
        rs->FindFirst("NOM>='E'");
        rs->AddNew();
        rs->setField("Nom", "AAAA");
        rs->Update();
        auto other = Database::open(env->dbPath());
        other->exec("INSERT INTO CIVILITES (Nom) VALUES ('AAAB')");
        QCOMPARE(rs->text("Nom"), QString("é")); // the current row stays
        rs->MoveLast();
        QCOMPARE(rs->text("Nom"), QString("AAAA"));
        rs->MovePrevious();
        QCOMPARE(rs->Fields("numero").toLongLong(), kept.last());
        QCOMPARE(rs->RecordCount(), kept.size() + 1);
        rs->FindFirst("NOM='AAAB'");
        QVERIFY(rs->NoMatch());
        rs->FindFirst("NOM='AAAA'");
        QVERIFY(!rs->NoMatch());
        QCOMPARE(rs->text("Nom"), QString("AAAA"));
        rs->MovePrevious();
        QCOMPARE(rs->Fields("numero").toLongLong(), kept.last());
    }

    void plannerHintsKeepTheRows()
    {
        db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, JCYCLE, TYPE) VALUES (1, 36000, 'FIV'), (1, 38426, 'IAC'),"
                                " (2, 38426, 'FIV'), (3, 40178, 'FIV'), (4, NULL, 'FIV')"));
        QCOMPARE(count("SELECT NUMERO, COUNT(NUMERO) From FICHE WHERE JCYCLE BETWEEN 36526 And 40178 GROUP BY NUMERO"),
                 3);
        QCOMPARE(count("SELECT* From FICHE WHERE JCYCLE BETWEEN 40178 And 36526"), 3);     // reversed, wide
        QCOMPARE(count("SELECT* From FICHE WHERE JCYCLE BETWEEN 38426 And 38426"), 2);     // narrow
        QCOMPARE(count("SELECT* From FICHE WHERE JCYCLE NOT BETWEEN 36526 And 40178"), 1); // not a column
        QCOMPARE(count("SELECT* From FICHE WHERE (FICHE.JCYCLE BETWEEN 1 And 99999)AND (TYPE = 'fiv')"), 3);
        auto rs = db->OpenRecordset("SELECT NUMERO, COUNT(NUMERO) AS N From FICHE GROUP BY NUMERO");
        QCOMPARE(rs->columnValues("N"), (QVariantList{2, 1, 1, 1}));

        // Groups counted without the engine's sort are the engine's groups: a Null makes one, 2.0 joins 2,
        // and texts (grouped by their collation) are left to the engine.
        db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, JCYCLE) VALUES (NULL, 38000), (2.0, 38000), (900, 38000)"));
        const char* grouped = "SELECT NUMERO, COUNT(NUMERO) From FICHE WHERE JCYCLE BETWEEN 36526 And 40178 GROUP BY NUMERO";
        QCOMPARE(count(grouped), 5);
        QCOMPARE(db->OpenRecordset(grouped)->columnValues("NUMERO"), (QVariantList{QVariant(), 1, 2, 3, 900}));
        rs = db->OpenRecordset(grouped);
        QVariantList walked;
        for (; !rs->isEOF(); rs->MoveNext())
            walked << rs->Fields("NUMERO");
        QCOMPARE(walked, (QVariantList{QVariant(), 1, 2, 3, 900}));
        db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, JCYCLE) VALUES ('a', 38000), ('A', 38000)"));
        QCOMPARE(count(grouped), 7);
        QCOMPARE(db->OpenRecordset(grouped)->columnValues("NUMERO").size(), 7);

        // An order of other than plain columns: every rowid read at once, moves and searches alike.
        db->exec(QStringLiteral("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES (77, 'ccc'), (77, 'a'), (77, 'bb')"));
        rs = db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS=77 ORDER BY length(TEXTE) DESC");
        QCOMPARE(rs->columnValues("TEXTE"), (QVariantList{"ccc", "bb", "a"}));
        rs->FindFirst("TEXTE<'c'");
        QCOMPARE(rs->text("TEXTE"), QString("bb"));
        rs->MoveNext();
        QCOMPARE(rs->text("TEXTE"), QString("a"));
        QCOMPARE(rs->RecordCount(), 3);
    }

    void rowFetchSeesChangesAndFailures()
    {
        db->exec(QStringLiteral("INSERT INTO FICHE (NUMERO, NUMFICH, TYPE) VALUES (1, 1, 'FIV'), (1, 2, 'IAC'), "
                                "(1, 3, 'TEC')"));
        auto reader = db->OpenRecordset("SELECT*FROM FICHE WHERE NUMERO=1 ORDER BY NUMFICH");
        QCOMPARE(reader->text("TYPE"), QString("FIV"));
        auto writer = db->OpenRecordset("SELECT*FROM FICHE WHERE NUMFICH=1");
        writer->Edit();
        writer->setField("TYPE", "ICSI");
        writer->Update();
        reader->MoveNext();
        reader->MovePrevious();
        QCOMPARE(reader->text("TYPE"), QString("ICSI")); // the row is read again after a move

        // One column at once, in the set's order; a row deleted meanwhile reads Null.
        db->OpenRecordset("SELECT*FROM FICHE WHERE NUMFICH=2")->Delete();
        QCOMPARE(reader->columnValues("numfich"), (QVariantList{1, QVariant(), 3}));
        QCOMPARE(reader->columnValues("type").at(2), QVariant("TEC"));
        QCOMPARE(reader->position(), 0);
        reader->MoveNext();
        try {
            reader->text("TYPE");
            QFAIL("a deleted row was read");
        } catch (const DbError& e) {
            QCOMPARE(e.code(), DbError::RecordDeleted);
        }
        try {
            reader->columnValues("NOPE");
            QFAIL("an unknown column was read");
        } catch (const DbError& e) {
            QCOMPARE(e.code(), DbError::ItemNotFound);
        }
        QVERIFY(db->OpenRecordset("SELECT*FROM FICHE WHERE NUMERO=7")->columnValues("TYPE").isEmpty());

        // More rows than one read takes: still every row, in the set's order.
        db->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25000) "
                 "INSERT INTO OPTIONS (NUMEROS, TEXTE) SELECT 50, 'T' || i FROM n");
        const QVariantList many =
            db->OpenRecordset("SELECT*FROM OPTIONS WHERE NUMEROS=50 ORDER BY TEXTE DESC")->columnValues("TEXTE");
        QCOMPARE(many.size(), 25000);
        QCOMPARE(many.first(), QVariant("T9999"));
        QCOMPARE(many.last(), QVariant("T1"));

        // A small set read whole by its first column read: its current row is still the first, and what is
        // written through it is read again.
        auto small = db->OpenRecordset("SELECT*FROM FICHE WHERE NUMERO=1 ORDER BY NUMFICH");
        QCOMPARE(small->columnValues("type"), (QVariantList{"ICSI", "TEC"}));
        QCOMPARE(small->text("TYPE"), QString("ICSI"));
        small->Edit();
        small->setField("TYPE", "FIV");
        small->Update();
        QCOMPARE(small->columnValues("TYPE"), (QVariantList{"FIV", "TEC"}));
        small->Delete();
        QCOMPARE(small->columnValues("TYPE"), (QVariantList{"TEC"}));
        db->exec("UPDATE FICHE SET TYPE='ICSI' WHERE NUMFICH=1");
        db->exec("INSERT INTO FICHE (NUMERO, NUMFICH, TYPE) VALUES (1, 1, 'ICSI')");

        // The prepared fetch holds no lock between reads: another connection can write.
        auto other = Database::open(env->dbPath());
        other->exec("UPDATE FICHE SET TYPE='IAD' WHERE NUMFICH=3");
        reader->MoveLast();
        QCOMPARE(reader->text("TYPE"), QString("IAD"));
        db->Close();
        try {
            reader->MoveFirst();
            reader->text("TYPE");
            QFAIL("a closed database was read");
        } catch (const DbError& e) {
            QCOMPARE(e.code(), DbError::CannotOpen);
        }
    }
};

QTEST_MAIN(TestDataFastPaths)
#include "tst_data_fastpaths.moc"
