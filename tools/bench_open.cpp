// bench_open [COUPLES...]: for each size (default 100 000 and 1 000 000 couples, each with 4 cycle sheets and 1 exam)
// opens a database file of an earlier version (no index, no collation order recorded), as the program does, and
// prints the median of BENCH_RUNS runs (3 by default) of: the time from the opening's start to the progress
// window's first paint, the whole opening (the indexes built), the longest pause of the user-interface thread's
// event loop meanwhile, and the longest time the progress bar stood still once shown.
// BENCH_KEEP=DIR keeps the files in DIR (and reuses them on the next run).
#include "bench.h"
#include "benchwatch.h"
#include "data/database.h"
#include "data/jetsql.h"
#include "data/schema.h"
#if __has_include("platform/progresswindow.h")
#include "platform/progresswindow.h"
#define HAVE_PROGRESS_WINDOW 1
#endif

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <sqlite3.h>

namespace {

void exec(sqlite3* db, const char* sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK)
        qFatal("%s: %s", sql, err);
}

// A file as an earlier version left it: the five tables filled, no index, user_version 0.
void build(const QString& path, int couples)
{
    if (const QString failure = data::createDatabase(path); !failure.isEmpty())
        qFatal("%s", qPrintable(failure));
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    data::installJetFunctions(db);
    for (const QString& s : data::indexStatements())
        exec(db, qPrintable(QStringLiteral("DROP INDEX ") + s.section(QLatin1Char(' '), 2, 2)));
    exec(db, "PRAGMA user_version=0");
    exec(db, "BEGIN");
    auto prepare = [db](const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            qFatal("%s: %s", sql, sqlite3_errmsg(db));
        return st;
    };
    sqlite3_stmt* couple = prepare("INSERT INTO CIVILITES (Nom, Prenom, NOMPART, PRENOMPART, NEE, Ville, SECU, "
                                   "ADRESSE1, CODEPOST, TEL1) VALUES (?,?,?,?,?,'PAU',?,?,'64000','05 59 00 00 00')");
    sqlite3_stmt* sheet = prepare("INSERT INTO FICHE (NUMERO, NUMFICH, JCYCLE, TYPE, DATEPONC, DATETRANS, GROSSESSE, "
                                  "MULTIPLE, ANA, ANTAGO, STIMULINE, DECLENCHO, NomFichier) VALUES "
                                  "(?,?,?,?,?,?,?,?,'Décapeptyl 3','Cetrotide','Gonal-f','Ovitrelle',?)");
    sqlite3_stmt* exam = prepare("INSERT INTO EXAMENS (NUMERO, PDS, TAILLE, FSH, LH, DTBWF, DTSPERMO, Diag) VALUES "
                                 "(?,'62','165','7,5','4,2','12/01/2005','03/02/2005','Infertilité primaire')");
    auto text = [](sqlite3_stmt* st, int i, const QString& s) {
        const QByteArray u = s.toUtf8();
        sqlite3_bind_text(st, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    };
    auto run = [db](sqlite3_stmt* st) {
        if (sqlite3_step(st) != SQLITE_DONE)
            qFatal("insert: %s", sqlite3_errmsg(db));
        sqlite3_reset(st);
    };
    static const char* const types[] = {"FIV", "ICSI", "ICSI", "FIV", "IAC", "IAD", "TEC", "Stim. simple"};
    static const char* const outcomes[] = {"", "Néant", "Néant", "", "Biologique", "FC", "Enfant vivant", "GEU"};
    QRandomGenerator rng(19750312);
    for (int i = 1; i <= couples; ++i) {
        text(couple, 1, bench::surname(rng));
        text(couple, 2, QStringLiteral("Prénom%1").arg(i));
        text(couple, 3, bench::surname(rng));
        text(couple, 4, QStringLiteral("Prénom%1").arg(i));
        text(couple, 5, QStringLiteral("%1/%2/%3").arg(1 + rng.bounded(28)).arg(1 + rng.bounded(12)).arg(60 + rng.bounded(30)));
        text(couple, 6, QStringLiteral("2 75 03 64 445 %1").arg(i % 1000, 3, 10, QLatin1Char('0')));
        text(couple, 7, QStringLiteral("%1 rue des Pyrénées").arg(1 + i % 200));
        run(couple);
        for (int n = 1; n <= 4; ++n) {
            const int day = 36526 + int(rng.bounded(3653));
            const QString type = QString::fromUtf8(types[rng.bounded(8)]);
            const QString outcome = QString::fromUtf8(outcomes[rng.bounded(8)]);
            sqlite3_bind_int(sheet, 1, i);
            sqlite3_bind_int(sheet, 2, n);
            sqlite3_bind_double(sheet, 3, day);
            text(sheet, 4, type);
            text(sheet, 5, type.startsWith(QLatin1String("FIV")) || type == QLatin1String("ICSI") ? QStringLiteral("12/03/2005") : QString());
            text(sheet, 6, type == QLatin1String("IAC") ? QString() : QStringLiteral("14/03/2005"));
            text(sheet, 7, outcome);
            text(sheet, 8, outcome.isEmpty() || outcome == QStringLiteral("Néant") ? QString() : QStringLiteral("Simple"));
            text(sheet, 9, QStringLiteral("%1_%2.xls").arg(i).arg(day));
            run(sheet);
        }
        sqlite3_bind_int(exam, 1, i);
        run(exam);
    }
    sqlite3_finalize(couple);
    sqlite3_finalize(sheet);
    sqlite3_finalize(exam);
    exec(db, "COMMIT");
    sqlite3_close(db);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QList<int> sizes = bench::sizes(argc, argv, {100000, 1000000});
    const int runs = bench::runs();
#ifdef HAVE_PROGRESS_WINDOW
    platform::ProgressWindowWork window;
    data::setLongWork(&window);
#endif

    QTemporaryDir tmp;
    const QString keep = qEnvironmentVariable("BENCH_KEEP");
    const QString dir = keep.isEmpty() ? tmp.path() : keep;
    out << "couples | window painted after | opening, indexes built | longest pause of the event loop | "
           "longest the bar stood still\n";
    for (int n : sizes) {
        const QString folder = dir + QStringLiteral("/open-%1").arg(n);
        QDir().mkpath(folder);
        const QString earlier = folder + QStringLiteral("/earlier.mdb");
        const QString path = folder + QStringLiteral("/INDUCTION.mdb");
        if (!QFileInfo::exists(earlier)) {
            QFile::remove(earlier + QStringLiteral(".part"));
            build(earlier + QStringLiteral(".part"), n);
            QFile::rename(earlier + QStringLiteral(".part"), earlier);
        }
        QList<double> painted, opened, paused, stood;
        int shown = 0;
        for (int run = 0; run < runs; ++run) {
            QFile::remove(path);
            if (!QFile::copy(earlier, path))
                qFatal("cannot copy %s", qPrintable(earlier));
            QElapsedTimer clock;
            clock.start();
            bench::Watch watch(clock);
            data::Database::open(path);
            opened << clock.nsecsElapsed() / 1e9;
            watch.pause();
            watch.still();
            paused << watch.longest / 1e9;
            if (watch.painted >= 0) {
                ++shown;
                painted << watch.painted / 1e9;
                stood << watch.stood / 1e9;
            }
        }
        out << n << " | "
            << (shown ? QStringLiteral("%1 s").arg(bench::median(painted), 0, 'f', 3) : QStringLiteral("never")) << " | "
            << QStringLiteral("%1 s").arg(bench::median(opened), 0, 'f', 2) << " | "
            << QStringLiteral("%1 s").arg(bench::median(paused), 0, 'f', 3) << " | "
            << (shown ? QStringLiteral("%1 s").arg(bench::median(stood), 0, 'f', 3) : QStringLiteral("-")) << "\n";
        out.flush();
        QFile::remove(path);
    }
    return 0;
}
