// bench_filecheck [COUPLES]: the cost of the layer's look at the file before each statement. On a file of COUPLES
// couples (100 000 by default) it times, 3000 runs each:
// - one statement of the layer (a couple read by its number) against the same statement on a bare connection;
// - the search a keystroke runs (the couple list reopened in name order, a name sought, the 18 labels read);
// median, 90th percentile and mean, failures included;
// on a quiet file, then while another process writes to it every 2 ms (each write committed), then while another
// process's writes fail and roll back every 20 ms (the file rewritten with the same change counter). It also
// counts the statements refused meanwhile.
// BENCH_KEEP=DIR keeps the file in DIR (and reuses it on the next run).
#include "bench.h"
#include "data/database.h"
#include "data/statement.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <sched.h>
#include <sqlite3.h>

namespace {

// The other workstation: a write committed every 2 ms, or one rolled back every 20 ms after its pages reached the
// file.
int writer(const QString& path, bool rollback)
{
    // On any core but the one the bench may be pinned to.
    cpu_set_t all;
    CPU_ZERO(&all);
    for (int c = 0; c < CPU_SETSIZE; ++c)
        CPU_SET(c, &all);
    sched_setaffinity(0, sizeof all, &all);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    sqlite3_busy_timeout(db, 5000);
    // A cache of a few pages: the rolled-back write spills its pages into the file before it fails. No wait for
    // the disk: the lock is held for the work itself.
    sqlite3_exec(db, "PRAGMA cache_size=2; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    for (int round = 0;; ++round) {
        const QByteArray sql = rollback
            ? QByteArrayLiteral("BEGIN IMMEDIATE; UPDATE CIVILITES SET Ville='X'||Ville WHERE numero % 97 = 1;")
            : QStringLiteral("UPDATE OPTIONS SET TEXTE=TEXTE WHERE rowid=%1").arg(1 + round % 50).toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
        if (rollback)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        QThread::msleep(rollback ? 20 : 2);
    }
}

QString shown(const bench::Figures& f)
{
    return QStringLiteral("%1 / %2 / %3 µs").arg(f.median, 0, 'f', 1).arg(f.p90, 0, 'f', 1).arg(f.mean, 0, 'f', 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--writer") == 0)
        return writer(QString::fromLocal8Bit(argv[2]), qstrcmp(argv[3], "rollback") == 0);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int couples = bench::sizes(argc, argv, {100000}).first();
    QTemporaryDir tmp;
    const QString keep = qEnvironmentVariable("BENCH_KEEP");
    const QString dir = keep.isEmpty() ? tmp.path() : keep;
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/filecheck-%1/INDUCTION.mdb").arg(couples);
    if (!QFileInfo::exists(path)) {
        QDir().mkpath(QFileInfo(path).path());
        bench::buildCouples(path, couples);
    }
    constexpr int kRuns = 3000;
    out << "file | one statement: layer | same statement, engine alone | keystroke search | refused "
           "(median / p90 / mean)\n";
    for (const char* file : {"quiet", "written to", "rolled back"}) {
        QProcess other;
        if (qstrcmp(file, "quiet") != 0) {
            other.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--writer"), path, QString::fromLatin1(qstrcmp(file, "written to") == 0
                                                                                   ? "commit" : "rollback")});
            other.waitForStarted();
            QThread::msleep(100);
        }
        QRandomGenerator rng(7);
        QList<double> layer, engine, search;
        int refused = 0;
        const auto db = data::Database::open(path);
        sqlite3* raw = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_busy_timeout(raw, 10000);
        sqlite3_exec(raw, "PRAGMA cache_size=-4096", nullptr, nullptr, nullptr);
        QElapsedTimer t;
        for (int i = 0; i < kRuns; ++i) {
            const qint64 numero = 1 + rng.bounded(couples);
            const QString sql = QStringLiteral("SELECT Nom FROM CIVILITES WHERE numero=%1").arg(numero);
            t.start();
            try {
                data::Stmt st(*db, sql);
                st.step();
            } catch (const data::DbError& e) {
                if (++refused <= 3) // what was refused, for whoever reads the figures
                    fprintf(stderr, "%s: %s\n", file, qPrintable(e.message()));
            }
            layer << t.nsecsElapsed() / 1e3;
            t.start();
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(raw, sql.toUtf8().constData(), -1, &st, nullptr);
            sqlite3_step(st);
            sqlite3_finalize(st);
            engine << t.nsecsElapsed() / 1e3;
            const QString typed = QStringLiteral("MAR").left(1 + i % 3);
            t.start();
            try {
                auto rs = db->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM"));
                rs->FindFirst(QStringLiteral("NOM>='%1'").arg(typed));
                for (const char* c : {"numero", "Nom", "Prenom", "SECU", "ADRESSE1", "ADRESSE2", "Ville", "CODEPOST",
                                      "TEL1", "TEL2", "Fax", "EMAIL", "TRAITANT1", "TRAITANT2", "PROFESSION",
                                      "NOMPART", "PRENOMPART", "NEE"})
                    rs->text(QLatin1String(c));
            } catch (const data::DbError& e) {
                if (++refused <= 3) // what was refused, for whoever reads the figures
                    fprintf(stderr, "%s: %s\n", file, qPrintable(e.message()));
            }
            search << t.nsecsElapsed() / 1e3;
        }
        sqlite3_close(raw);
        if (other.state() != QProcess::NotRunning) {
            other.kill();
            other.waitForFinished();
        }
        out << file << " | " << shown(bench::figures(layer)) << " | " << shown(bench::figures(engine)) << " | "
            << shown(bench::figures(search)) << " | " << refused << "\n";
        out.flush();
    }
    return 0;
}
