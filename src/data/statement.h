#pragma once
// A prepared statement of the layer, on a database's connection checked against the file in place.
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

class Database;

// A column's value: integers as qlonglong, reals as double, texts as QString, Null as an invalid QVariant.
QVariant columnValue(sqlite3_stmt* st, int i);
// Binds a value: invalid or null as Null, integral types as integers, reals as reals, the rest as text.
void bindValue(sqlite3_stmt* st, int i, const QVariant& v);

// Statements that may write, by any database object of the program, so far: rows kept from a read made before
// the count moved are read again.
quint64 writesSoFar();
void countWrite();

// Finalizes itself; its failures carry the French text of their cause. since: the file epoch its reader was
// read from (see Database::connection), 0 for any.
class Stmt {
public:
    Stmt(Database& db, const QString& sql, quint64 since = 0);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

    bool step();
    void bind(int i, const QVariant& v) { bindValue(m_stmt, i, v); }
    void bindAll(const QVariantList& values);
    QVariant column(int i) const { return columnValue(m_stmt, i); }
    // Rows changed by the last step of a write.
    int changes() const;
    // The rowid of the row the last step inserted.
    qint64 lastInsertRowid() const;

private:
    Database& m_db;
    sqlite3* m_h;
    QString m_sql;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace data
