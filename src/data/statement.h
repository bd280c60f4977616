#pragma once
// A prepared statement of the layer, on a database's connection checked against the file in place.
#include <QString>
#include <QByteArray>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

class Database;

// A text stored in bytes that are no UTF-8 (another tool wrote them): kept as stored, so that it compares with
// itself and can be written back unchanged. It reads as the text the decoder makes of it.
struct StoredText {
    QByteArray bytes;
    bool operator==(const StoredText&) const = default;
};

// A column's value: integers as qlonglong, reals as double, texts as QString (StoredText when they are no
// UTF-8), blobs as QByteArray, Null as an invalid QVariant.
QVariant columnValue(sqlite3_stmt* st, int i);
// Binds a value: invalid or null as Null, integral types as integers, reals as reals, a QByteArray as a blob, a
// StoredText as its bytes, the rest as text.
void bindValue(sqlite3_stmt* st, int i, const QVariant& v);
// Whether a value is a text as stored (QString or StoredText), which compares byte for byte.
bool isText(const QVariant& v);
// The value a control showing v writes back, when shown is what it shows: the stored value itself when showing it
// made a text of it (bytes of another encoding, a blob), so that they are kept byte for byte.
QVariant asStored(const QVariant& shown, const QVariant& stored);

// The monotonic clock in milliseconds, read for every row of a walk: the coarse one costs no hardware counter
// read, and a few milliseconds of resolution are plenty for the delays it measures.
qint64 monotonicMs();

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
