#include "data/statement.h"

#include "data/database.h"

#include <ctime>
#include <sqlite3.h>

namespace data {

namespace {
quint64 g_writes = 0; // the user-interface thread's alone
}

qint64 monotonicMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

quint64 writesSoFar() { return g_writes; }
void countWrite() { ++g_writes; }

namespace {

// Made once: QVariant::toString() of a StoredText gives the text the decoder makes of its bytes.
[[maybe_unused]] const bool g_storedTextReads = QMetaType::registerConverter<StoredText, QString>(
    [](const StoredText& t) { return QString::fromUtf8(t.bytes); });

} // namespace

QVariant columnValue(sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(st, i));
    case SQLITE_NULL: return QVariant();
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i)));
    default: {
        const QByteArrayView bytes(sqlite3_column_text(st, i), sqlite3_column_bytes(st, i));
        if (bytes.isValidUtf8())
            return QVariant(QString::fromUtf8(bytes));
        return QVariant::fromValue(StoredText{bytes.toByteArray()});
    }
    }
}

bool isText(const QVariant& v)
{
    return v.typeId() == QMetaType::QString || v.metaType() == QMetaType::fromType<StoredText>();
}

QVariant asStored(const QVariant& shown, const QVariant& stored)
{
    const bool made = stored.typeId() == QMetaType::QByteArray || stored.metaType() == QMetaType::fromType<StoredText>();
    return made && shown.typeId() == QMetaType::QString && shown.toString() == stored.toString() ? stored : shown;
}

void bindValue(sqlite3_stmt* st, int i, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(st, i);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        sqlite3_bind_int64(st, i, v.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(st, i, v.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray blob = v.toByteArray();
        sqlite3_bind_blob(st, i, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        if (v.metaType() == QMetaType::fromType<StoredText>()) {
            const QByteArray& bytes = static_cast<const StoredText*>(v.constData())->bytes;
            sqlite3_bind_text(st, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        const QByteArray utf8 = v.toString().toUtf8();
        sqlite3_bind_text(st, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    }
}

Stmt::Stmt(Database& db, const QString& sql, quint64 since) : m_db(db), m_h(db.connection(since)), m_sql(sql)
{
    // The engine would end the statement at a NUL: none belongs in an SQL text, whatever was typed.
    QByteArray utf8 = sql.toUtf8();
    utf8.replace('\0', QByteArray());
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_h, utf8.constData(), int(utf8.size()), &m_stmt, &tail);
    if (rc != SQLITE_OK)
        throw m_db.engineError(rc, sql);
    // One statement a text: what would follow a typed ";" is never run.
    if (!m_stmt || !QByteArray(tail).trimmed().isEmpty()) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw m_db.engineError(SQLITE_ERROR, sql);
    }
    if (!sqlite3_stmt_readonly(m_stmt))
        countWrite();
}

Stmt::~Stmt() { sqlite3_finalize(m_stmt); }

bool Stmt::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw m_db.engineError(sqlite3_extended_errcode(m_h), m_sql);
}

void Stmt::bindAll(const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

int Stmt::changes() const { return sqlite3_changes(m_h); }

qint64 Stmt::lastInsertRowid() const { return sqlite3_last_insert_rowid(m_h); }

} // namespace data
