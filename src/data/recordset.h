#pragma once
// Dynaset recordsets opened from the windows' SQL texts.
#include "data/dberror.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct sqlite3_stmt;

namespace data {

class Database;

// A dynaset reads its rows when they are needed: a search seeks the first matching row through the indexes,
// a move reads the next stretch of rows after (or before) the current one, a count counts. Its rows are those
// its query gives, in its order (ties in table order), followed by the rows added through it; rows added by
// others after the open are left out. No statement stays open between calls, so that another workstation is
// never kept from writing.
// When another file is met in place (Database::fileEpoch), the set keeps its current row only, by what it held:
// read again, it must still hold that, or it is refused (FileReplaced); the moves read the rows around it from the
// file in place. A result of aggregates keeps what it read.
class Recordset {
public:
    // What a write through the set requires of the row it read. Unchanged: every column still holds what was
    // read, texts byte for byte (else RowChanged, or RecordDeleted when the row is gone or is another record now).
    // SameRow: the row is still the record read (its rowid and key columns, schema.h), whatever else another
    // workstation changed in it. A row read from a file met before the one in place is written Unchanged only,
    // and refused as FileReplaced.
    enum class WriteCheck { Unchanged, SameRow };

    Recordset(std::shared_ptr<Database> db, const QString& jetSql);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // The value of a column of the current row, by name without regard to case. Null is an invalid QVariant.
    QVariant Fields(const QString& name) const;
    // The same value as a control shows it: Null as empty text, numbers in plain digits with a decimal comma.
    QString text(const QString& name) const;
    // One column of every row of the set, in the set's order (Null for a row deleted meanwhile among those
    // already read): one read of the table where a walk with MoveNext reads the rows one by one. The current
    // row does not move.
    QVariantList columnValues(const QString& name) const;
    // The same as whole numbers, Null left out (a set grouped by that column: its groups, ascending).
    std::vector<qint64> columnNumbers(const QString& name) const;
    // Sets a column of the row being added or edited.
    void setField(const QString& name, const QVariant& value);

    void AddNew();
    // The moves and the searches drop an edit or an addition under way, as DAO does.
    void Edit();
    // A failed Update leaves the edit pending: the caller may cancel it or try again with SameRow.
    void Update(WriteCheck check = WriteCheck::Unchanged);
    void CancelUpdate();
    void Delete(WriteCheck check = WriteCheck::Unchanged);
    bool editing() const { return m_editMode != EditMode::None; }

    void FindFirst(const QString& criteria);
    bool NoMatch() const { return m_noMatch; }

    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // BOF / EOF of the object model (EOF itself is a C macro).
    bool isBOF() const;
    bool isEOF() const;
    // The number of rows of the set (counted without reading them when they are not read yet).
    qint64 RecordCount() const;
    // Index of the current row among the rows read so far, or -1 before the first / their number after the last.
    int position() const;

    bool updatable() const { return !m_table.isEmpty(); }
    QString table() const { return m_table; }
    QStringList columnNames() const { return m_columns; }

private:
    enum class EditMode { None, Edit, AddNew };
    // Result: the rows of a query that is no single table (groups, counts), read when first needed.
    // Keyset: every rowid read at the open (an order that is not plain columns). Paged: read as needed.
    enum class Kind { Result, Keyset, Paged };
    struct Key {
        qint64 id;            // rowid (Result: index of the row)
        QVariantList order;   // the values of the ORDER BY columns (Paged)
        bool deleted = false; // deleted through this set (or read twice): skipped by the moves
        bool held = false;    // read from a file met before the one in place: checked by what it held
    };
    struct OrderColumn {
        QString name;
        bool descending;
    };

    // Takes in another file met in place since the set last read (see the class); look: the file is looked at
    // first (before a move reads a row it has not in memory).
    void follow(bool look) const;
    void dropEdit();
    void requireCurrent() const;
    // The condition that the current row is the one read (SameRow) or still holds what was read (Unchanged).
    QString readRowCondition(WriteCheck check, QVariantList& binds) const;
    // After a write that changed nothing: why, as the error to throw.
    DbError writeRefused(WriteCheck check) const;
    void loadRow() const;
    QVariantList rowById(qint64 id) const;
    QVariantList heldRow(Key& key) const;
    // The current row's value of a column, read.
    const QVariant& currentValue(int column) const;
    int columnIndex(const QString& name) const;

