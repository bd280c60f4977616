// The database file as the users meet it: each failure told in French with its cause, a read-only file said
// at opening, and the indexes of an existing centre's file made (or rebuilt in the collation's order) at
// its opening, never disagreeing with the comparisons that search them, while a window tells how far it has gone.
#include "data/database.h"
#include "data/jetsql.h"
#include "data/longwork.h"
#include "data/schema.h"
#include "platform/progresswindow.h"
#include "support/rawdb.h"
#include "support/testenv.h"
#include "support/workstation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSemaphore>
#include <QTest>

using data::Database;
using data::DbError;
using data::Recordset;

namespace {

// What the engine says in English must never reach a message.
const QStringList kEnglish = {"database", "readonly", "read-only", "locked", "malformed", "attempt", "file is",
                              "unable", "disk I/O"};

QStringList names(Database& db, const QString& sql)
{
    QStringList out;
    auto rs = db.OpenRecordset(sql);
    for (; !rs->isEOF(); rs->MoveNext())
        out << rs->text(QStringLiteral("Nom"));
    return out;
}

void addCouples(Database& db, const QStringList& noms)
{
    auto rs = db.OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
    db.BeginTrans();
    for (const QString& n : noms) {
        rs->AddNew();
        rs->setField(QStringLiteral("Nom"), n);
        rs->setField(QStringLiteral("Prenom"), QString());
        rs->Update();
    }
    db.CommitTrans();
}

const QStringList kNoms = {"MARTIN", "D'ARC", "DARMON", "DA", "MARTIN-LEFEBVRE", "MARTINEZ", "dupont", "Émile"};
// The JET order of kNoms.
const QStringList kOrdered = {"DA", "D'ARC", "DARMON", "dupont", "Émile", "MARTIN", "MARTINEZ", "MARTIN-LEFEBVRE"};

// The progress window of the program around the work, seen as the user sees it: each showing with its title and
// texts, each hiding; and what the work told, step by step.
class ObservedWork final : public QObject, public data::LongWork {
public:
    ObservedWork() { qApp->installEventFilter(this); }
    ~ObservedWork() override { data::setLongWork(nullptr); }

    void run(const QString& what, const std::function<void(data::Progress&)>& work) override
    {
        m_window.run(what, [&](data::Progress& progress) {
            // The work goes on once the window shows, however quick it would be.
            m_shown.tryAcquire(1, 10000);
            struct Recorder final : data::Progress {
                data::Progress& to;
                QStringList steps;
                QList<double> done;
                explicit Recorder(data::Progress& p) : to(p) {}
                void report(const QString& step, double d) override
                {
                    if (steps.isEmpty() || steps.last() != step)
                        steps << step;
                    done << d;
                    to.report(step, d);
                }
            } recorder(progress);
            work(recorder);
            steps = recorder.steps;
            done = recorder.done;
        });
    }

    QStringList shown; // per showing: the title, then the texts
    int hidden = 0;
    bool modal = false;
    QStringList steps;
    QList<double> done;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* w = qobject_cast<platform::ProgressWindow*>(o);
        if (w && e->type() == QEvent::Show) {
            QStringList texts{w->windowTitle()};
            for (auto* label : w->findChildren<QLabel*>())
                texts << label->text();
            shown << texts.join(QLatin1Char('|'));
            modal = w->windowModality() == Qt::ApplicationModal;
            m_shown.release();
        } else if (w && e->type() == QEvent::Hide) {
            ++hidden;
        }
        return false;
    }

private:
    platform::ProgressWindowWork m_window{0};
    QSemaphore m_shown;
};

} // namespace

