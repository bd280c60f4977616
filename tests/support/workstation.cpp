#include "support/workstation.h"

#include "data/jetsql.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <sqlite3.h>

namespace workstation {

namespace {

int failed(sqlite3* db, const char* what)
{
    fprintf(stderr, "workstation: %s: %s\n", what, sqlite3_errmsg(db));
    sqlite3_close(db);
    return 1;
}

bool exec(sqlite3* db, const QString& sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

int serve(int argc, char** argv)
{
    if (argc < 4 || qstrcmp(argv[1], "--workstation") != 0)
        return -1;
    const QByteArray mode = argv[2];
    const QString path = QString::fromLocal8Bit(argv[3]);
    QStringList rest;
    for (int i = 4; i < argc; ++i)
        rest << QString::fromLocal8Bit(argv[i]);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return failed(db, "open");
    data::installJetFunctions(db);
    sqlite3_busy_timeout(db, 20000);
    if (mode == "sql") {
        for (const QString& sql : rest)
            if (!exec(db, sql))
                return failed(db, "sql");
    } else if ((mode == "rollback" && rest.size() == 1) || (mode == "rollbacks" && rest.size() == 2)) {
        if (!exec(db, QStringLiteral("PRAGMA cache_size=2")))
            return failed(db, "rollback");
        QElapsedTimer clock;
        clock.start();
        do {
            if (!exec(db, QStringLiteral("BEGIN IMMEDIATE")) || !exec(db, rest.last()))
                return failed(db, "rollback");
            int spilled = 0, highest = 0;
            sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_SPILL, &spilled, &highest, 1);
            if (spilled == 0) {
                fprintf(stderr, "workstation: nothing reached the file before the rollback\n");
                return 2;
            }
            if (!exec(db, QStringLiteral("ROLLBACK")))
                return failed(db, "rollback");
            QThread::msleep(5);
        } while (mode == "rollbacks" && clock.elapsed() < rest[0].toLongLong());
    } else if (mode == "hold" && rest.size() >= 2) {
        if (!exec(db, QStringLiteral("BEGIN ") + rest[1]))
            return failed(db, "begin");
        for (const QString& sql : rest.mid(2))
            if (!exec(db, sql))
                return failed(db, "hold");
        printf("held\n");
        fflush(stdout);
        QThread::msleep(rest[0].toULong());
        if (!exec(db, QStringLiteral("COMMIT")))
            return failed(db, "commit");
    } else {
        fprintf(stderr, "workstation: unknown mode %s\n", mode.constData());
        return 1;
    }
    sqlite3_close(db);
    return 0;
}

bool act(const QStringList& arguments)
{
    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    other.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--workstation")} + arguments);
    return other.waitForFinished(60000) && other.exitStatus() == QProcess::NormalExit && other.exitCode() == 0;
}

std::unique_ptr<QProcess> startHolding(const QStringList& arguments)
{
    auto other = std::make_unique<QProcess>();
    other->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    other->start(QCoreApplication::applicationFilePath(),
                 QStringList{QStringLiteral("--workstation"), QStringLiteral("hold")} + arguments);
    while (other->waitForReadyRead(20000))
        if (other->readAll().contains("held"))
            return other;
    qWarning("the other workstation never held its transaction");
    return other;
}

} // namespace workstation
