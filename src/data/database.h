#pragma once
// The database engine in place of Jet/DAO: a database file opened read-write, dynaset recordsets opened from
// SQL texts (recordset.h), and the statistics window's data control (datacontrol.h).
#include "data/dberror.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <exception>
#include <memory>
#include <sys/types.h>
#include <unordered_map>

struct sqlite3;

namespace data {

class Progress;
class Recordset;

// How long a statement waits for another workstation's lock before it fails with DbError::Locked.
void setLockWait(int milliseconds);
int lockWait();

// A database file in use. Before each statement outside a transaction it looks at the file in place, so that no
// page the engine kept of an earlier file is read or written again: another file renamed into place is opened
// anew; the same file rewritten with the change counter it had (a copy put over it, or another workstation's
// write rolled back) has the engine's pages dropped. Either counts as another file met (fileEpoch): recordsets
// then check the rows they read before against the file in place (recordset.h).
class Database : public std::enable_shared_from_this<Database> {
public:
    // Opens an existing database file read-write, or read-only when the file or its folder cannot be written;
    // never creates one. Throws DbError when the file is missing, is not a database, is damaged, stays locked
    // or lacks one of the five tables. The indexes the windows order and search by are created when missing,
    // and indexes built with another order of the JET collation are rebuilt, before the file is used: long work
    // (longwork.h), which the program shows in a progress window.
    static std::shared_ptr<Database> open(const QString& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    std::shared_ptr<Recordset> OpenRecordset(const QString& sql);
    void Close();
    // Not closed: a file put in place that could not be opened yet is tried again at the next statement.
    bool isOpen() const { return !m_closed; }
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
    // Rollback after a failure: one of its own would tell nothing more (the close rolls back anyway).
    void rollbackQuietly() noexcept;

    // The connection to the file in place (see above). since: the epoch of the file a reader was read from;
    // DbError::FileReplaced when the file in place is another one since. 0 for any. A file put in place that
    // could not be opened is tried again at each call.
    sqlite3* connection(quint64 since = 0);
    // Counts the files met in place of the path since the open (1 for the first): another file, or the file
    // rewritten with the change counter it had.
    quint64 fileEpoch() const { return m_epoch; }
    // Counts the changes of the file seen, by this program or another (any write, any file put in place).
    quint64 fileChanges() const { return m_changes; }
    // Counts the connections opened (a prepared statement belongs to one).
    quint64 generation() const { return m_generation; }
    // Runs a statement that returns nothing (schema creation, pragmas).
    void exec(const QString& sql);

    // The error of a failed engine call, with the French text of its cause.
    DbError engineError(int rc, const QString& sql = QString()) const;

private:
    friend class Recordset;
    Database() = default;
    // What tells the file in place from another one, or from itself rewritten: any write changes its status
    // time, which no tool can set back.
    struct FileState {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        qint64 modified = 0; // nanoseconds
        qint64 changed = 0;  // status change, nanoseconds
        bool operator==(const FileState&) const = default;
    };
    static FileState fileState(const QString& path);
    // Whether a later change of the file would show in its times: its last change is older than the time its
    // file system keeps (two seconds for one that keeps whole seconds, a few milliseconds for the others).
    static bool settled(const FileState& file);
    // The header's change counter, which every write of any workstation increases, read through the engine's
    // own file handle (closing another descriptor of the file would drop this process's locks on it).
    quint32 changeCounter() const;
    // Opens the connection on the path as it is now and prepares it (tables, collation, indexes).
    void connect();
    void reconnect();
    // The indexes' names, read first; at the opening, waits as long as another workstation holds the file (the
    // indexes built at its own opening), showing it.
    QStringList firstIndexNames();
    static std::exception_ptr waitForOthers(const QString& path, Progress& progress) noexcept;
    // A connection of its own, for work on another thread: the file is not watched, only that thread uses it.
    void openAside(const QString& path, int flags);
    // Runs sql once it gets its lock, however long another workstation holds the file, telling the wait.
    void runWaiting(const char* sql, Progress& progress);
    // Throws when the file lacks a table or a column of data::tables(), naming it.
    void checkTables();
    void watchFile();
    // After the file was rewritten under the connection: the engine's pages and schema are read again, and a
    // file whose indexes do not suit is opened anew.
    void forgetFile();

    // The query with its LIKE conditions on a column that leads an index of the table turned into what the
    // index can seek: a pattern without wildcards into an equality, any other into the list of the column's
    // values that match it (read through the index, a few at most). The rows selected are the same.
    QString seekableLikes(const QString& sql, const QString& table);
    QString seekableLike(const QString& column, const QString& table, const QString& pattern);
    const QStringList& leadingIndexColumns(const QString& table);
    void prepareIndexes(int fileVersion, const QStringList& indexes);
    // The build of prepareIndexes() on a connection of its own, which may be used by another thread; returns
    // its failure.
    static std::exception_ptr buildIndexes(const QString& path, int lockWait, Progress& progress) noexcept;
    void rebuildIndexes(Progress& progress);
    // The engine steps a build of prepareIndexes() runs, to tell how far it has gone.
    qint64 buildSteps(const QString& sql, const QString& table);
    // The first column of the statement's first row; invalid when it has none.
    QVariant value(const QString& sql);
    QStringList indexNames();
    // Whether the query reads an index alone, no table row.
    bool covered(const QString& sql);

    sqlite3* m_db = nullptr;
    QString m_path;
    bool m_readOnly = false;
    bool m_opening = true;
    bool m_watching = false;
    bool m_closed = false; // by Close(): never opened again
    FileState m_file;
    bool m_settled = false;
    quint32 m_counter = 0;
    quint64 m_epoch = 0;
    quint64 m_changes = 0;
    quint64 m_generation = 0;
    bool m_indexed = false;
    std::unordered_map<QString, QStringList> m_leading; // table -> columns leading a JET index
};

} // namespace data

#include "data/datacontrol.h"
#include "data/recordset.h"
