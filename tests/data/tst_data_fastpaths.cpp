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
        addOptions(99, kTexts);
        const QStringList patterns = {"*", "a*", "NÉANT", "n?ant*", "*vivant", "[a-c]*", "[!a-z]", "#", "œ*", "E",
                                      "straß*", "*'*"};
        for (const QString& p : patterns) {
            int expected = 0;
            for (const QString& t : kTexts)
                expected += data::jetLike(t, p);
            QVERIFY2(count(QStringLiteral("SELECT*FROM OPTIONS WHERE NUMEROS=99 AND TEXTE LIKE '%1'").arg(data::sqlQuote(p)))
                         == expected,
                     qPrintable(p));
        }
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
