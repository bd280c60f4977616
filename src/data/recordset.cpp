#include "data/recordset.h"

#include "data/database.h"
#include "data/jetsql.h"
#include "data/schema.h"
#include "data/sqltext.h"
#include "data/statement.h"
#include "platform/conversions.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <cmath>
#include <sqlite3.h>

namespace data {

using namespace sqltext;

namespace {

constexpr int kFirstPage = 64;
constexpr int kLargestPage = 16384;
// Values kept of a stretch read whole (rows times columns), and how long they stand for the file.
constexpr int kPageCells = 65536;
constexpr qint64 kPageFreshMs = 1000;

qint64 maxRowid(Database& db, const QString& table)
{
    Stmt top(db, QStringLiteral("SELECT max(rowid) FROM %1").arg(quoted(table)));
    top.step();
    return top.column(0).toLongLong();
}

} // namespace

Recordset::Recordset(std::shared_ptr<Database> db, const QString& jetSql) : m_db(std::move(db))
{
    m_db->connection();
    m_epoch = m_db->fileEpoch();
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

QString Recordset::keySelect(bool withRows) const
{
    QStringList cols{quoted(m_table) + QStringLiteral(".rowid")};
    for (const auto& o : m_order)
        cols << quoted(o.name);
    if (withRows)
        cols << quoted(m_table) + QStringLiteral(".*");
    return QStringLiteral("SELECT %1 FROM %2 WHERE ").arg(cols.join(QLatin1Char(',')), quoted(m_table));
}

std::vector<Recordset::Key> Recordset::readKeys(const QString& sql, const QVariantList& binds, int limit) const
{
    std::vector<Key> keys;
    readKeys(sql, binds, limit, false, keys);
    return keys;
}

void Recordset::readKeys(const QString& sql, const QVariantList& binds, int limit, bool withRows,
                         std::vector<Key>& into) const
{
    into.reserve(into.size() + size_t(std::min(limit, kLargestPage)));
    if (withRows)
        m_page.reserve(m_page.size() + size_t(std::min(limit, kLargestPage)));
    Stmt st(*m_db, sql + QStringLiteral(" LIMIT %1").arg(limit));
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds[i]);
    const int first = 1 + int(m_order.size());
    while (st.step()) {
        Key& k = into.emplace_back(Key{sqlite3_column_int64(st.get(), 0), {}});
        for (int i = 0; i < int(m_order.size()); ++i)
            k.order << st.column(i + 1);
        if (withRows) {
            QVariantList row;
            row.reserve(m_columns.size());
            for (int i = 0; i < m_columns.size(); ++i)
                row << st.column(first + i);
            m_page.push_back(std::move(row));
        }
    }
}

bool Recordset::pageFresh() const
{
    return writesSoFar() == m_pageWrites && m_db->fileChanges() == m_pageChanges && m_db->fileEpoch() == m_epoch
        && monotonicMs() - m_pageRead < kPageFreshMs;
}

bool Recordset::inFreshPage(int i) const
{
    const qsizetype at = qsizetype(i) - m_pageFirst;
    return at >= 0 && at < qsizetype(m_page.size()) && i < int(m_rows.size()) && pageFresh();
}

void Recordset::follow(bool look) const
{
    if (look)
        m_db->connection();
    else if (m_db->fileEpoch() == m_epoch && !m_stale)
        return; // a walk over rows in memory: nothing to take in
    if (m_db->fileEpoch() != m_epoch) {
        m_epoch = m_db->fileEpoch();
        m_page.clear();
        m_cache.clear();
        m_count = -1;
        if (m_kind == Kind::Keyset) {
            m_stale = true;
        } else if (m_kind == Kind::Paged) {
            m_added.clear();
            if (m_started) {
                // The current row is kept by what it held; the rows around it are read from the file in place.
                std::vector<Key> kept;
                if (m_pos >= 0 && m_pos < int(m_rows.size()) && !m_rows[size_t(m_pos)].deleted) {
                    kept.push_back(m_rows[size_t(m_pos)]);
                    if (m_rowLoaded)
                        m_held = m_row;
                    else if (!kept.back().held)
                        m_held.clear();
                    kept.back().held = true;
                }
                const int pos = kept.empty() ? -1 : 0;
                resetRows(std::move(kept), false, false);
                m_deleted = 0;
                m_pos = pos;
            }
            m_maxId = maxRowid(*m_db, m_table); // the rows of the file in place are the set's
        }
    }
    if (m_stale)
        throw errors::fileReplaced(m_db->path());
}

void Recordset::dropEdit()
{
    m_pending.clear();
    m_editMode = EditMode::None;
}

int Recordset::fetch(bool forward) const
{
    int& page = forward ? m_forwardPage : m_backwardPage;
    // A stretch is read whole, so it is no longer than the values kept of it.
    const int largest = std::clamp(kPageCells / std::max<int>(1, int(m_columns.size())), kFirstPage, kLargestPage);
    page = page == 0 ? kFirstPage : std::min(page * 2, largest);
    m_page.clear();
    m_pageRead = monotonicMs();
    // Forward, the stretch goes straight after the rows read; backward it is read apart, then put before them.
    std::vector<Key> before;
    std::vector<Key>& got = forward ? m_rows : before;
    const size_t from = got.size();
    auto gotten = [&] { return int(got.size() - from); };
    // A failed read leaves the rows as they were and no stretch kept: the page's values must never stand for
    // other rows.
    struct Undo {
        std::vector<Key>& rows;
        size_t size;
        std::vector<QVariantList>& page;
        bool done = false;
        ~Undo()
        {
            if (!done) {
                rows.resize(size);
                page.clear();
            }
        }
    } undo{got, from, m_page};
    const std::optional<Key> edge = m_rows.empty() ? std::nullopt
                                                   : std::optional<Key>(forward ? m_rows.back() : m_rows.front());
    const QString base = baseCondition();
    if (!edge) {
        readKeys(keySelect(true) + base + orderBy(forward), {}, page, true, got);
    } else {
        // The rows after the edge in the set's order: the same leading values and a greater next one, from
        // the deepest column (the rowid) up, each part one seek through an index on the order's columns.
        const int k = int(m_order.size());
        for (int level = k; level >= 0 && gotten() < page; --level) {
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
                readKeys(keySelect(true) + conds.join(QStringLiteral(" AND ")) + orderBy(forward), b,
                         page - gotten(), true, got);
                if (gotten() >= page)
                    break;
            }
        }
    }
    const int n = gotten();
    const bool end = n < page;
    // A row read already, met again where a change (here or elsewhere) has moved it, keeps its first place. In
    // rowid order no row moves.
    if (!m_order.empty())
        for (auto k = got.begin() + qsizetype(from); k != got.end(); ++k)
            if (!m_ids.insert(k->id).second) {
                k->deleted = true;
                ++m_deleted;
            }
    undo.done = true;
    m_pageWrites = writesSoFar();
    m_pageChanges = m_db->fileChanges(); // the statements above looked at the file before reading it
    if (forward) {
        m_pageFirst = int(from);
        m_atEnd = m_atEnd || end;
    } else {
        m_pageFirst = 0;
        std::reverse(m_page.begin(), m_page.end());
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
    m_page.clear();
    m_rows = std::move(rows);
    m_ids.clear();
    if (!m_order.empty())
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
        m_nullGroup = true;
    if (!seen.empty()) {
        // Couple numbers lie close together: marked in a bitmap they come out sorted and once each.
        // Differences taken unsigned: numbers at both ends of the 64-bit range stay apart without overflow.
        const auto [lo, hi] = std::minmax_element(seen.begin(), seen.end());
        const quint64 low = quint64(*lo);
        const quint64 width = quint64(*hi) - low; // the span less one, so that the full range fits too
        if (width < std::max<quint64>(quint64(seen.size()) * 16, 1u << 20)) {
            std::vector<bool> marked(width + 1);
            for (qint64 v : seen)
                marked[size_t(quint64(v) - low)] = true;
            for (size_t i = 0; i <= width; ++i)
                if (marked[i])
                    m_groups.push_back(qint64(low + i));
        } else {
            std::sort(seen.begin(), seen.end());
            seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
            m_groups = std::move(seen);
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
    if (m_db->fileEpoch() != m_epoch || m_stale) // called for every row of a walk: the check inline
        follow(false);
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
    follow(true);
    if (m_started && complete())
        return live();
    if (m_kind == Kind::Result) {
        if (!m_started && readGroups())
            return qint64(m_groups.size()) + m_nullGroup;
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
        throw errors::recordDeleted();
    if (isBOF() || isEOF())
        throw errors::noCurrentRecord();
}

int Recordset::columnIndex(const QString& name) const
{
    if (m_lastColumn >= 0 && name == m_lastName)
        return m_lastColumn;
    const auto it = m_index.find(name.toLower());
    if (it == m_index.end())
        throw DbError(DbError::ItemNotFound, QStringLiteral("Élément non trouvé dans cette collection : %1").arg(name));
    m_lastName = name;
    m_lastColumn = it->second;
    return it->second;
}

void Recordset::loadRow() const
{
    if (m_rowLoaded)
        return;
    if (m_kind == Kind::Result) {
        m_row = m_results[size_t(keyAt(m_pos).id)];
    } else if (inFreshPage(m_pos)) {
        m_row = m_page[size_t(m_pos - m_pageFirst)];
    } else {
        if (!m_page.empty() && !pageFresh())
            m_page = {}; // stale for every row: its memory goes
        for (;;) {
            follow(true); // read by its rowid: from the file in place, which may have kept this row only
            Key& key = keyAt(m_pos);
            if (key.held) {
                m_row = heldRow(key); // by what it held, whatever the file
                break;
            }
            const quint64 epoch = m_epoch;
            QVariantList row = rowById(key.id);
            if (m_db->fileEpoch() == epoch) { // not another file met by the read's own look
                m_row = std::move(row);
                break;
            }
        }
    }
    m_rowEpoch = m_epoch;
    m_rowLoaded = true;
}

QVariantList Recordset::rowById(qint64 id) const
{
    sqlite3* h = m_db->connection();
    if (m_rowStmt && m_rowStmtGeneration != m_db->generation()) {
        sqlite3_finalize(m_rowStmt); // of the connection to the file that was in place before
        m_rowStmt = nullptr;
    }
    const QString sql = QStringLiteral("SELECT * FROM %1 WHERE rowid=?").arg(quoted(m_table));
    if (!m_rowStmt) {
        m_rowStmtGeneration = m_db->generation();
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
        throw errors::recordDeleted();
    if (rc != SQLITE_ROW)
        throw m_db->engineError(sqlite3_extended_errcode(h), sql);
    QVariantList row;
    row.reserve(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i)
        row << columnValue(m_rowStmt, i);
    return row;
}

QVariantList Recordset::heldRow(Key& key) const
{
    // The row of that rowid in the file in place is the one read when it is still in the set, in its place, and
    // holds what it held when it was read.
    Stmt st(*m_db, QStringLiteral("SELECT * FROM %1 WHERE rowid=? AND (%2)")
                       .arg(quoted(m_table), m_where.isEmpty() ? QStringLiteral("1") : m_where));
    st.bind(1, key.id);
    QVariantList row;
    if (st.step()) {
        row.reserve(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            row << st.column(i);
    }
    bool same = !row.isEmpty() && (m_held.isEmpty() || row == m_held);
    for (size_t i = 0; same && i < m_order.size(); ++i)
        same = row[m_index.at(m_order[i].name.toLower())] == key.order[qsizetype(i)];
    if (!same)
        throw errors::fileReplaced(m_db->path());
    key.held = false;
    m_held.clear();
    return row;
}

const QVariant& Recordset::currentValue(int column) const
{
    requireCurrent();
    loadRow();
    static const QVariant null;
    return column < m_row.size() ? m_row[column] : null;
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
    return currentValue(i);
}

std::vector<qint64> Recordset::columnNumbers(const QString& name) const
{
    if (m_kind == Kind::Result && !m_started && m_columns[columnIndex(name)].toLower() == m_groupColumn &&
        readGroups())
        return m_groups;
    std::vector<qint64> out;
    for (const QVariant& v : columnValues(name))
        if (v.isValid() && !v.isNull())
            out.push_back(v.toLongLong());
    return out;
}

QVariantList Recordset::columnValues(const QString& name) const
{
    follow(true);
    const int col = columnIndex(name);
    QVariantList out;
    if (m_kind == Kind::Result) {
        if (m_started) {
            for (const Key& k : m_rows)
                out << m_results[size_t(k.id)].value(col);
        } else if (m_columns[col].toLower() == m_groupColumn && readGroups()) {
            out.reserve(qsizetype(m_groups.size()) + m_nullGroup);
            if (m_nullGroup)
                out << QVariant();
            for (qint64 v : m_groups)
                out << QVariant(qlonglong(v));
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
                           .arg(quoted(m_columns[col]), quoted(m_table), joined(keys)), m_epoch);
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
    const auto shown = [](const QVariant& v) {
        if (!v.isValid() || v.isNull())
            return QString();
        if (v.typeId() == QMetaType::Double)
            return platform::numberText(v.toDouble());
        return v.toString();
    };
    // A walk asks a column of each row: no copy of the value, no look among pending edits when there are none.
    return m_editMode == EditMode::None ? shown(currentValue(columnIndex(name))) : shown(Fields(name));
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
        throw errors::notUpdatable();
    m_pending.clear();
    m_editMode = EditMode::AddNew;
}

void Recordset::Edit()
{
    if (!updatable())
        throw errors::notUpdatable();
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
        conds << quoted(m_columns[i]) + (isText(v) ? QStringLiteral(" IS (? COLLATE BINARY)") : QStringLiteral(" IS ?"));
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
            return errors::rowChanged();
    }
    return errors::recordDeleted();
}

void Recordset::Update(WriteCheck check)
{
    if (m_editMode == EditMode::None)
        throw DbError(DbError::UpdateWithoutEdit, QStringLiteral("Mise à jour sans AddNew ni Edit"));
    follow(true);
    m_cache.clear(); // read again after what is written now
    m_page.clear();
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
        m_added.push_back({st.lastInsertRowid(), {}});
        if (wasEmpty)
            m_pos = total() - 1;
    } else if (!m_pending.empty()) {
        if (m_pos < 0 || m_pos >= total())
            throw errors::fileReplaced(m_db->path()); // its row went with the file it was read from
        // Read from a file met before the one in place: written only over what it held.
        const bool earlier = m_rowEpoch != m_epoch;
        if (earlier)
            check = WriteCheck::Unchanged;
        QStringList sets;
        for (const QString& n : names)
            sets << n + QStringLiteral("=?");
        QVariantList binds;
        for (const auto& [k, v] : m_pending)
            binds << asStored(v, m_row.value(columnIndex(k)));
        QVariantList rowBinds;
        const QString row = readRowCondition(check, rowBinds);
        Stmt st(*m_db, QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(quoted(m_table), joined(sets), row));
        binds << rowBinds;
        for (int i = 0; i < binds.size(); ++i)
            st.bind(i + 1, binds[i]);
        st.step();
        // Nothing stored: the row went or changed meanwhile (another workstation); the edit stays pending.
        if (st.changes() == 0)
            throw earlier ? errors::fileReplaced(m_db->path()) : writeRefused(check);
        // Written over what it held: the row is the one read, whatever file it was read from.
        keyAt(m_pos).held = false;
        m_held.clear();
        m_rowLoaded = false;
    }
    m_pending.clear();
    m_editMode = EditMode::None;
}

void Recordset::Delete(WriteCheck check)
{
    if (!updatable())
        throw errors::notUpdatable();
    follow(true);
    requireCurrent();
    loadRow(); // a row held from a file met before is checked by what it held
    m_cache.clear();
    m_page.clear();
    QVariantList binds;
    Stmt st(*m_db, QStringLiteral("DELETE FROM %1 WHERE %2").arg(quoted(m_table), readRowCondition(check, binds)));
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds[i]);
    st.step();
    if (st.changes() == 0)
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
                       .arg(quoted(m_table), joined(ids), condition), m_epoch);
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
    dropEdit();
    follow(true);
    const QString condition = jetToSqlite(criteria);
    // Found only once a row is current: a search that fails on an error has found nothing.
    m_noMatch = true;
    m_rowLoaded = false;
    if (m_kind == Kind::Keyset) {
        std::unordered_set<qint64> matches;
        Stmt st(*m_db, QStringLiteral("SELECT rowid FROM %1 WHERE %2").arg(quoted(m_table), condition), m_epoch);
        while (st.step())
            matches.insert(sqlite3_column_int64(st.get(), 0));
        for (int i = 0; i < total(); ++i)
            if (!keyAt(i).deleted && matches.count(keyAt(i).id)) {
                m_pos = i;
                m_noMatch = false;
                return;
            }
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
                    m_noMatch = false;
                    return;
                }
        }
        resetRows(std::move(found), false, false);
        m_pos = 0;
        m_noMatch = false;
        return;
    }
    m_noMatch = !findAmongAdded(condition);
}

void Recordset::MoveFirst()
{
    dropEdit();
    follow(true);
    start();
    if (live() == 0 && complete())
        throw errors::noCurrentRecord();
    if (!m_atStart)
        resetRows({}, true, false);
    m_pos = nextLive(-1);
    m_rowLoaded = false;
    if (m_pos >= total())
        throw errors::noCurrentRecord();
}

void Recordset::MoveLast()
{
    dropEdit();
    follow(true);
    start();
    if (live() == 0 && complete())
        throw errors::noCurrentRecord();
    if (!m_atEnd)
        resetRows({}, false, true);
    m_pos = previousLive(total());
    m_rowLoaded = false;
    if (m_pos < 0)
        throw errors::noCurrentRecord();
}

void Recordset::MoveNext()
{
    dropEdit();
    follow(!inFreshPage(m_pos + 1));
    start();
    const bool fromDeleted = m_pos >= 0 && m_pos < total() && keyAt(m_pos).deleted;
    if (!fromDeleted && isEOF())
        throw errors::noCurrentRecord();
    // From a deleted row, its successor becomes current.
    m_pos = nextLive(m_pos);
    m_rowLoaded = false;
}

void Recordset::MovePrevious()
{
    dropEdit();
    follow(!inFreshPage(m_pos - 1));
    start();
    const bool fromDeleted = m_pos >= 0 && m_pos < total() && keyAt(m_pos).deleted;
    if (!fromDeleted && isBOF())
        throw errors::noCurrentRecord();
    m_pos = previousLive(m_pos);
    m_rowLoaded = false;
}

QStringList textsToEnd(Recordset& rs, const QString& column)
{
    QStringList texts;
    for (; !rs.isEOF(); rs.MoveNext())
        texts << rs.text(column);
    return texts;
}

} // namespace data
