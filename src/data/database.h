#pragma once
// The database engine in place of Jet/DAO: a database file opened read-write, dynaset recordsets opened from
// SQL texts, and the statistics window's data control. Errors are thrown as DbError with Jet's numbers where
// the windows rely on them (3021: no current record).
#include <QString>
#include <QStringList>
#include <QVariant>
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

private:
    int m_code;
    QString m_message;
};

class Recordset;

class Database : public std::enable_shared_from_this<Database> {
public:
    // Opens an existing database file read-write; never creates one. Throws DbError when the file is missing,
    // is not a database or lacks one of the five tables.
    static std::shared_ptr<Database> open(const QString& path);
    ~Database();

    std::shared_ptr<Recordset> OpenRecordset(const QString& sql);
    void Close();
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }

    // Used where several writes must stand or fall together.
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    sqlite3* handle() const;
    // Runs a statement that returns nothing (schema creation, pragmas).
    void exec(const QString& sql);

private:
    Database() = default;
    sqlite3* m_db = nullptr;
    QString m_path;
};

class Recordset {
public:
    Recordset(std::shared_ptr<Database> db, const QString& jetSql);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // The value of a column of the current row, by name without regard to case. Null is an invalid QVariant.
    QVariant Fields(const QString& name) const;
    // The same value as a control shows it: Null as empty text, numbers in plain digits with a decimal comma.
    QString text(const QString& name) const;
    // One column of every row of the set, in the set's order (Null for a row deleted meanwhile): one read of
    // the table where a walk with MoveNext reads the rows one by one. The current row does not move.
    QVariantList columnValues(const QString& name) const;
    // Sets a column of the row being added or edited.
    void setField(const QString& name, const QVariant& value);

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
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
    int RecordCount() const { return int(m_keys.size()); }
    // Index of the current row, or -1 before the first / size after the last.
    int position() const { return m_pos; }

    bool updatable() const { return !m_table.isEmpty(); }
    QString table() const { return m_table; }
    QStringList columnNames() const { return m_columns; }

private:
    enum class EditMode { None, Edit, AddNew };
    void requireCurrent() const;
    void loadRow() const;
    int columnIndex(const QString& name) const;

    std::shared_ptr<Database> m_db;
    QString m_table;                       // empty for a read-only result (aggregates, GROUP BY)
    QStringList m_columns;                 // names as the query gives them
    std::unordered_map<QString, int> m_index; // lower-case name -> column
    std::vector<qint64> m_keys;            // dynaset: the rowids in query order
    std::vector<QVariantList> m_snapshot;  // read-only result: the rows themselves
    int m_pos = -1;
    bool m_currentDeleted = false;
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
