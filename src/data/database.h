#pragma once
// The database engine in place of Jet/DAO: a database file opened read-write, dynaset recordsets opened from
// SQL texts, and the statistics window's data control. Errors are thrown as DbError with Jet's numbers where
// the windows rely on them (3021: no current record).
#include <QString>
#include <QStringList>
#include <QVariant>
#include <sys/types.h>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

class DbError : public std::runtime_error {
public:
    DbError(int code, const QString& message);
    int code() const { return m_code; }
    QString message() const { return m_message; }

    static constexpr int NoCurrentRecord = 3021;
    static constexpr int ItemNotFound = 3265;
    static constexpr int RecordDeleted = 3167;
    static constexpr int NotUpdatable = 3027;
    static constexpr int UpdateWithoutEdit = 3020;
    static constexpr int CannotOpen = 3044;
    static constexpr int NotADatabase = 3343;
    static constexpr int SqlError = 3075;
    // The failures of the file itself, each with its French text (see Database).
    static constexpr int FileNotFound = 3024;
    static constexpr int ReadOnly = 3051;
    static constexpr int Locked = 3218;
    static constexpr int Damaged = 3049;
    static constexpr int DiskFull = 3026;
    static constexpr int DiskError = 3043;
    // A write through a recordset that finds its row changed by another workstation since it was read.
    static constexpr int RowChanged = 3197;
    // The file in place is no longer the one the recordset was read from (a backup restored, a copy put there).
    static constexpr int FileReplaced = 3045;

private:
    int m_code;
    QString m_message;
};

class Recordset;

// How long a statement waits for another workstation's lock before it fails with DbError::Locked.
void setLockWait(int milliseconds);

class Database : public std::enable_shared_from_this<Database> {
public:
    // Opens an existing database file read-write, or read-only when the file or its folder cannot be written;
    // never creates one. Throws DbError when the file is missing, is not a database, is damaged, stays locked
    // or lacks one of the five tables. The indexes the windows order and search by are created when missing,
    // and indexes built with another order of the JET collation are rebuilt, before the file is used.
    static std::shared_ptr<Database> open(const QString& path);
    ~Database();

    std::shared_ptr<Recordset> OpenRecordset(const QString& sql);
    void Close();
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    bool readOnly() const { return m_readOnly; }
    // What to tell the user at opening when nothing can be stored; empty when the file can be written.
    QString readOnlyNotice() const;
    // Whether the file holds every index of indexStatements().
    bool indexed() const { return m_indexed; }

    // Used where several writes must stand or fall together.
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    sqlite3* handle() const;
    // Runs a statement that returns nothing (schema creation, pragmas).
    void exec(const QString& sql);

    // The error of a failed engine call, with the French text of its cause.
    DbError engineError(int rc, const QString& sql = QString()) const;

private:
    friend class Recordset;
    Database() = default;
    // The query with its LIKE conditions on a column that leads an index of the table turned into what the
    // index can seek: a pattern without wildcards into an equality, any other into the list of the column's
    // values that match it (read through the index, a few at most). The rows selected are the same.
    QString seekableLikes(const QString& sql, const QString& table);
    void prepareIndexes(int fileVersion, const QStringList& indexes);
    sqlite3* m_db = nullptr;
    QString m_path;
    bool m_readOnly = false;
    bool m_opening = true;
    dev_t m_device = 0; // the file opened, told apart from one put in its place later
    ino_t m_inode = 0;
    bool m_indexed = false;
    std::unordered_map<QString, QStringList> m_leading; // table -> columns leading a JET index
    const QStringList& leadingIndexColumns(const QString& table);
    // Whether the query reads an index alone, no table row.
    bool covered(const QString& sql);
    QString seekableLike(const QString& column, const QString& table, const QString& pattern);
};

// A dynaset reads its rows when they are needed: a search seeks the first matching row through the indexes,
// a move reads the next stretch of rows after (or before) the current one, a count counts. Its rows are those
// its query gives, in its order (ties in table order), followed by the rows added through it; rows added by
// others after the open are left out. No statement stays open between calls, so that another workstation is
// never kept from writing.
class Recordset {
public:
    // What a write through the set requires of the row it read. Unchanged: every column still holds what was
    // read (else RowChanged, or RecordDeleted when the row is gone or is another row now). SameRow: the row is
    // still the one read (its key columns), whatever else another workstation changed in it.
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
    // Sets a column of the row being added or edited.
    void setField(const QString& name, const QVariant& value);

    void AddNew();
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
    };
    struct OrderColumn {
        QString name;
        bool descending;
    };

    void requireCurrent() const;
    // The condition that the current row is the one read (SameRow) or still holds what was read (Unchanged).
    QString readRowCondition(WriteCheck check, QVariantList& binds) const;
    // After a write that changed nothing: why, as the error to throw.
    DbError writeRefused(WriteCheck check) const;
    void loadRow() const;
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
    QString keySelect() const;
    std::vector<Key> readKeys(const QString& sql, const QVariantList& binds, int limit) const;
    void loadResults() const;
    bool readGroups() const;
    bool readWhole(int most) const;
    bool findAmongAdded(const QString& condition);

    std::shared_ptr<Database> m_db;
    Kind m_kind = Kind::Paged;
    QString m_table;                       // empty for a read-only result (aggregates, GROUP BY)
    QString m_sql;                         // the query as SQLite runs it
    QString m_where;                       // Paged: the set's condition, empty for every row
    std::vector<OrderColumn> m_order;      // Paged: the ORDER BY columns
    qint64 m_maxId = 0;                    // rows above were added after the open
    QStringList m_columns;                 // names as the query gives them
    std::unordered_map<QString, int> m_index; // lower-case name -> column
    mutable std::vector<Key> m_rows;       // the rows read so far, in order (Paged: one stretch of the set)
    mutable std::vector<Key> m_added;      // the rows added through the set, after all others
    mutable std::unordered_set<qint64> m_ids; // Paged: the rowids of m_rows
    mutable std::vector<QVariantList> m_cache; // Paged: every column of m_rows, when a small set was read whole
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
    mutable QVariantList m_groups;         // its distinct values, ascending (Null first)
    bool m_noMatch = false;
    mutable bool m_rowLoaded = false;
    mutable QVariantList m_row;
    mutable sqlite3_stmt* m_rowStmt = nullptr; // the row fetch of a dynaset, prepared once
    EditMode m_editMode = EditMode::None;
    std::vector<std::pair<QString, QVariant>> m_pending;
};

// The statistics window's data control: bound to a database file by name, runs its record source on Refresh.
class DataControl {
public:
    QString DatabaseName;
    QString RecordSource;
    void Refresh();
    std::shared_ptr<Recordset> recordset() const { return m_rs; }

private:
    std::shared_ptr<Database> m_db;
    std::shared_ptr<Recordset> m_rs;
};

} // namespace data
