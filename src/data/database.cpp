#include "data/database.h"

#include "data/jetsql.h"
#include "data/schema.h"
#include "platform/conversions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

DbError::DbError(int code, const QString& message)
    : std::runtime_error(QStringLiteral("%1: %2").arg(code).arg(message).toStdString()), m_code(code),
      m_message(message)
{
}

namespace {

const char* const kTables[] = {"CIVILITES", "FICHE", "EXAMENS", "GROSSESSE", "OPTIONS"};

int g_lockWait = 10000;

QVariant columnValue(sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(st, i));
    case SQLITE_NULL: return QVariant();
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                          sqlite3_column_bytes(st, i)));
    }
}

// A prepared statement that finalizes itself; its failures carry the French text of their cause.
class Stmt {
public:
    Stmt(const Database& db, const QString& sql) : m_db(db), m_h(db.handle()), m_sql(sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(m_h, utf8.constData(), int(utf8.size()), &m_stmt, nullptr);
        if (rc != SQLITE_OK)
            throw m_db.engineError(rc, sql);
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw m_db.engineError(rc, m_sql);
    }

    void bind(int i, const QVariant& v)
    {
        if (!v.isValid() || v.isNull()) {
            sqlite3_bind_null(m_stmt, i);
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
            sqlite3_bind_int64(m_stmt, i, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            sqlite3_bind_double(m_stmt, i, v.toDouble());
            break;
        default: {
            const QByteArray utf8 = v.toString().toUtf8();
            sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        }
    }

    QVariant column(int i) const { return columnValue(m_stmt, i); }

private:
    const Database& m_db;
    sqlite3* m_h;
    QString m_sql;
    sqlite3_stmt* m_stmt = nullptr;
};

// Where a top-level keyword starts at or after from, or -1; quotes and parentheses are skipped.
int topLevel(const QString& sql, QLatin1String keyword, int from = 0)
{
    int depth = 0;
    const int n = int(sql.size());
    const int k = int(keyword.size());
    auto isWord = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    for (int i = from; i < n; ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            for (++i; i < n; ++i)
                if (sql[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && sql[i + 1] == QLatin1Char('\''))
                        ++i;
                    else
                        break;
                }
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && c.toUpper() == QChar(keyword[0]).toUpper()
                   && QStringView(sql).mid(i, k).compare(keyword, Qt::CaseInsensitive) == 0
                   && (i == 0 || !isWord(sql[i - 1])) && (i + k >= n || !isWord(sql[i + k]))) {
            return i;
        }
    }
    return -1;
}

// The items of a list at top level (ORDER BY a, b DESC).
QStringList topLevelItems(const QString& list)
{
    QStringList items;
    int depth = 0, start = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (list[i] == QLatin1Char('('))
            ++depth;
        else if (list[i] == QLatin1Char(')'))
            --depth;
        else if (list[i] == QLatin1Char(',') && depth == 0) {
            items << list.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    items << list.mid(start).trimmed();
    return items;
}

// Keeps SQLite's planner from plans that cost one table seek per row read. A grouping in index order: reading
// the rows through the condition's index and sorting what it selects is quicker. In a file without the
// covering indexes (one that could not get them), a range of more than a year on a bare column too: the
// statistics' periods then cover most of the cycle table, which a plain scan reads once. A "+" before the
// column changes no result, only the plan.
QString plannerHints(QString sql, bool coveringIndexes)
{
    static const QRegularExpression wideRange(
        QStringLiteral("(^|[\\s(])([A-Za-z_][A-Za-z0-9_.]*)(\\s+BETWEEN\\s+(-?\\d+(?:\\.\\d+)?)\\s+AND\\s+(-?\\d+(?:\\.\\d+)?))"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = wideRange.globalMatch(sql); !coveringIndexes && it.hasNext();) {
        const auto m = it.next();
        if (m.captured(2).compare(QLatin1String("NOT"), Qt::CaseInsensitive) != 0
            && std::abs(m.captured(5).toDouble() - m.captured(4).toDouble()) > 366) {
            sql.insert(m.capturedStart(2), QLatin1Char('+'));
            break; // the offsets after this one have moved; the windows' texts hold one range
        }
    }
    static const QRegularExpression groupBy(QStringLiteral("\\bGROUP\\s+BY\\s+(?=[A-Za-z_])"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const auto g = groupBy.match(sql); g.hasMatch())
        sql.insert(g.capturedEnd(), QLatin1Char('+'));
    return sql;
}

// Whether the file (or folder) can be written: its permissions allow it, also to the administrator, who may
// write anything but is told like every user that a file marked read-only stays as it is.
bool writable(const QString& path)
{
    const QByteArray p = QFile::encodeName(path);
    struct stat st;
    return ::stat(p.constData(), &st) == 0 && (st.st_mode & 0222) != 0 && ::access(p.constData(), W_OK) == 0;
}

QString joined(const QStringList& items) { return items.join(QLatin1Char(',')); }

QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

// Connections of Database objects that went away, kept open a while: a window that opens the file again (as
// most do at each step) meets the pages it read last in memory instead of reading them from the disk again.
// The engine drops what another workstation changed meanwhile.
struct IdleConnection {
    QString path;
    dev_t device;
    ino_t inode;
    bool readOnly;
    sqlite3* db;
};

class IdleConnections {
public:
    ~IdleConnections()
    {
        for (const IdleConnection& c : m_idle)
            sqlite3_close_v2(c.db);
    }
    void put(IdleConnection c)
    {
        m_idle.insert(m_idle.begin(), c);
        while (m_idle.size() > kMost) {
            sqlite3_close_v2(m_idle.back().db);
            m_idle.pop_back();
        }
    }
    // The connection to this very file (not one put in its place since), or nullptr.
    sqlite3* take(const QString& path, dev_t device, ino_t inode, bool readOnly)
    {
        for (auto it = m_idle.begin(); it != m_idle.end(); ++it)
            if (it->path == path && it->device == device && it->inode == inode && it->readOnly == readOnly) {
                sqlite3* db = it->db;
                m_idle.erase(it);
                return db;
            }
        return nullptr;
    }

private:
    static constexpr size_t kMost = 3;
    std::vector<IdleConnection> m_idle;
};

IdleConnections& idleConnections()
{
    static IdleConnections idle;
    return idle;
}

} // namespace

void setLockWait(int milliseconds) { g_lockWait = milliseconds; }

// ---------------------------------------------------------------------------------------------- Database

DbError Database::engineError(int rc, const QString& sql) const
{
    const QString file = QDir::toNativeSeparators(m_path);
    const bool exists = QFileInfo::exists(m_path);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbError(DbError::Locked, QStringLiteral("La base de données %1 est occupée par un autre poste : "
                                                       "réessayez dans un instant.").arg(file));
    case SQLITE_NOTADB:
        return DbError(DbError::NotADatabase, QStringLiteral("Le fichier %1 n'est pas une base de données.").arg(file));
    case SQLITE_CORRUPT:
        return DbError(DbError::Damaged, QStringLiteral("La base de données %1 est endommagée.").arg(file));
    case SQLITE_FULL:
        return DbError(DbError::DiskFull, QStringLiteral("Le disque de la base de données %1 est plein.").arg(file));
    case SQLITE_NOMEM:
        return DbError(DbError::DiskError, QStringLiteral("Mémoire insuffisante pour lire la base de données %1.").arg(file));
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        // A file deleted while in use reads as read-only to the engine: say what happened.
        if (!exists)
            return DbError(DbError::FileNotFound,
                           m_opening ? QStringLiteral("Le fichier de la base de données %1 est introuvable.").arg(file)
                                     : QStringLiteral("Le fichier de la base de données %1 est introuvable : il a été "
                                                      "supprimé ou déplacé pendant son utilisation.").arg(file));
        if (rc == SQLITE_READONLY_DBMOVED)
            return DbError(DbError::FileNotFound, QStringLiteral("Le fichier de la base de données %1 a été remplacé "
                                                                 "pendant son utilisation.").arg(file));
        if ((rc & 0xff) == SQLITE_READONLY)
            return DbError(DbError::ReadOnly, QStringLiteral("La base de données %1 est en lecture seule.").arg(file));
        if ((rc & 0xff) == SQLITE_IOERR)
            return DbError(DbError::DiskError, QStringLiteral("Erreur de lecture ou d'écriture sur le fichier %1 "
                                                              "(disque ou réseau).").arg(file));
        if (m_opening)
            return DbError(DbError::CannotOpen, QStringLiteral("Le fichier %1 ne peut pas être ouvert : accès refusé.").arg(file));
        return DbError(DbError::ReadOnly, QStringLiteral("La base de données %1 ne peut pas être modifiée : son "
                                                         "répertoire n'accepte pas l'écriture.").arg(file));
    default:
        break;
    }
    // A query the engine refuses: the French words for the usual causes, the query for whoever mends it.
    QString cause = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    static const struct {
        const char* english;
        const char* french;
    } causes[] = {{"no such column: ", "colonne inconnue : "},
                  {"no such table: ", "table inconnue : "},
                  {"no such collation sequence: ", "ordre de tri inconnu : "},
                  {"no such function: ", "fonction inconnue : "}};
    for (const auto& c : causes)
        if (cause.startsWith(QLatin1String(c.english)))
            cause = QString::fromUtf8(c.french) + cause.mid(int(qstrlen(c.english)));
    static const QRegularExpression syntax(QStringLiteral("^near \"(.*)\": syntax error$"));
    if (const auto m = syntax.match(cause); m.hasMatch())
        cause = QStringLiteral("erreur de syntaxe près de « %1 »").arg(m.captured(1));
    return DbError(DbError::SqlError, sql.isEmpty() ? QStringLiteral("Requête refusée (%1).").arg(cause)
                                                    : QStringLiteral("Requête refusée (%1) : %2").arg(cause, sql));
}

QString Database::readOnlyNotice() const
{
    if (!m_readOnly)
        return QString();
    return QStringLiteral("La base de données %1 est en lecture seule : aucune modification ne pourra être "
                          "enregistrée.").arg(QDir::toNativeSeparators(m_path));
}

std::shared_ptr<Database> Database::open(const QString& path)
{
    std::shared_ptr<Database> d(new Database());
    d->m_path = path;
    const QFileInfo info(path);
    if (!info.exists())
        throw d->engineError(SQLITE_CANTOPEN);
    if (!info.isFile())
        throw d->engineError(SQLITE_NOTADB);
    d->m_readOnly = !writable(path) || !writable(info.absolutePath());
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        d->m_device = st.st_dev;
        d->m_inode = st.st_ino;
    }
    sqlite3* db = idleConnections().take(path, d->m_device, d->m_inode, d->m_readOnly);
    if (!db) {
        const QByteArray utf8 = path.toUtf8();
        // One connection per window, used by the user-interface thread alone.
        const int flags = (d->m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
        const int rc = sqlite3_open_v2(utf8.constData(), &db, flags, nullptr);
        d->m_db = db;
        if (rc != SQLITE_OK) {
            const DbError e = d->engineError(rc);
            d->Close();
            throw e;
        }
    }
    d->m_db = db;
    sqlite3_extended_result_codes(db, 1);
    // Several workstations share the file: wait for a lock rather than fail, and keep the rollback journal
    // (WAL needs shared memory, which network shares do not give).
    sqlite3_busy_timeout(db, g_lockWait);
    try {
        if (!d->m_readOnly)
            d->exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        d->exec(QStringLiteral("PRAGMA cache_size=-65536"));
        QStringList tables, indexes;
        {
            Stmt st(*d, QStringLiteral("SELECT type, name FROM sqlite_master"));
            while (st.step())
                (st.column(0).toString() == QLatin1String("table") ? tables : indexes) << st.column(1).toString().toUpper();
        }
        for (const char* t : kTables)
            if (!tables.contains(QLatin1String(t)))
                throw DbError(DbError::NotADatabase, QStringLiteral("La table %1 manque dans %2")
                                                         .arg(QLatin1String(t), QDir::toNativeSeparators(path)));
        int version = 0;
        {
            Stmt st(*d, QStringLiteral("PRAGMA user_version"));
            st.step();
            version = st.column(0).toInt();
        }
        d->prepareIndexes(version, indexes);
    } catch (const DbError&) {
        d->Close();
        throw;
    }
    d->m_opening = false;
    return d;
}

namespace {

// The indexes of indexStatements() that the file lacks, by name.
QStringList missingIndexes(const QStringList& present)
{
    QStringList statements;
    for (const QString& s : indexStatements())
        if (!present.contains(s.section(QLatin1Char(' '), 2, 2).toUpper()))
            statements << s;
    return statements;
}

} // namespace

void Database::prepareIndexes(int fileVersion, const QStringList& indexes)
{
    // The JET collation orders as the file's indexes were built, or they are rebuilt in the current order
    // first: an index never disagrees with the comparison that searches it.
    if (m_readOnly) {
        // Nothing can be rebuilt: indexes of a file of version 0 keep the order they were built with.
        bool legacy = false;
        if (fileVersion == 0) {
            Stmt st(*this, QStringLiteral("SELECT count(*) FROM sqlite_master AS m, pragma_index_xinfo(m.name) AS x "
                                          "WHERE m.type = 'index' AND x.coll = 'JET'"));
            st.step();
            legacy = st.column(0).toInt() > 0;
        }
        if (!installJetFunctions(m_db, legacy ? 0 : kJetCollationVersion))
            throw engineError(sqlite3_errcode(m_db));
        m_indexed = missingIndexes(indexes).isEmpty();
        return;
    }
    if (!installJetFunctions(m_db))
        throw engineError(sqlite3_errcode(m_db));
    m_indexed = missingIndexes(indexes).isEmpty();
    if (fileVersion == kJetCollationVersion && m_indexed)
        return;
    // Once per file; the other workstations wait for it (a large file takes a few seconds).
    sqlite3_busy_timeout(m_db, std::max(g_lockWait, 60000));
    try {
        exec(QStringLiteral("BEGIN IMMEDIATE"));
        bool reorder = false;
        {
            Stmt st(*this, QStringLiteral("PRAGMA user_version"));
            st.step();
            reorder = st.column(0).toInt() != kJetCollationVersion;
        }
        if (reorder)
            exec(QStringLiteral("REINDEX JET"));
        QStringList now;
        {
            Stmt st(*this, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"));
            while (st.step())
                now << st.column(0).toString().toUpper();
        }
        for (const QString& s : missingIndexes(now))
            exec(s);
        m_indexed = true;
        if (reorder)
            exec(QStringLiteral("PRAGMA user_version=%1").arg(kJetCollationVersion));
        exec(QStringLiteral("COMMIT"));
    } catch (const DbError&) {
        m_indexed = false;
        try {
            Rollback();
        } catch (const DbError&) {
        }
        sqlite3_busy_timeout(m_db, g_lockWait);
        // Missing indexes only slow the work down; indexes in another order must not be used.
        if (fileVersion != kJetCollationVersion)
            throw;
        return;
    }
    sqlite3_busy_timeout(m_db, g_lockWait);
}

bool Database::covered(const QString& sql)
{
    Stmt plan(*this, QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    while (plan.step())
        if (plan.column(3).toString().contains(QLatin1String("COVERING INDEX")))
            return true;
    return false;
}

const QStringList& Database::leadingIndexColumns(const QString& table)
{
    const QString key = table.toLower();
    if (const auto it = m_leading.find(key); it != m_leading.end())
        return it->second;
    QStringList columns;
    Stmt list(*this, QStringLiteral("SELECT il.name, ii.name, ii.coll FROM pragma_index_list('%1') AS il, "
                                    "pragma_index_xinfo(il.name) AS ii WHERE ii.seqno = 0")
                         .arg(sqlQuote(table)));
    while (list.step())
        if (list.column(2).toString().compare(QLatin1String("JET"), Qt::CaseInsensitive) == 0)
            columns << list.column(1).toString().toLower();
    return m_leading.emplace(key, columns).first->second;
}

namespace {

// A string literal of SQL starting at i: its end (after the closing quote) and its text, or -1.
int literalEnd(const QString& sql, int i, QString* text)
{
    if (i >= sql.size() || sql[i] != QLatin1Char('\''))
        return -1;
    QString t;
    for (int j = i + 1; j < sql.size(); ++j) {
        if (sql[j] != QLatin1Char('\'')) {
            t += sql[j];
        } else if (j + 1 < sql.size() && sql[j + 1] == QLatin1Char('\'')) {
            t += sql[j++];
        } else {
            *text = t;
            return j + 1;
        }
    }
    return -1;
}

bool isWildcard(QChar c)
{
    return c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('#') || c == QLatin1Char('[');
}

} // namespace

QString Database::seekableLike(const QString& column, const QString& table, const QString& pattern)
{
    const QString col = quoted(column) + QStringLiteral(" COLLATE JET");
    const int wild = int(std::find_if(pattern.begin(), pattern.end(), isWildcard) - pattern.begin());
    if (wild == pattern.size()) // Jet's LIKE without wildcards compares as "=" does
        return QStringLiteral("%1 = '%2'").arg(col, sqlQuote(pattern));
    // The values that may match lie in the range of the literal start (apostrophes and hyphens weigh
    // nothing at first, so "FIV*" spans FIV to FIV\uffff); one seek per distinct value, as many as a list of
    // types holds at the most.
    constexpr int kMostValues = 64;
    const QString prefix = pattern.left(wild);
    const QString upper = prefix.isEmpty() ? QString() : prefix + QChar(0xFFFF);
    QStringList matching;
    QVariant last;
    for (int n = 0;; ++n) {
        if (n > kMostValues)
            return QString();
        QStringList conds;
        QVariantList binds;
        if (last.isValid()) {
            conds << col + QStringLiteral(" > ?");
            binds << last;
        } else if (!prefix.isEmpty()) {
            conds << col + QStringLiteral(" >= ?");
            binds << prefix;
        } else {
            conds << col + QStringLiteral(" IS NOT NULL");
        }
        if (!upper.isEmpty()) {
            conds << col + QStringLiteral(" < ?");
            binds << upper;
        }
        Stmt st(*this, QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
                           .arg(quoted(column), quoted(table), conds.join(QStringLiteral(" AND ")), col));
        for (int i = 0; i < binds.size(); ++i)
            st.bind(i + 1, binds[i]);
        if (!st.step())
            break;
        last = st.column(0);
        // Values equal for the collation fold alike, so one of them answers for all.
        if (jetLike(last.toString(), pattern))
            matching << QLatin1Char('\'') + sqlQuote(last.toString()) + QLatin1Char('\'');
    }
    return QStringLiteral("%1 IN (%2)").arg(col, joined(matching));
}

QString Database::seekableLikes(const QString& sql, const QString& table)
{
    static const QRegularExpression column(
        QStringLiteral("(?:\\b([A-Za-z_][A-Za-z0-9_]*)\\.)?\\b([A-Za-z_][A-Za-z0-9_]*)\\s*$"));
    QString out;
    int done = 0;
    for (int i = 0; i < sql.size(); ++i) {
        QString text;
        if (sql[i] == QLatin1Char('\'')) { // skip literals: a LIKE is never read inside one
            const int end = literalEnd(sql, i, &text);
            if (end < 0)
                break;
            i = end - 1;
            continue;
        }
        auto isWord = [](QChar ch) { return ch.isLetterOrNumber() || ch == QLatin1Char('_'); };
        if ((sql[i] != QLatin1Char('L') && sql[i] != QLatin1Char('l')) || (i > 0 && isWord(sql[i - 1]))
            || QStringView(sql).mid(i, 4).compare(QLatin1String("LIKE"), Qt::CaseInsensitive) != 0
            || (i + 4 < sql.size() && isWord(sql[i + 4])))
            continue;
        int literal = i + 4;
        while (literal < sql.size() && sql[literal].isSpace())
            ++literal;
        const int end = literalEnd(sql, literal, &text);
        const auto c = column.match(QStringView(sql).mid(done, i - done));
        if (end < 0 || !c.hasMatch() || c.captured(2).compare(QLatin1String("NOT"), Qt::CaseInsensitive) == 0
            || (!c.captured(1).isEmpty() && c.captured(1).compare(table, Qt::CaseInsensitive) != 0)
            || !leadingIndexColumns(table).contains(c.captured(2).toLower())) {
            continue;
        }
        const QString seek = seekableLike(c.captured(2), table, text);
        if (seek.isEmpty())
            continue;
        out += sql.mid(done, i - done - int(c.capturedLength(0))) + seek + QLatin1Char(' ');
        done = end;
        i = end - 1;
    }
    return out + sql.mid(done);
}

Database::~Database()
{
    // Kept for the next opening unless a transaction was left open (it is rolled back by the close).
    if (m_db && sqlite3_get_autocommit(m_db) && !m_opening) {
        idleConnections().put({m_path, m_device, m_inode, m_readOnly, m_db});
        m_db = nullptr;
    }
    Close();
}

void Database::Close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

sqlite3* Database::handle() const
{
    if (!m_db)
        throw DbError(DbError::CannotOpen, QStringLiteral("La base de données %1 est fermée.")
                                               .arg(QDir::toNativeSeparators(m_path)));
    return m_db;
}

void Database::exec(const QString& sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        throw engineError(sqlite3_extended_errcode(m_db), sql);
}

void Database::BeginTrans() { exec(QStringLiteral("BEGIN IMMEDIATE")); }
void Database::CommitTrans() { exec(QStringLiteral("COMMIT")); }
void Database::Rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        exec(QStringLiteral("ROLLBACK"));
}

std::shared_ptr<Recordset> Database::OpenRecordset(const QString& sql)
{
    return std::make_shared<Recordset>(shared_from_this(), sql);
}

// ---------------------------------------------------------------------------------------------- Recordset

namespace {

constexpr int kFirstPage = 64;
constexpr int kLargestPage = 16384;

DbError noCurrentRecord() { return DbError(DbError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours.")); }
DbError recordDeleted()
{
    return DbError(DbError::RecordDeleted, QStringLiteral("Ces données ont été supprimées sur un autre poste depuis "
                                                          "leur lecture."));
}
DbError notUpdatable()
{
    return DbError(DbError::NotUpdatable, QStringLiteral("Ce jeu d'enregistrements n'est pas modifiable"));
}

qint64 maxRowid(const Database& db, const QString& table)
{
    Stmt top(db, QStringLiteral("SELECT max(rowid) FROM %1").arg(quoted(table)));
    top.step();
    return top.column(0).toLongLong();
}

} // namespace

Recordset::Recordset(std::shared_ptr<Database> db, const QString& jetSql) : m_db(std::move(db))
{
    m_db->handle();
    m_sql = plannerHints(jetToSqlite(jetSql).trimmed(), m_db->indexed());
    while (m_sql.endsWith(QLatin1Char(';')))
        m_sql.chop(1);
    const int from = topLevel(m_sql, QLatin1String("FROM"));

    // A single table without grouping or aggregates is an updatable dynaset.
    static const QRegularExpression shape(
        QStringLiteral("^FROM\\s+\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?\\s*(?:$|\\b(?:WHERE|ORDER)\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression aggregate(QStringLiteral("\\b(COUNT|SUM|AVG|MIN|MAX|DISTINCT)\\b|\\bGROUP\\s+BY\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    auto m = from >= 0 ? shape.match(m_sql.mid(from)) : QRegularExpressionMatch();
    if (m.hasMatch()) {
        m_sql = m_db->seekableLikes(m_sql, m.captured(1));
        m = shape.match(m_sql.mid(from));
    }
    if (!m.hasMatch() || aggregate.match(m_sql).hasMatch()) {
        m_kind = Kind::Result;
        Stmt st(*m_db, m_sql);
        for (int i = 0, n = sqlite3_column_count(st.get()); i < n; ++i)
            m_columns << QString::fromUtf8(sqlite3_column_name(st.get(), i));
        for (int i = 0; i < m_columns.size(); ++i)
            m_index.emplace(m_columns[i].toLower(), i);
        // Grouped by one column of one table (the couples of the statistics): the groups are that column's
        // distinct values, counted without sorting the rows.
        static const QRegularExpression byColumn(
            QStringLiteral("^GROUP\\s+BY\\s+\\+?(?:[A-Za-z_][A-Za-z0-9_]*\\.)?([A-Za-z_][A-Za-z0-9_]*)$"),
            QRegularExpression::CaseInsensitiveOption);
        const int groupAt = topLevel(m_sql, QLatin1String("GROUP"), from);
        const auto g = m.hasMatch() && groupAt > 0 ? byColumn.match(m_sql.mid(groupAt)) : QRegularExpressionMatch();
        if (g.hasMatch() && m_index.count(g.captured(1).toLower())) {
            m_groupColumn = g.captured(1).toLower();
            m_groupSource = QStringLiteral("SELECT %1 %2").arg(quoted(g.captured(1)), m_sql.mid(from, groupAt - from));
        }
        return;
    }
    m_table = m.captured(1);
    {
        Stmt cols(*m_db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(quoted(m_table)));
        for (int i = 0, n = sqlite3_column_count(cols.get()); i < n; ++i)
            m_columns << QString::fromUtf8(sqlite3_column_name(cols.get(), i));
    }
    for (int i = 0; i < m_columns.size(); ++i)
        m_index.emplace(m_columns[i].toLower(), i);

    // The set's condition and order, read page by page when the order is plain columns.
    const int whereAt = topLevel(m_sql, QLatin1String("WHERE"), from);
    const int orderAt = topLevel(m_sql, QLatin1String("ORDER"), from);
    bool paged = true;
    for (const char* word : {"LIMIT", "UNION", "EXCEPT", "INTERSECT", "HAVING"})
        paged = paged && topLevel(m_sql, QLatin1String(word), from) < 0;
    if (whereAt >= 0)
        m_where = m_sql.mid(whereAt + 5, (orderAt > whereAt ? orderAt : int(m_sql.size())) - whereAt - 5).trimmed();
    if (orderAt >= 0) {
        static const QRegularExpression by(QStringLiteral("^ORDER\\s+BY\\s+"), QRegularExpression::CaseInsensitiveOption);
        const QString list = m_sql.mid(orderAt);
        const auto b = by.match(list);
        paged = paged && b.hasMatch();
        static const QRegularExpression item(
            QStringLiteral("^(?:\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?\\.)?\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?(?:\\s+(ASC|DESC))?$"),
            QRegularExpression::CaseInsensitiveOption);
        for (const QString& it : paged ? topLevelItems(list.mid(b.capturedEnd())) : QStringList()) {
            const auto c = item.match(it);
            const auto column = c.hasMatch() ? m_index.find(c.captured(2).toLower()) : m_index.end();
            if (column == m_index.end()
                || (!c.captured(1).isEmpty() && c.captured(1).compare(m_table, Qt::CaseInsensitive) != 0)) {
                paged = false;
                break;
            }
            m_order.push_back({m_columns[column->second],
                               c.captured(3).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0});
        }
    }
    if (!paged) {
        // An order the pages cannot follow: every rowid at once, in the query's order.
        m_kind = Kind::Keyset;
        m_order.clear();
        Stmt st(*m_db, QStringLiteral("SELECT %1.rowid %2").arg(quoted(m_table), m_sql.mid(from)));
        while (st.step())
            m_rows.push_back({sqlite3_column_int64(st.get(), 0), {}});
        m_started = m_atStart = m_atEnd = true;
        m_pos = m_rows.empty() ? -1 : 0;
        return;
    }
    m_maxId = maxRowid(*m_db, m_table);
}

Recordset::~Recordset() { sqlite3_finalize(m_rowStmt); }

QString Recordset::baseCondition() const
{
    // The rows of the query as it stood at the open: later rows (higher rowids) are not the set's. While
    // there are none, nothing needs leaving out.
    QStringList c;
    if (!m_where.isEmpty())
        c << QLatin1Char('(') + m_where + QLatin1Char(')');
    if (maxRowid(*m_db, m_table) > m_maxId)
        c << QStringLiteral("+%1.rowid <= %2").arg(quoted(m_table)).arg(m_maxId);
    return c.isEmpty() ? QStringLiteral("1") : c.join(QStringLiteral(" AND "));
}

QString Recordset::orderBy(bool forward) const
{
    QStringList items;
    for (const auto& o : m_order)
        items << quoted(o.name) + (o.descending == forward ? QStringLiteral(" DESC") : QString());
    items << quoted(m_table) + QStringLiteral(".rowid") + (forward ? QString() : QStringLiteral(" DESC"));
    return QStringLiteral(" ORDER BY ") + items.join(QStringLiteral(", "));
}

QString Recordset::keySelect() const
{
    QStringList cols{quoted(m_table) + QStringLiteral(".rowid")};
    for (const auto& o : m_order)
        cols << quoted(o.name);
    return QStringLiteral("SELECT %1 FROM %2 WHERE ").arg(cols.join(QLatin1Char(',')), quoted(m_table));
}

std::vector<Recordset::Key> Recordset::readKeys(const QString& sql, const QVariantList& binds, int limit) const
{
    std::vector<Key> keys;
    Stmt st(*m_db, sql + QStringLiteral(" LIMIT %1").arg(limit));
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds[i]);
    while (st.step()) {
        Key k{sqlite3_column_int64(st.get(), 0), {}};
        for (int i = 0; i < int(m_order.size()); ++i)
            k.order << st.column(i + 1);
        keys.push_back(std::move(k));
    }
    return keys;
}

int Recordset::fetch(bool forward) const
{
    int& page = forward ? m_forwardPage : m_backwardPage;
    page = page == 0 ? kFirstPage : std::min(page * 2, kLargestPage);
    const Key* edge = m_rows.empty() ? nullptr : forward ? &m_rows.back() : &m_rows.front();
    std::vector<Key> got;
    const QString base = baseCondition();
    if (!edge) {
        got = readKeys(keySelect() + base + orderBy(forward), {}, page);
    } else {
        // The rows after the edge in the set's order: the same leading values and a greater next one, from
        // the deepest column (the rowid) up, each part one seek through an index on the order's columns.
        const int k = int(m_order.size());
        for (int level = k; level >= 0 && int(got.size()) < page; --level) {
            QStringList equal;
            QVariantList binds;
            for (int i = 0; i < level; ++i) {
                equal << quoted(m_order[size_t(i)].name) + QStringLiteral(" IS ?");
                binds << edge->order[i];
            }
            QStringList after;
            QVariant value;
            if (level == k) {
                after << quoted(m_table) + (forward ? QStringLiteral(".rowid > ?") : QStringLiteral(".rowid < ?"));
                value = edge->id;
            } else {
                // Nulls come first in ascending order, last in descending.
                const QString c = quoted(m_order[size_t(level)].name);
                value = edge->order[level];
                const bool ascending = m_order[size_t(level)].descending != forward;
                if (ascending)
                    after << (value.isNull() ? c + QStringLiteral(" IS NOT NULL") : c + QStringLiteral(" > ?"));
                else if (!value.isNull())
                    after << c + QStringLiteral(" < ?") << c + QStringLiteral(" IS NULL");
            }
            for (const QString& a : after) {
                QVariantList b = binds;
                if (a.endsWith(QLatin1Char('?')))
                    b << value;
                QStringList conds = equal;
                conds << a << base;
                auto part = readKeys(keySelect() + conds.join(QStringLiteral(" AND ")) + orderBy(forward), b,
                                     page - int(got.size()));
                std::move(part.begin(), part.end(), std::back_inserter(got));
                if (int(got.size()) >= page)
                    break;
            }
        }
    }
    const bool end = int(got.size()) < page;
    const int n = int(got.size());
    // A row read already, met again where a change (here or elsewhere) has moved it, keeps its first place.
    for (Key& k : got)
        if (!m_ids.insert(k.id).second) {
            k.deleted = true;
            ++m_deleted;
        }
    if (forward) {
        std::move(got.begin(), got.end(), std::back_inserter(m_rows));
        m_atEnd = m_atEnd || end;
    } else {
        std::reverse(got.begin(), got.end());
        m_rows.insert(m_rows.begin(), std::make_move_iterator(got.begin()), std::make_move_iterator(got.end()));
        m_atStart = m_atStart || end;
    }
    return n;
}

void Recordset::resetRows(std::vector<Key> rows, bool atStart, bool atEnd) const
{
    for (const Key& k : m_rows)
        m_deleted -= k.deleted;
    m_cache.clear();
    m_rows = std::move(rows);
    m_ids.clear();
    for (const Key& k : m_rows)
        m_ids.insert(k.id);
    m_atStart = atStart;
    m_atEnd = atEnd;
    m_forwardPage = m_backwardPage = 0;
    m_rowLoaded = false;
    m_started = true;
}

void Recordset::loadResults() const
{
    Stmt st(*m_db, m_sql);
    while (st.step()) {
        QVariantList row;
        row.reserve(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            row << st.column(i);
        m_results.push_back(std::move(row));
        m_rows.push_back({qint64(m_results.size() - 1), {}});
    }
    m_atStart = m_atEnd = true;
}

bool Recordset::readGroups() const
{
    if (m_groupsRead || m_groupSource.isEmpty())
        return m_groupsRead;
    std::vector<qint64> seen;
    bool null = false;
    Stmt st(*m_db, m_groupSource);
    while (st.step()) {
        sqlite3_stmt* h = st.get();
        const int type = sqlite3_column_type(h, 0);
        const double d = type == SQLITE_FLOAT ? sqlite3_column_double(h, 0) : 0;
        if (type == SQLITE_INTEGER) {
            seen.push_back(sqlite3_column_int64(h, 0));
        } else if (type == SQLITE_NULL) {
            null = true;
        } else if (type == SQLITE_FLOAT && d == std::floor(d) && std::abs(d) < 9e15) {
            seen.push_back(qint64(d)); // 5.0 and 5 make one group
        } else {
            m_groupSource.clear(); // texts group by their collation: leave that to the engine
            return false;
        }
    }
    if (null)
        m_groups << QVariant();
    if (!seen.empty()) {
        // Couple numbers lie close together: marked in a bitmap they come out sorted and once each.
        const auto [lo, hi] = std::minmax_element(seen.begin(), seen.end());
        const qint64 low = *lo;
        const quint64 span = quint64(*hi - *lo) + 1;
        if (span <= std::max<quint64>(quint64(seen.size()) * 16, 1u << 20)) {
            std::vector<bool> marked(span);
            for (qint64 v : seen)
                marked[size_t(v - low)] = true;
            for (size_t i = 0; i < span; ++i)
                if (marked[i])
                    m_groups << QVariant(qlonglong(low + qint64(i)));
        } else {
            std::sort(seen.begin(), seen.end());
            seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
            for (qint64 v : seen)
                m_groups << QVariant(qlonglong(v));
        }
    }
    m_groupsRead = true;
    return true;
}

bool Recordset::readWhole(int most) const
{
    // Every column of every row at once, in the set's order, when there are few: the columns asked next
    // (the names after the numbers) come from memory instead of a seek per row each.
    std::vector<int> order;
    for (const auto& o : m_order)
        order.push_back(m_index.at(o.name.toLower()));
    Stmt st(*m_db, QStringLiteral("SELECT %1.rowid, * FROM %1 WHERE %2%3 LIMIT %4")
                       .arg(quoted(m_table), baseCondition(), orderBy(true))
                       .arg(most + 1));
    std::vector<Key> rows;
    std::vector<QVariantList> values;
    while (st.step()) {
        if (int(rows.size()) == most)
            return false;
        QVariantList row;
        row.reserve(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            row << st.column(i + 1);
        Key k{sqlite3_column_int64(st.get(), 0), {}};
        for (int i : order)
            k.order << row[i];
        rows.push_back(std::move(k));
        values.push_back(std::move(row));
    }
    resetRows(std::move(rows), true, true);
    m_cache = std::move(values);
    m_pos = total() == 0 ? -1 : nextLive(-1);
    return true;
}

void Recordset::start() const
{
    if (m_started)
        return;
    m_started = true;
    if (m_kind == Kind::Result) {
        loadResults();
    } else {
        m_atStart = true;
        fetch(true);
    }
    m_pos = nextLive(-1);
    if (m_pos >= total() && total() == 0)
        m_pos = -1;
}

Recordset::Key& Recordset::keyAt(int i) const
{
    return i < int(m_rows.size()) ? m_rows[size_t(i)] : m_added[size_t(i) - m_rows.size()];
}

int Recordset::nextLive(int from) const
{
    for (int i = from + 1;;) {
        if (i < int(m_rows.size())) {
            if (!m_rows[size_t(i)].deleted)
                return i;
            ++i;
        } else if (!m_atEnd) {
            fetch(true); // appends rows, or finds the end
        } else if (i >= total()) {
            return total();
        } else if (!keyAt(i).deleted) {
            return i;
        } else {
            ++i;
        }
    }
}

int Recordset::previousLive(int from) const
{
    for (int i = std::min(from, total()) - 1;;) {
        if (i >= 0) {
            if (!keyAt(i).deleted)
                return i;
            --i;
        } else if (m_atStart) {
            return -1;
        } else {
            i += fetch(false); // the rows read before the first move every index
        }
    }
}

bool Recordset::isBOF() const
{
    start();
    return live() == 0 && complete() ? true : m_pos < 0;
}

bool Recordset::isEOF() const
{
    start();
    return live() == 0 && complete() ? true : m_pos >= total();
}

int Recordset::position() const
{
    start();
    return m_pos;
}

qint64 Recordset::RecordCount() const
{
    if (m_started && complete())
        return live();
    if (m_kind == Kind::Result) {
        if (!m_started && readGroups())
            return qint64(m_groups.size());
        if (m_count < 0) {
            Stmt st(*m_db, QStringLiteral("SELECT count(*) FROM (%1)").arg(m_sql));
            st.step();
            m_count = st.column(0).toLongLong();
        }
        return m_count;
    }
    if (m_count < 0) {
        Stmt st(*m_db, QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(quoted(m_table), baseCondition()));
        st.step();
        m_count = st.column(0).toLongLong();
    }
    qint64 added = 0;
    for (const Key& k : m_added)
        added += !k.deleted;
    return m_count + added;
}

void Recordset::requireCurrent() const
{
    start();
    if (m_pos >= 0 && m_pos < total() && keyAt(m_pos).deleted)
        throw recordDeleted();
    if (isBOF() || isEOF())
        throw noCurrentRecord();
}

int Recordset::columnIndex(const QString& name) const
{
    const auto it = m_index.find(name.toLower());
    if (it == m_index.end())
        throw DbError(DbError::ItemNotFound, QStringLiteral("Élément non trouvé dans cette collection : %1").arg(name));
    return it->second;
}

void Recordset::loadRow() const
{
    if (m_rowLoaded)
        return;
    const qint64 id = keyAt(m_pos).id;
    if (m_kind == Kind::Result) {
        m_row = m_results[size_t(id)];
    } else {
        sqlite3* h = m_db->handle();
        if (!m_rowStmt) {
            const QString sql = QStringLiteral("SELECT * FROM %1 WHERE rowid=?").arg(quoted(m_table));
            const QByteArray utf8 = sql.toUtf8();
            const int rc = sqlite3_prepare_v2(h, utf8.constData(), int(utf8.size()), &m_rowStmt, nullptr);
            if (rc != SQLITE_OK)
                throw m_db->engineError(rc, sql);
        }
        // Reset at once after the read: a statement left open would hold the file's shared lock.
        struct Reset {
            sqlite3_stmt* st;
            ~Reset() { sqlite3_reset(st); }
        } reset{m_rowStmt};
        sqlite3_bind_int64(m_rowStmt, 1, id);
        const int rc = sqlite3_step(m_rowStmt);
        if (rc == SQLITE_DONE)
            throw recordDeleted();
        if (rc != SQLITE_ROW)
            throw m_db->engineError(rc);
        m_row.clear();
        for (int i = 0; i < m_columns.size(); ++i)
            m_row << columnValue(m_rowStmt, i);
    }
    m_rowLoaded = true;
}

QVariant Recordset::Fields(const QString& name) const
{
    const int i = columnIndex(name);
    if (m_editMode != EditMode::None) {
        for (const auto& [k, v] : m_pending)
            if (k.compare(name, Qt::CaseInsensitive) == 0)
                return v;
        if (m_editMode == EditMode::AddNew)
            return QVariant();
    }
    requireCurrent();
    loadRow();
    return m_row.value(i);
}

QVariantList Recordset::columnValues(const QString& name) const
{
    const int col = columnIndex(name);
    QVariantList out;
    if (m_kind == Kind::Result) {
        if (m_started) {
            for (const Key& k : m_rows)
                out << m_results[size_t(k.id)].value(col);
        } else if (m_columns[col].toLower() == m_groupColumn && readGroups()) {
            out = m_groups;
        } else {
            Stmt st(*m_db, m_sql);
            while (st.step())
                out << st.column(col);
        }
        return out;
    }
    const QString stream = m_started ? QString()
                                     : QStringLiteral("SELECT %1 FROM %2 WHERE %3%4")
                                           .arg(quoted(m_columns[col]), quoted(m_table), baseCondition(), orderBy(true));
    constexpr int kReadWhole = 10000;
    if (!m_started && m_count <= kReadWhole && !m_db->covered(stream))
        readWhole(kReadWhole);
    std::vector<qint64> ids;
    if (m_started && complete() && !m_cache.empty()) {
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (!m_rows[i].deleted)
                out << m_cache[i].value(col);
    } else if (m_started && complete()) {
        for (const Key& k : m_rows)
            if (!k.deleted)
                ids.push_back(k.id);
    } else {
        // Not read yet: one pass in the set's order.
        Stmt st(*m_db, stream);
        while (st.step())
            out << st.column(0);
    }
    for (const Key& k : m_added)
        if (!k.deleted)
            ids.push_back(k.id);
    if (ids.empty())
        return out;
    std::unordered_map<qint64, QVariant> values;
    values.reserve(ids.size());
    // Keys by slices, so that the statement stays far below SQLite's length limit on any table size.
    constexpr size_t kSlice = 10000;
    for (size_t from = 0; from < ids.size(); from += kSlice) {
        QStringList keys;
        for (size_t i = from; i < std::min(ids.size(), from + kSlice); ++i)
            keys << QString::number(ids[i]);
        Stmt st(*m_db, QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid IN (%3)")
                           .arg(quoted(m_columns[col]), quoted(m_table), joined(keys)));
        while (st.step())
            values.emplace(sqlite3_column_int64(st.get(), 0), st.column(1));
    }
    out.reserve(out.size() + qsizetype(ids.size()));
    for (qint64 k : ids) {
        const auto it = values.find(k);
        out << (it == values.end() ? QVariant() : it->second);
    }
    return out;
}

QString Recordset::text(const QString& name) const
{
    const QVariant v = Fields(name);
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double)
        return platform::numberText(v.toDouble());
    return v.toString();
}

void Recordset::setField(const QString& name, const QVariant& value)
{
    if (m_editMode == EditMode::None)
        throw DbError(DbError::UpdateWithoutEdit, QStringLiteral("Mise à jour sans AddNew ni Edit"));
    columnIndex(name);
    for (auto& [k, v] : m_pending)
        if (k.compare(name, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    m_pending.emplace_back(name, value);
}

void Recordset::AddNew()
{
    if (!updatable())
        throw notUpdatable();
    m_pending.clear();
    m_editMode = EditMode::AddNew;
}

void Recordset::Edit()
{
    if (!updatable())
        throw notUpdatable();
    requireCurrent();
    loadRow(); // what the update checks the row against, unless read already
    m_pending.clear();
    m_editMode = EditMode::Edit;
}

void Recordset::CancelUpdate()
{
    m_pending.clear();
    m_editMode = EditMode::None;
}

QString Recordset::readRowCondition(WriteCheck check, QVariantList& binds) const
{
    QStringList conds{QStringLiteral("rowid=?")};
    binds = {keyAt(m_pos).id};
    const QStringList keys = rowKeyColumns(m_table);
    for (int i = 0; i < m_columns.size(); ++i) {
        if (check == WriteCheck::SameRow && !keys.contains(m_columns[i], Qt::CaseInsensitive))
            continue;
        const QVariant& v = m_row.value(i);
        // Compared byte for byte: a change of case or accent by another workstation is a change.
        conds << quoted(m_columns[i])
                + (v.typeId() == QMetaType::QString ? QStringLiteral(" IS (? COLLATE BINARY)") : QStringLiteral(" IS ?"));
        binds << v;
    }
    return conds.join(QStringLiteral(" AND "));
}

DbError Recordset::writeRefused(WriteCheck check) const
{
    if (check == WriteCheck::Unchanged) {
        QVariantList binds;
        Stmt st(*m_db, QStringLiteral("SELECT 1 FROM %1 WHERE %2")
                           .arg(quoted(m_table), readRowCondition(WriteCheck::SameRow, binds)));
        for (int i = 0; i < binds.size(); ++i)
            st.bind(i + 1, binds[i]);
        if (st.step())
            return DbError(DbError::RowChanged, QStringLiteral("Ces données ont été modifiées sur un autre poste "
                                                               "depuis leur lecture."));
    }
    return recordDeleted();
}

void Recordset::Update(WriteCheck check)
{
    if (m_editMode == EditMode::None)
        throw DbError(DbError::UpdateWithoutEdit, QStringLiteral("Mise à jour sans AddNew ni Edit"));
    sqlite3* h = m_db->handle();
    m_cache.clear(); // read again after what is written now
    QStringList names;
    for (const auto& [k, v] : m_pending)
        names << quoted(k);
    if (m_editMode == EditMode::AddNew) {
        const QString sql = names.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_table))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(m_table), joined(names), joined(QStringList(names.size(), QStringLiteral("?"))));
        Stmt st(*m_db, sql);
        for (int i = 0; i < int(m_pending.size()); ++i)
            st.bind(i + 1, m_pending[size_t(i)].second);
        const bool wasEmpty = m_started && complete() && live() == 0;
        st.step();
        // The new row joins the set at its end; the current row stays where it was.
        m_added.push_back({sqlite3_last_insert_rowid(h), {}});
        if (wasEmpty)
            m_pos = total() - 1;
    } else if (!m_pending.empty()) {
        QStringList sets;
        for (const QString& n : names)
            sets << n + QStringLiteral("=?");
        QVariantList binds;
        for (const auto& [k, v] : m_pending)
            binds << v;
        QVariantList rowBinds;
        const QString row = readRowCondition(check, rowBinds);
        Stmt st(*m_db, QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(quoted(m_table), joined(sets), row));
        binds << rowBinds;
        for (int i = 0; i < binds.size(); ++i)
            st.bind(i + 1, binds[i]);
        st.step();
        // Nothing stored: the row went or changed meanwhile (another workstation); the edit stays pending.
        if (sqlite3_changes(h) == 0)
            throw writeRefused(check);
        m_rowLoaded = false;
    }
    m_pending.clear();
    m_editMode = EditMode::None;
}

void Recordset::Delete(WriteCheck check)
{
    if (!updatable())
        throw notUpdatable();
    requireCurrent();
    loadRow();
    m_cache.clear();
    QVariantList binds;
    Stmt st(*m_db, QStringLiteral("DELETE FROM %1 WHERE %2").arg(quoted(m_table), readRowCondition(check, binds)));
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds[i]);
    st.step();
    if (sqlite3_changes(m_db->handle()) == 0)
        throw writeRefused(check);
    // The key stays where it stood, flagged: the moves go on from it to its neighbours.
    keyAt(m_pos).deleted = true;
    ++m_deleted;
    if (m_pos < int(m_rows.size()) && m_count > 0)
        --m_count;
    m_rowLoaded = false;
    m_editMode = EditMode::None;
}

bool Recordset::findAmongAdded(const QString& condition)
{
    QStringList ids;
    for (const Key& k : m_added)
        if (!k.deleted)
            ids << QString::number(k.id);
    if (ids.isEmpty())
        return false;
    std::unordered_set<qint64> matches;
    Stmt st(*m_db, QStringLiteral("SELECT rowid FROM %1 WHERE rowid IN (%2) AND (%3)")
                       .arg(quoted(m_table), joined(ids), condition));
    while (st.step())
        matches.insert(sqlite3_column_int64(st.get(), 0));
    for (size_t j = 0; j < m_added.size(); ++j)
        if (!m_added[j].deleted && matches.count(m_added[j].id)) {
            // Past the set's last row: the rows before it are read from the end when the user moves back.
            if (!m_atEnd)
                resetRows({}, false, true);
            m_pos = int(m_rows.size() + j);
            return true;
        }
    return false;
}

void Recordset::FindFirst(const QString& criteria)
{
    if (!updatable())
        throw DbError(DbError::NotUpdatable, QStringLiteral("Recherche impossible sur ce jeu d'enregistrements"));
    const QString condition = jetToSqlite(criteria);
    m_noMatch = false;
    m_rowLoaded = false;
    if (m_kind == Kind::Keyset) {
        std::unordered_set<qint64> matches;
        Stmt st(*m_db, QStringLiteral("SELECT rowid FROM %1 WHERE %2").arg(quoted(m_table), condition));
        while (st.step())
            matches.insert(sqlite3_column_int64(st.get(), 0));
        for (int i = 0; i < total(); ++i)
            if (!keyAt(i).deleted && matches.count(keyAt(i).id)) {
                m_pos = i;
                return;
            }
        m_noMatch = true;
        return;
    }
    // The first row of the set that matches, sought through the indexes when the criterion allows it.
    auto found = readKeys(keySelect() + baseCondition() + QStringLiteral(" AND (") + condition + QLatin1Char(')')
                              + orderBy(true),
                          {}, 1);
    if (!found.empty()) {
        if (m_started && complete()) {
            for (int i = 0; i < int(m_rows.size()); ++i)
                if (!m_rows[size_t(i)].deleted && m_rows[size_t(i)].id == found.front().id) {
                    m_pos = i;
                    return;
                }
        }
        resetRows(std::move(found), false, false);
        m_pos = 0;
        return;
    }
    if (!findAmongAdded(condition))
        m_noMatch = true;
}

void Recordset::MoveFirst()
{
    start();
    if (live() == 0 && complete())
        throw noCurrentRecord();
    if (!m_atStart)
        resetRows({}, true, false);
    m_pos = nextLive(-1);
    m_rowLoaded = false;
    if (m_pos >= total())
        throw noCurrentRecord();
}

void Recordset::MoveLast()
{
    start();
    if (live() == 0 && complete())
        throw noCurrentRecord();
    if (!m_atEnd)
        resetRows({}, false, true);
    m_pos = previousLive(total());
    m_rowLoaded = false;
    if (m_pos < 0)
        throw noCurrentRecord();
}

void Recordset::MoveNext()
{
    start();
    const bool fromDeleted = m_pos >= 0 && m_pos < total() && keyAt(m_pos).deleted;
    if (!fromDeleted && isEOF())
        throw noCurrentRecord();
    // From a deleted row, its successor becomes current.
    m_pos = nextLive(m_pos);
    m_rowLoaded = false;
}

void Recordset::MovePrevious()
{
    start();
    const bool fromDeleted = m_pos >= 0 && m_pos < total() && keyAt(m_pos).deleted;
    if (!fromDeleted && isBOF())
        throw noCurrentRecord();
    m_pos = previousLive(m_pos);
    m_rowLoaded = false;
}

// ---------------------------------------------------------------------------------------------- DataControl

void DataControl::Refresh()
{
    if (!m_db || !m_db->isOpen() || m_db->path() != DatabaseName)
        m_db = Database::open(DatabaseName);
    m_rs = m_db->OpenRecordset(RecordSource);
}

} // namespace data
