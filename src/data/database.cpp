#include "data/database.h"

#include "data/jetsql.h"
#include "platform/conversions.h"

#include <QFileInfo>
#include <algorithm>
#include <QRegularExpression>
#include <cmath>
#include <sqlite3.h>

namespace data {

DbError::DbError(int code, const QString& message)
    : std::runtime_error(QStringLiteral("%1: %2").arg(code).arg(message).toStdString()), m_code(code),
      m_message(message)
{
}

namespace {

const char* const kTables[] = {"CIVILITES", "FICHE", "EXAMENS", "GROSSESSE", "OPTIONS"};

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

// A prepared statement that finalizes itself.
class Stmt {
public:
    Stmt(sqlite3* db, const QString& sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
            throw DbError(DbError::SqlError, QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(" — ") + sql);
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

    bool step(sqlite3* db)
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw DbError(DbError::SqlError, QString::fromUtf8(sqlite3_errmsg(db)));
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
    sqlite3_stmt* m_stmt = nullptr;
};

// Where the top-level FROM starts, or -1; quotes and parentheses are skipped.
int topLevelFrom(const QString& sql)
{
    int depth = 0;
    const int n = int(sql.size());
    for (int i = 0; i < n; ++i) {
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
        } else if (depth == 0 && (c == QLatin1Char('F') || c == QLatin1Char('f'))
                   && sql.mid(i, 4).compare(QLatin1String("FROM"), Qt::CaseInsensitive) == 0
                   && (i == 0 || !sql[i - 1].isLetterOrNumber())
                   && (i + 4 >= n || !(sql[i + 4].isLetterOrNumber() || sql[i + 4] == QLatin1Char('_')))) {
            return i;
        }
    }
    return -1;
}

// Keeps SQLite's planner from two index plans that cost one table seek per row read: a range of more than a
// year on a bare column (the statistics' periods cover most of the cycle table, which a plain scan reads
// once), and a grouping in index order (reading the table once and sorting what it selects is quicker).
// A "+" before the column changes no result, only the plan.
QString plannerHints(QString sql)
{
    static const QRegularExpression wideRange(
        QStringLiteral("(^|[\\s(])([A-Za-z_][A-Za-z0-9_.]*)(\\s+BETWEEN\\s+(-?\\d+(?:\\.\\d+)?)\\s+AND\\s+(-?\\d+(?:\\.\\d+)?))"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = wideRange.globalMatch(sql); it.hasNext();) {
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

} // namespace

// ---------------------------------------------------------------------------------------------- Database

std::shared_ptr<Database> Database::open(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw DbError(DbError::CannotOpen, QStringLiteral("Fichier introuvable : %1").arg(path));
    sqlite3* db = nullptr;
    const QByteArray utf8 = path.toUtf8();
    if (sqlite3_open_v2(utf8.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("?");
        sqlite3_close(db);
        throw DbError(DbError::CannotOpen, QStringLiteral("%1 : %2").arg(path, msg));
    }
    std::shared_ptr<Database> d(new Database());
    d->m_db = db;
    d->m_path = path;
    // Several workstations share the file: wait for a lock rather than fail, and keep the rollback journal
    // (WAL needs shared memory, which network shares do not give).
    sqlite3_busy_timeout(db, 10000);
    installJetFunctions(db);
    try {
        d->exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        d->exec(QStringLiteral("PRAGMA cache_size=-65536"));
        Stmt st(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
        QStringList names;
        while (st.step(db))
            names << st.column(0).toString().toUpper();
        for (const char* t : kTables)
            if (!names.contains(QLatin1String(t)))
                throw DbError(DbError::NotADatabase,
                              QStringLiteral("La table %1 manque dans %2").arg(QLatin1String(t), path));
    } catch (const DbError& e) {
        d->Close();
        if (e.code() == DbError::NotADatabase)
            throw;
        throw DbError(DbError::NotADatabase, QStringLiteral("%1 n'est pas une base de données valide").arg(path));
    }
    return d;
}

Database::~Database() { Close(); }

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
        throw DbError(DbError::CannotOpen, QStringLiteral("Base de données fermée"));
    return m_db;
}

void Database::exec(const QString& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(handle(), sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : "?");
        sqlite3_free(err);
        throw DbError(DbError::SqlError, msg);
    }
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

Recordset::Recordset(std::shared_ptr<Database> db, const QString& jetSql) : m_db(std::move(db))
{
    sqlite3* h = m_db->handle();
    const QString sql = plannerHints(jetToSqlite(jetSql).trimmed());
    const int from = topLevelFrom(sql);

    // A single table without grouping or aggregates is an updatable dynaset: keep its rowids in query order.
    static const QRegularExpression shape(
        QStringLiteral("^FROM\\s+\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?\\s*(?:$|;|\\b(?:WHERE|ORDER)\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression aggregate(QStringLiteral("\\b(COUNT|SUM|AVG|MIN|MAX|DISTINCT)\\b|\\bGROUP\\s+BY\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    const auto m = from >= 0 ? shape.match(sql.mid(from)) : QRegularExpressionMatch();
    if (m.hasMatch() && !aggregate.match(sql).hasMatch()) {
        m_table = m.captured(1);
        {
            Stmt st(h, QStringLiteral("SELECT \"%1\".rowid %2").arg(m_table, sql.mid(from)));
            while (st.step(h))
                m_keys.push_back(sqlite3_column_int64(st.get(), 0));
        }
        Stmt cols(h, QStringLiteral("SELECT * FROM \"%1\" LIMIT 0").arg(m_table));
        for (int i = 0, n = sqlite3_column_count(cols.get()); i < n; ++i)
            m_columns << QString::fromUtf8(sqlite3_column_name(cols.get(), i));
    } else {
        Stmt st(h, sql);
        for (int i = 0, n = sqlite3_column_count(st.get()); i < n; ++i)
            m_columns << QString::fromUtf8(sqlite3_column_name(st.get(), i));
        while (st.step(h)) {
            QVariantList row;
            row.reserve(m_columns.size());
            for (int i = 0; i < m_columns.size(); ++i)
                row << st.column(i);
            m_snapshot.push_back(std::move(row));
            m_keys.push_back(qint64(m_snapshot.size() - 1));
        }
    }
    for (int i = 0; i < m_columns.size(); ++i)
        m_index.emplace(m_columns[i].toLower(), i);
    m_pos = m_keys.empty() ? -1 : 0;
}

Recordset::~Recordset() { sqlite3_finalize(m_rowStmt); }

bool Recordset::isBOF() const { return m_keys.empty() || m_pos < 0; }
bool Recordset::isEOF() const { return m_keys.empty() || m_pos >= int(m_keys.size()); }

void Recordset::requireCurrent() const
{
    if (m_currentDeleted)
        throw DbError(DbError::RecordDeleted, QStringLiteral("Enregistrement supprimé"));
    if (isBOF() || isEOF())
        throw DbError(DbError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
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
    if (m_table.isEmpty()) {
        m_row = m_snapshot[size_t(m_keys[size_t(m_pos)])];
    } else {
        sqlite3* h = m_db->handle();
        if (!m_rowStmt) {
            const QByteArray sql = QStringLiteral("SELECT * FROM \"%1\" WHERE rowid=?").arg(m_table).toUtf8();
            if (sqlite3_prepare_v2(h, sql.constData(), int(sql.size()), &m_rowStmt, nullptr) != SQLITE_OK)
                throw DbError(DbError::SqlError, QString::fromUtf8(sqlite3_errmsg(h)));
        }
        // Reset at once after the read: a statement left open would hold the file's shared lock.
        struct Reset {
            sqlite3_stmt* st;
            ~Reset() { sqlite3_reset(st); }
        } reset{m_rowStmt};
        sqlite3_bind_int64(m_rowStmt, 1, m_keys[size_t(m_pos)]);
        const int rc = sqlite3_step(m_rowStmt);
        if (rc == SQLITE_DONE)
            throw DbError(DbError::RecordDeleted, QStringLiteral("Enregistrement supprimé"));
        if (rc != SQLITE_ROW)
            throw DbError(DbError::SqlError, QString::fromUtf8(sqlite3_errmsg(h)));
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
    out.reserve(qsizetype(m_keys.size()));
    if (m_table.isEmpty()) {
        for (qint64 k : m_keys)
            out << m_snapshot[size_t(k)].value(col);
        return out;
    }
    if (m_keys.empty())
        return out;
    sqlite3* h = m_db->handle();
    std::unordered_map<qint64, QVariant> values;
    values.reserve(m_keys.size());
    // Keys by slices, so that the statement stays far below SQLite's length limit on any table size.
    constexpr size_t kSlice = 10000;
    for (size_t from = 0; from < m_keys.size(); from += kSlice) {
        QStringList keys;
        for (size_t i = from; i < std::min(m_keys.size(), from + kSlice); ++i)
            keys << QString::number(m_keys[i]);
        Stmt st(h, QStringLiteral("SELECT rowid, \"%1\" FROM \"%2\" WHERE rowid IN (%3)")
                       .arg(m_columns[col], m_table, keys.join(QLatin1Char(','))));
        while (st.step(h))
            values.emplace(sqlite3_column_int64(st.get(), 0), st.column(1));
    }
    for (qint64 k : m_keys) {
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
        throw DbError(DbError::NotUpdatable, QStringLiteral("Ce jeu d'enregistrements n'est pas modifiable"));
    m_pending.clear();
    m_editMode = EditMode::AddNew;
}

void Recordset::Edit()
{
    if (!updatable())
        throw DbError(DbError::NotUpdatable, QStringLiteral("Ce jeu d'enregistrements n'est pas modifiable"));
    requireCurrent();
    m_pending.clear();
    m_editMode = EditMode::Edit;
}

void Recordset::CancelUpdate()
{
    m_pending.clear();
    m_editMode = EditMode::None;
}

void Recordset::Update()
{
    if (m_editMode == EditMode::None)
        throw DbError(DbError::UpdateWithoutEdit, QStringLiteral("Mise à jour sans AddNew ni Edit"));
    sqlite3* h = m_db->handle();
    QStringList names;
    for (const auto& [k, v] : m_pending)
        names << QStringLiteral("\"%1\"").arg(k);
    if (m_editMode == EditMode::AddNew) {
        const QString sql = names.isEmpty()
            ? QStringLiteral("INSERT INTO \"%1\" DEFAULT VALUES").arg(m_table)
            : QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                  .arg(m_table, names.join(QLatin1Char(',')),
                       QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        Stmt st(h, sql);
        for (int i = 0; i < int(m_pending.size()); ++i)
            st.bind(i + 1, m_pending[size_t(i)].second);
        st.step(h);
        // The new row joins the set at its end; the current row stays where it was.
        m_keys.push_back(sqlite3_last_insert_rowid(h));
        if (m_pos < 0 && m_keys.size() == 1)
            m_pos = 0;
    } else if (!m_pending.empty()) {
        QStringList sets;
        for (const QString& n : names)
            sets << n + QStringLiteral("=?");
        Stmt st(h, QStringLiteral("UPDATE \"%1\" SET %2 WHERE rowid=?").arg(m_table, sets.join(QLatin1Char(','))));
        int i = 1;
        for (const auto& [k, v] : m_pending)
            st.bind(i++, v);
        sqlite3_bind_int64(st.get(), i, m_keys[size_t(m_pos)]);
        st.step(h);
        m_rowLoaded = false;
        // The row went meanwhile (another workstation): nothing was stored, and the edit stays pending.
        if (sqlite3_changes(h) == 0)
            throw DbError(DbError::RecordDeleted, QStringLiteral("Enregistrement supprimé"));
    }
    m_pending.clear();
    m_editMode = EditMode::None;
}

void Recordset::Delete()
{
    if (!updatable())
        throw DbError(DbError::NotUpdatable, QStringLiteral("Ce jeu d'enregistrements n'est pas modifiable"));
    requireCurrent();
    sqlite3* h = m_db->handle();
    Stmt st(h, QStringLiteral("DELETE FROM \"%1\" WHERE rowid=?").arg(m_table));
    sqlite3_bind_int64(st.get(), 1, m_keys[size_t(m_pos)]);
    st.step(h);
    m_keys.erase(m_keys.begin() + m_pos);
    m_currentDeleted = true;
    m_rowLoaded = false;
    m_editMode = EditMode::None;
}

void Recordset::FindFirst(const QString& criteria)
{
    std::unordered_set<qint64> matches;
    sqlite3* h = m_db->handle();
    if (updatable()) {
        Stmt st(h, QStringLiteral("SELECT rowid FROM \"%1\" WHERE %2").arg(m_table, jetToSqlite(criteria)));
        while (st.step(h))
            matches.insert(sqlite3_column_int64(st.get(), 0));
    } else {
        throw DbError(DbError::NotUpdatable, QStringLiteral("Recherche impossible sur ce jeu d'enregistrements"));
    }
    for (size_t i = 0; i < m_keys.size(); ++i) {
        if (matches.count(m_keys[i])) {
            m_pos = int(i);
            m_currentDeleted = false;
            m_rowLoaded = false;
            m_noMatch = false;
            return;
        }
    }
    m_noMatch = true;
}

void Recordset::MoveFirst()
{
    if (m_keys.empty())
        throw DbError(DbError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
    m_pos = 0;
    m_currentDeleted = false;
    m_rowLoaded = false;
}

void Recordset::MoveLast()
{
    if (m_keys.empty())
        throw DbError(DbError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
    m_pos = int(m_keys.size()) - 1;
    m_currentDeleted = false;
    m_rowLoaded = false;
}

void Recordset::MoveNext()
{
    if (m_currentDeleted) {
        // The deleted row's successor already stands at its index.
        m_currentDeleted = false;
        m_rowLoaded = false;
        if (m_pos > int(m_keys.size()))
            m_pos = int(m_keys.size());
        return;
    }
    if (isEOF())
        throw DbError(DbError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
    ++m_pos;
    m_rowLoaded = false;
}

void Recordset::MovePrevious()
{
    if (m_currentDeleted) {
        m_currentDeleted = false;
        m_rowLoaded = false;
        --m_pos;
        return;
    }
    if (isBOF())
        throw DbError(DbError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
    --m_pos;
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