class TestDataFiles : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { data::setLockWait(10000); }

    void failuresAreToldInFrench_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("words");
        QTest::newRow("missing file") << "missing" << DbError::FileNotFound << "est introuvable";
        QTest::newRow("folder") << "folder" << DbError::NotADatabase << "n'est pas une base de données";
        QTest::newRow("not a database") << "text" << DbError::NotADatabase << "n'est pas une base de données";
        QTest::newRow("damaged") << "damaged" << DbError::Damaged << "est endommagée";
        QTest::newRow("read-only file") << "read-only" << DbError::ReadOnly << "est en lecture seule";
        QTest::newRow("read-only folder") << "read-only folder" << DbError::ReadOnly << "est en lecture seule";
        QTest::newRow("deleted while open") << "deleted" << DbError::FileNotFound << "introuvable : il a été supprimé";
        QTest::newRow("locked by another workstation") << "locked" << DbError::Locked << "occupée par un autre poste";
    }
    void failuresAreToldInFrench()
    {
        QFETCH(QString, failure);
        QFETCH(int, code);
        QFETCH(QString, words);
        TestEnv env;
        QString path = env.dbPath();
        std::unique_ptr<RawDb> other;
        std::shared_ptr<Database> db;
        if (failure == QLatin1String("missing")) {
            path = env.path("nowhere/INDUCTION.mdb");
        } else if (failure == QLatin1String("folder")) {
            path = env.path("prog");
        } else if (failure == QLatin1String("text")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("Ceci n'est qu'un texte, sans rien d'une base de données.");
        } else if (failure == QLatin1String("damaged")) {
            {
                auto made = Database::open(path);
                QStringList many;
                for (int i = 0; i < 3000; ++i)
                    many << QStringLiteral("NOM%1").arg(i);
                addCouples(*made, many);
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 size = f.size();
            QVERIFY(size > 20 * 4096);
            f.seek(8 * 4096);
            f.write(QByteArray(int(size) - 12 * 4096, '\x5a'));
            // A new change counter, as after any write: no page read before is trusted any more.
            f.seek(24);
            f.write(QByteArray("\x7f\x7f\x7f\x7f", 4));
        }
        if (failure == QLatin1String("read-only"))
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if (failure == QLatin1String("read-only folder"))
            QVERIFY(QFile::setPermissions(env.path("data"), QFile::ReadOwner | QFile::ExeOwner));
        if (failure == QLatin1String("locked"))
            data::setLockWait(200);
        try {
            db = Database::open(path);
            if (failure == QLatin1String("deleted"))
                QVERIFY(QFile::remove(path));
            if (failure == QLatin1String("locked")) {
                other = std::make_unique<RawDb>(path);
                QVERIFY(other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
            }
            // Reading the couples, then storing one.
            names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
            addCouples(*db, {QStringLiteral("NOUVEAU")});
            QFAIL("no failure");
        } catch (const DbError& e) {
            QCOMPARE(e.code(), code);
            QVERIFY2(e.message().contains(words), qPrintable(e.message()));
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
            for (const QString& english : kEnglish)
                QVERIFY2(!e.message().contains(english, Qt::CaseInsensitive), qPrintable(e.message()));
        }
        QFile::setPermissions(env.path("data"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    void readOnlyFileIsSaidAtOpening()
    {
        TestEnv env;
        {
            auto db = Database::open(env.dbPath());
            QVERIFY(!db->readOnly());
            QVERIFY(db->readOnlyNotice().isEmpty());
            addCouples(*db, kNoms);
        }
        QVERIFY(QFile::setPermissions(env.dbPath(), QFile::ReadOwner | QFile::ReadGroup));
        auto db = Database::open(env.dbPath());
        QVERIFY(db->readOnly());
        QCOMPARE(db->readOnlyNotice(), QStringLiteral("La base de données %1 est en lecture seule : aucune modification "
                                                      "ne pourra être enregistrée.").arg(env.dbPath()));
        // Everything can still be read, in order.
        QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM")), kOrdered);
        QFile::setPermissions(env.dbPath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    void oldFileGetsItsIndexesAndKeepsItsOrder()
    {
        TestEnv env;
        addCouples(*Database::open(env.dbPath()), kNoms);
        RawDb(env.dbPath()).makeEarlierVersion();
        {
            RawDb raw(env.dbPath());
            QCOMPARE(raw.text("SELECT count(*) FROM sqlite_master WHERE type='index'"), QString("0"));
        }
        auto db = Database::open(env.dbPath());
        RawDb raw(env.dbPath());
        for (const QString& s : data::indexStatements()) {
            const QString name = s.section(QLatin1Char(' '), 2, 2);
            QCOMPARE(raw.text(QStringLiteral("SELECT name FROM sqlite_master WHERE name='%1'").arg(name)), name);
        }
        QCOMPARE(raw.text("PRAGMA user_version"), QString::number(data::kJetCollationVersion));
        QCOMPARE(raw.text("SELECT count(*) FROM CIVILITES"), QString::number(kNoms.size()));
        QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM")), kOrdered);
        QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES")), kNoms); // table order stays
        QCOMPARE(raw.text("PRAGMA integrity_check"), QString("ok"));
    }

    void indexesOfAnotherOrderAreRebuiltBeforeUse()
    {
        TestEnv env;
        addCouples(*Database::open(env.dbPath()), kNoms);
        RawDb(env.dbPath()).makeEarlierVersion();
        {
            // An index built by a version whose order put the apostrophe before the letters.
            RawDb old(env.dbPath(), 0);
            QVERIFY(old.exec(QStringLiteral("CREATE INDEX CIVILITES_NOM ON CIVILITES (Nom, Prenom)")));
            QCOMPARE(old.text("SELECT Nom FROM CIVILITES INDEXED BY CIVILITES_NOM WHERE Nom >= '' ORDER BY Nom")
                         .section('|', 0, 0),
                     QString("D'ARC"));
        }
        // Read-only, nothing can be rebuilt: the file's own order is kept, and its index still agrees.
        QVERIFY(QFile::setPermissions(env.dbPath(), QFile::ReadOwner | QFile::ReadGroup));
        {
            auto db = Database::open(env.dbPath());
            QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM")).first(), QString("D'ARC"));
            auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
            rs->FindFirst(QStringLiteral("NOM>='DAR'"));
            QCOMPARE(rs->text("Nom"), QString("DARMON"));
        }
        QVERIFY(QFile::setPermissions(env.dbPath(), QFile::ReadOwner | QFile::WriteOwner));
        auto db = Database::open(env.dbPath());
        RawDb raw(env.dbPath());
        QCOMPARE(raw.text("PRAGMA integrity_check"), QString("ok"));
        QCOMPARE(raw.text("PRAGMA user_version"), QString::number(data::kJetCollationVersion));
        QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM")), kOrdered);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        rs->FindFirst(QStringLiteral("NOM>='DARC'"));
        QCOMPARE(rs->text("Nom"), QString("D'ARC"));
        // The next opening has nothing left to do: the file's change counter stays.
        auto counter = [&] {
            QFile f(env.dbPath());
            f.open(QIODevice::ReadOnly);
            return f.read(28).mid(24);
        };
        const QByteArray before = counter();
        Database::open(env.dbPath());
        QCOMPARE(counter(), before);
    }

    void buildingIndexesShowsItsProgress_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("opens");
        const QString c = QStringLiteral("Création de l'index %1 sur %2 (%3)");
        const QString save = QStringLiteral("Enregistrement des index dans la base de données");
        // Each index of the file with its table, in building order; those in the JET order are re-sorted.
        const QStringList built = {"dossiers des couples", "dossiers des couples", "fiches de stimulation",
                                   "fiches de stimulation", "fiches de stimulation", "fiches de stimulation",
                                   "examens", "suivis de grossesse", "listes de référence"};
        const QStringList sorted = {"dossiers des couples", "dossiers des couples", "fiches de stimulation",
                                    "fiches de stimulation", "fiches de stimulation"};
        auto stepsOf = [&](const QString& text, const QStringList& tables) {
            QStringList out;
            for (int i = 0; i < tables.size(); ++i)
                out << text.arg(i + 1).arg(tables.size()).arg(tables[i]);
            return out << save;
        };
        QTest::newRow("earlier version, no index") << "earlier" << stepsOf(c, built) << true;
        QTest::newRow("indexes of order 1")
            << "order 1" << stepsOf(QStringLiteral("Reclassement de l'index %1 sur %2 (%3)"), sorted) << true;
        QTest::newRow("one index missing") << "missing" << QStringList{c.arg(1).arg(1).arg("examens"), save} << true;
        QTest::newRow("nothing to build") << "current" << QStringList{} << true;
        // An index that cannot be made: everything is rolled back. Indexes of another order must not be used,
        // missing ones only slow the work down.
        QTest::newRow("failure, earlier version") << "earlier, failing" << QStringList{} << false;
        QTest::newRow("failure, index missing") << "missing, failing" << QStringList{} << true;
    }
    void buildingIndexesShowsItsProgress()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, steps);
        QFETCH(bool, opens);
        TestEnv env;
        addCouples(*Database::open(env.dbPath()), kNoms);
        {
            RawDb raw(env.dbPath());
            if (file.startsWith(QLatin1String("earlier")))
                raw.makeEarlierVersion();
            if (file == QLatin1String("order 1"))
                QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version=1")));
            if (file.startsWith(QLatin1String("missing")))
                QVERIFY(raw.exec(QStringLiteral("DROP INDEX EXAMENS_NUMERO")));
            if (file.endsWith(QLatin1String("failing")))
                QVERIFY(raw.exec(QStringLiteral("CREATE TABLE EXAMENS_NUMERO (x)")));
        }
        const QString before = RawDb(env.dbPath()).text("SELECT group_concat(name) FROM sqlite_master "
                                                        "WHERE type = 'index'");
        ObservedWork observed;
        data::setLongWork(&observed);
        std::shared_ptr<Database> db;
        try {
            db = Database::open(env.dbPath());
        } catch (const DbError& e) {
            QVERIFY2(!opens, qPrintable(e.message()));
        }
        QCOMPARE(bool(db), opens);
        if (file == QLatin1String("current")) {
            QVERIFY(observed.shown.isEmpty());
            QVERIFY(db->indexed());
            return;
        }
        QCOMPARE(observed.shown.size(), 1);
        QCOMPARE(observed.shown[0],
                 QStringLiteral("FOLIVEX|Préparation de la base de données %1 pour cette version du programme : ses "
                                "index de recherche sont construits, une fois pour toutes. Veuillez patienter.|")
                     .arg(env.dbPath()));
        QVERIFY(observed.modal);
        QCOMPARE(observed.hidden, 1);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<platform::ProgressWindow*>(w));
        RawDb raw(env.dbPath());
        if (file.endsWith(QLatin1String("failing"))) {
            QCOMPARE(raw.text("SELECT group_concat(name) FROM sqlite_master WHERE type = 'index'"), before);
            QCOMPARE(raw.text("PRAGMA user_version"),
                     QString::number(file.startsWith("earlier") ? 0 : data::kJetCollationVersion));
            if (db)
                QVERIFY(!db->indexed());
            return;
        }
        QCOMPARE(observed.steps, steps);
        QVERIFY(std::is_sorted(observed.done.begin(), observed.done.end()));
        QCOMPARE(observed.done.last(), 1.0);
        QVERIFY(db->indexed());
        QCOMPARE(raw.text("PRAGMA user_version"), QString::number(data::kJetCollationVersion));
        QCOMPARE(raw.text("PRAGMA integrity_check"), QString("ok"));
        // The database's own connection searches through the indexes built on the other one.
        QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM")), kOrdered);
        QVERIFY(db->OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS WHERE NUMERO=1"))->isEOF());
    }

    // A workstation opens a file of an earlier version while another builds its indexes, however long that takes
    // (longer than any wait for a lock): it says so and opens the file once the other is done, with nothing left
    // to build. The other holds the file whole, or only keeps it from being written.
    void openingWhileAnotherWorkstationBuildsIndexes_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::newRow("file held whole") << "EXCLUSIVE";
        QTest::newRow("file readable meanwhile") << "IMMEDIATE";
    }
    void openingWhileAnotherWorkstationBuildsIndexes()
    {
        QFETCH(QString, lock);
        TestEnv env;
        addCouples(*Database::open(env.dbPath()), kNoms);
        RawDb(env.dbPath()).makeEarlierVersion();
        data::setLockWait(300);
        ObservedWork observed;
        data::setLongWork(&observed);
        QStringList build = {env.dbPath(), "1500", lock};
        build << data::indexStatements() << QStringLiteral("PRAGMA user_version=%1").arg(data::kJetCollationVersion);
        const auto other = workstation::startHolding(build);
        QElapsedTimer waited;
        waited.start();
        std::shared_ptr<Database> db;
        try {
            db = Database::open(env.dbPath());
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QVERIFY(waited.elapsed() > 1000);
        QVERIFY(other->state() == QProcess::NotRunning || other->waitForFinished(10000));
        QCOMPARE(other->exitCode(), 0);
        QCOMPARE(observed.shown.size(), 1);
        QVERIFY2((observed.shown[0] + observed.steps.join('|'))
                     .contains(QStringLiteral("Un autre poste prépare la base de données %1").arg(env.dbPath())),
                 qPrintable(observed.shown[0] + " / " + observed.steps.join('|')));
        QVERIFY(db->indexed());
        QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM")), kOrdered);
        RawDb raw(env.dbPath());
        QCOMPARE(raw.text("PRAGMA integrity_check"), QString("ok"));
        QCOMPARE(raw.text("PRAGMA user_version"), QString::number(data::kJetCollationVersion));
    }

    // A file put in place that cannot be opened yet (damaged, or held by another workstation past the wait): the
    // statements say why, and the next one after it is mended opens it.
    void aReopenThatFailedIsTriedAgain_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("code");
        QTest::newRow("a damaged file put in place") << "damaged" << int(DbError::NotADatabase);
        QTest::newRow("a file put in place held past the wait") << "locked" << int(DbError::Locked);
    }
    void aReopenThatFailedIsTriedAgain()
    {
        QFETCH(QString, failure);
        QFETCH(int, code);
        TestEnv env;
        const QString good = env.path("good.mdb");
        QVERIFY(QFile::copy(env.dbPath(), good));
        addCouples(*Database::open(good), {QStringLiteral("APRES")});
        addCouples(*Database::open(env.dbPath()), {QStringLiteral("AVANT")});
        auto db = Database::open(env.dbPath());
        QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES")), QStringList{"AVANT"});
        data::setLockWait(200);
        std::unique_ptr<QProcess> other;
        if (failure == "damaged") {
            const QString bad = env.path("bad.mdb");
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
            f.close();
            QCOMPARE(QProcess::execute("mv", {bad, env.dbPath()}), 0);
        } else {
            other = workstation::startHolding({good, "800", "EXCLUSIVE"});
            QCOMPARE(QProcess::execute("mv", {good, env.dbPath()}), 0);
        }
        for (int i = 0; i < 2; ++i) {
            try {
                names(*db, QStringLiteral("SELECT*FROM CIVILITES"));
                QFAIL("no failure");
            } catch (const DbError& e) {
                QCOMPARE(e.code(), code);
            }
        }
        if (other)
            QVERIFY(other->state() == QProcess::NotRunning || other->waitForFinished(10000));
        else
            QCOMPARE(QProcess::execute("mv", {good, env.dbPath()}), 0);
        try {
            QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES")), QStringList{"APRES"});
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
    }

    void aFileReplacedIsOpenedAnew()
    {
        // Each opening reads the file in place: a restored copy, a file that went away and came back.
        TestEnv env;
        addCouples(*Database::open(env.dbPath()), {QStringLiteral("AVANT")});
        QCOMPARE(names(*Database::open(env.dbPath()), QStringLiteral("SELECT*FROM CIVILITES")), QStringList{"AVANT"});
        const QString other = env.path("other.mdb");
        QVERIFY(data::createDatabase(other).isEmpty());
        addCouples(*Database::open(other), {QStringLiteral("APRES")});
        QVERIFY(QFile::remove(env.dbPath()));
        QVERIFY(QFile::rename(other, env.dbPath()));
        QCOMPARE(names(*Database::open(env.dbPath()), QStringLiteral("SELECT*FROM CIVILITES")), QStringList{"APRES"});
        // Read-only now: not the connection that could write.
        QVERIFY(QFile::setPermissions(env.dbPath(), QFile::ReadOwner));
        auto db = Database::open(env.dbPath());
        QVERIFY(db->readOnly());
        QVERIFY_THROWS_EXCEPTION(DbError, addCouples(*db, {QStringLiteral("REFUSE")}));
        QFile::setPermissions(env.dbPath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // Another file put in place of the one in use, by any way, with any history; or another workstation's write
    // that failed and was rolled back. Couple 1 is ALPHA in the file read and BRAVO in the one put in place; couple 2
    // is CHARLIE in both.
    void filesPutInPlaceUnderAnOpenDatabase_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("renamed into place") << "renamed";
        QTest::newRow("an earlier copy put back") << "earlier";
        QTest::newRow("a copy with a later change counter") << "later";
        QTest::newRow("a copy with the same counter, size and times") << "same counter";
        QTest::newRow("a write rolled back on another workstation") << "rolled back";
    }
    void filesPutInPlaceUnderAnOpenDatabase()
    {
        QFETCH(QString, how);
        TestEnv env;
        const QString theirs = env.path("theirs.mdb");
        addCouples(*Database::open(env.dbPath()), {QStringLiteral("BRAVO"), QStringLiteral("CHARLIE")});
        QVERIFY(QFile::copy(env.dbPath(), theirs));
        auto db = Database::open(env.dbPath());
        db->exec(QStringLiteral("UPDATE CIVILITES SET Nom='ALPHA' WHERE numero=1"));
        {
            RawDb raw(theirs); // as many writes as the file in use had, or more
            for (int i = 0; i < (how == "later" ? 2 : how == "earlier" ? 0 : 1); ++i)
                QVERIFY(raw.exec(QStringLiteral("UPDATE CIVILITES SET Nom='BRAVO' WHERE numero=1")));
        }
        auto alpha = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=1"));
        auto charlie = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=2"));
        auto list = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
        QCOMPARE(alpha->text(QStringLiteral("Nom")), QString("ALPHA"));
        QCOMPARE(charlie->text(QStringLiteral("Nom")), QString("CHARLIE"));
        QCOMPARE(list->text(QStringLiteral("Nom")), QString("ALPHA"));
        const quint64 generation = db->generation();
        if (how == "renamed") {
            QCOMPARE(QProcess::execute("mv", {theirs, env.dbPath()}), 0);
        } else if (how == "rolled back") {
            QVERIFY(workstation::act({"rollback", env.dbPath(), workstation::kLargeWrite}));
        } else {
            const QString times = env.path("times");
            QCOMPARE(QProcess::execute("touch", {"-r", env.dbPath(), times}), 0);
            QCOMPARE(QProcess::execute("cp", {theirs, env.dbPath()}), 0);
            if (how == "same counter")
                QCOMPARE(QProcess::execute("touch", {"-r", times, env.dbPath()}), 0);
        }
        try {
            const bool replaced = how != "rolled back";
            const QString one = replaced ? QStringLiteral("BRAVO") : QStringLiteral("ALPHA");

            // What is read is the file in place, whole: no page kept from the earlier one.
            QCOMPARE(names(*db, QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM")), QStringList({one, "CHARLIE"}));
            // A write reaches only the couple it read: never BRAVO for ALPHA, even when the caller insists.
            for (auto check : {Recordset::WriteCheck::Unchanged, Recordset::WriteCheck::SameRow}) {
                try {
                    if (!alpha->editing()) {
                        alpha->Edit();
                        alpha->setField(QStringLiteral("Ville"), QStringLiteral("ICI"));
                    }
                    alpha->Update(check);
                    QVERIFY2(!replaced, "written over another couple");
                    break;
                } catch (const DbError& e) {
                    QVERIFY2(replaced, qPrintable(e.message()));
                    QVERIFY2(e.code() != DbError::RowChanged || check == Recordset::WriteCheck::Unchanged,
                             qPrintable(e.message()));
                }
            }
            if (alpha->editing())
                alpha->CancelUpdate();
            if (replaced)
                QVERIFY_THROWS_EXCEPTION(DbError, alpha->Delete(Recordset::WriteCheck::SameRow));
            // A row still the same in the file in place stays usable.
            charlie->Edit();
            charlie->setField(QStringLiteral("Ville"), QStringLiteral("AUSSI"));
            charlie->Update();
            // The list moves through the file in place.
            list->MoveNext();
            QCOMPARE(list->text(QStringLiteral("Nom")), QString("CHARLIE"));
            list->MoveFirst();
            QCOMPARE(list->text(QStringLiteral("Nom")), one);
            if (!replaced)
                QCOMPARE(db->generation(), generation); // nothing reopened
            addCouples(*db, {QStringLiteral("ENSUITE")});
            RawDb raw(env.dbPath());
            QCOMPARE(raw.text(QStringLiteral("PRAGMA integrity_check")), QString("ok"));
            QCOMPARE(raw.text(QStringLiteral("SELECT Nom || '/' || ifnull(Ville, '') FROM CIVILITES ORDER BY numero")),
                     QStringLiteral("%1/%2|CHARLIE/AUSSI|ENSUITE/").arg(one, replaced ? QString() : QStringLiteral("ICI")));
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
    }

    // Another workstation whose writes fail one after the other: this one reads and writes on as if nothing
    // happened, however its statements fall between the other's.
    void noRefusalWhileAnotherWorkstationRollsBack()
    {
        TestEnv env;
        addCouples(*Database::open(env.dbPath()), kNoms);
        auto db = Database::open(env.dbPath());
        auto held = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=1"));
        QCOMPARE(held->text(QStringLiteral("Nom")), QString("MARTIN"));
        const quint64 epoch = db->fileEpoch();
        QProcess other;
        other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        other.start(QCoreApplication::applicationFilePath(),
                    {"--workstation", "rollbacks", env.dbPath(), "1500", workstation::kLargeWrite});
        QVERIFY(other.waitForStarted());
        int rounds = 0;
        try {
            for (; other.state() != QProcess::NotRunning; ++rounds) {
                auto list = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
                list->FindFirst(QStringLiteral("NOM>='MAR'"));
                QCOMPARE(list->text(QStringLiteral("Nom")), QString("MARTIN"));
                list->MoveNext();
                QCOMPARE(list->text(QStringLiteral("Nom")), QString("MARTINEZ"));
                if (rounds % 10 == 0) { // now and then: a write of this workstation moves the counter on
                    held->Edit();
                    held->setField(QStringLiteral("Ville"), QString::number(rounds));
                    held->Update();
                    QCOMPARE(held->text(QStringLiteral("Ville")), QString::number(rounds));
                }
                QCoreApplication::processEvents();
            }
        } catch (const DbError& e) {
            QFAIL(qPrintable(QStringLiteral("round %1: %2").arg(rounds).arg(e.message())));
        }
        QCOMPARE(other.exitCode(), 0);
        QVERIFY(db->fileEpoch() > epoch); // they met
        QCOMPARE(RawDb(env.dbPath()).text(QStringLiteral("PRAGMA integrity_check")), QString("ok"));
    }

    void newFileHasItsIndexesAndVersion()
    {
        TestEnv env;
        RawDb raw(env.dbPath());
        QCOMPARE(raw.text("PRAGMA user_version"), QString::number(data::kJetCollationVersion));
        QCOMPARE(raw.text("SELECT count(*) FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"),
                 QString::number(data::indexStatements().size()));
        QCOMPARE(raw.text("PRAGMA journal_mode"), QString("delete"));
    }
};

FOLIVEX_TEST_MAIN(TestDataFiles)
#include "tst_data_files.moc"
