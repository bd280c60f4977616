#pragma once
// A connection of its own on a database file, as another workstation or an earlier version of the program
// has it: plain SQL, and the JET collation of a chosen order.
#include "data/jetsql.h"
#include "data/schema.h"

#include <QString>
#include <QStringList>
#include <QTest>
#include <sqlite3.h>

class RawDb {
public:
    explicit RawDb(const QString& path, int collationVersion = data::kJetCollationVersion)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        data::installJetFunctions(m_db, collationVersion);
    }
    ~RawDb() { sqlite3_close(m_db); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    // The first column of every row, joined by "|"; the engine's error between angle brackets.
    QString text(const QString& sql) const
    {
        sqlite3_stmt* st = nullptr;
        QString out = QStringLiteral("<error: ") + QString::fromUtf8(sqlite3_errmsg(m_db)) + QLatin1Char('>');
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
            QStringList rows;
            while (sqlite3_step(st) == SQLITE_ROW)
                rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            out = rows.join(QLatin1Char('|'));
        }
        sqlite3_finalize(st);
        return out;
    }
    bool exec(const QString& sql) const
    {
        return sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // The file as earlier versions made it: its tables without indexes, no collation version recorded.
    void makeEarlierVersion() const
    {
        for (const QString& s : data::indexStatements())
            QVERIFY(exec(QStringLiteral("DROP INDEX IF EXISTS ") + s.section(QLatin1Char(' '), 2, 2)));
        QVERIFY(exec(QStringLiteral("DROP INDEX IF EXISTS FICHE_JCYCLE")));
        QVERIFY(exec(QStringLiteral("PRAGMA user_version=0")));
    }

private:
    sqlite3* m_db = nullptr;
};