    void start() const;
    bool complete() const { return m_atStart && m_atEnd; }
    int total() const { return int(m_rows.size() + m_added.size()); }
    int live() const { return total() - m_deleted; }
    Key& keyAt(int i) const;
    int nextLive(int from) const;
    int previousLive(int from) const;
    int fetch(bool forward) const;
    void resetRows(std::vector<Key> rows, bool atStart, bool atEnd) const;
    QString baseCondition() const;
    QString orderBy(bool forward) const;
    // withRows: every column too, kept in m_page.
    QString keySelect(bool withRows = false) const;
    std::vector<Key> readKeys(const QString& sql, const QVariantList& binds, int limit) const;
    void readKeys(const QString& sql, const QVariantList& binds, int limit, bool withRows, std::vector<Key>& into) const;
    bool pageFresh() const;
    // Whether the row at i is read already, with a stretch still fresh: a walk takes it from memory.
    bool inFreshPage(int i) const;
    void loadResults() const;
    bool readGroups() const;
    bool readWhole(int most) const;
    bool findAmongAdded(const QString& condition);

    std::shared_ptr<Database> m_db;
    mutable quint64 m_epoch = 0;           // the file the set was read from (Database::fileEpoch)
    mutable bool m_stale = false;          // Keyset read from a file met before: its rowids name nothing
    Kind m_kind = Kind::Paged;
    QString m_table;                       // empty for a read-only result (aggregates, GROUP BY)
    QString m_sql;                         // the query as SQLite runs it
    QString m_where;                       // Paged: the set's condition, empty for every row
    std::vector<OrderColumn> m_order;      // Paged: the ORDER BY columns
    mutable qint64 m_maxId = 0;            // rows above were added after the open
    QStringList m_columns;                 // names as the query gives them
    std::unordered_map<QString, int> m_index; // lower-case name -> column
    mutable QString m_lastName;            // the name asked last, as written, and its column: a walk asks one
    mutable int m_lastColumn = -1;
    mutable std::vector<Key> m_rows;       // the rows read so far, in order (Paged: one stretch of the set)
    mutable std::vector<Key> m_added;      // the rows added through the set, after all others
    mutable std::unordered_set<qint64> m_ids; // Paged in an order of columns: the rowids of m_rows
    mutable std::vector<QVariantList> m_cache; // Paged: every column of m_rows, when a small set was read whole
    // The rows of the stretch read last, whole, by rowid: a walk takes them from memory while no write of the
    // program came since and the read is recent (another workstation's change shows within that delay, and a
    // write through the set compares with what was read in any case).
    mutable std::vector<QVariantList> m_page; // in read order; then those of m_rows from m_pageFirst on
    mutable int m_pageFirst = 0;
    mutable qint64 m_pageRead = 0;         // when, on the monotonic clock (ms)
    mutable quint64 m_pageWrites = 0;      // writesSoFar() then
    mutable quint64 m_pageChanges = 0;     // Database::fileChanges() then
    mutable std::vector<QVariantList> m_results; // Result: the rows themselves
    mutable bool m_started = false;
    mutable bool m_atStart = false;        // m_rows begins with the set's first row
    mutable bool m_atEnd = false;          // m_rows ends with the set's last row before the added ones
    mutable int m_deleted = 0;             // keys flagged deleted in m_rows and m_added
    mutable int m_pos = -1;
    mutable int m_forwardPage = 0;
    mutable int m_backwardPage = 0;
    mutable qint64 m_count = -1;           // rows of the set outside m_added, when counted
    mutable QString m_groupSource;         // Result grouped by one column: the query of that column's values
    QString m_groupColumn;                 // its name, lower case
    mutable bool m_groupsRead = false;
    mutable bool m_nullGroup = false;      // its distinct values: Null first when there is one,
    mutable std::vector<qint64> m_groups;  // then the numbers ascending (8 bytes each: a value a couple)
    bool m_noMatch = false;
    mutable bool m_rowLoaded = false;
    mutable QVariantList m_row;
    mutable quint64 m_rowEpoch = 0;        // the file m_row was read from
    mutable QVariantList m_held;           // what the held row held, when it was read
    mutable sqlite3_stmt* m_rowStmt = nullptr; // the row fetch of a dynaset, prepared once a connection
    mutable quint64 m_rowStmtGeneration = 0;
    EditMode m_editMode = EditMode::None;
    std::vector<std::pair<QString, QVariant>> m_pending;
};

// A column's texts from the current row to the last, as controls show them; the set is left past its end, as a
// walk with MoveNext leaves it.
QStringList textsToEnd(Recordset& rs, const QString& column);

} // namespace data
