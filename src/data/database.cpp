#include "data/database.h"

#include "data/jetsql.h"
#include "data/longwork.h"
#include "data/schema.h"
#include "data/sqltext.h"
#include "data/statement.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QFileInfo>
#include <QDir>
#include <algorithm>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

namespace {

int g_lockWait = 10000;

// How long after a change a second one may leave the file's times as they were: a file system that keeps whole
// seconds (FAT's two) stamps a second change within it alike; one that keeps fractions of a second stamps with
// the clock's tick (a few milliseconds). With some margin.
constexpr qint64 kCoarseSettleNs = 2500LL * 1000000;
constexpr qint64 kFineSettleNs = 50LL * 1000000;

// Whether the file (or folder) can be written: its permissions allow it, also to the administrator, who may
// write anything but is told like every user that a file marked read-only stays as it is.
bool writable(const QString& path)
{
    const QByteArray p = QFile::encodeName(path);
    struct stat st;
    return ::stat(p.constData(), &st) == 0 && (st.st_mode & 0222) != 0 && ::access(p.constData(), W_OK) == 0;
}

// Whether a statement of the connection is under way (its reader would be left on a closed connection).
bool busy(sqlite3* db)
{
    for (sqlite3_stmt* st = sqlite3_next_stmt(db, nullptr); st; st = sqlite3_next_stmt(db, st))
        if (sqlite3_stmt_busy(st))
            return true;
    return false;
}

// Raises a flag for the time of a call, whichever way it ends.
class Raised {
public:
    explicit Raised(bool& flag) : m_flag(flag) { m_flag = true; }
    ~Raised() { m_flag = false; }
    Raised(const Raised&) = delete;
    Raised& operator=(const Raised&) = delete;

private:
    bool& m_flag;
};

} // namespace

void setLockWait(int milliseconds) { g_lockWait = milliseconds; }
int lockWait() { return g_lockWait; }

DbError Database::engineError(int rc, const QString& sql) const
{
    return errors::engine(m_db, rc, m_path, m_opening, sql);
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
    d->connect();
    return d;
}

Database::FileState Database::fileState(const QString& path)
{
    FileState f;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return f;
    f.exists = true;
    f.device = st.st_dev;
    f.inode = st.st_ino;
    f.size = st.st_size;
    f.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    f.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return f;
}

bool Database::settled(const FileState& file)
{
    // The file server's clock stamps the times: a clock of this workstation behind it only makes the wait longer.
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    const qint64 settle = file.changed % 1000000000 == 0 ? kCoarseSettleNs : kFineSettleNs;
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec - file.changed > settle;
}

quint32 Database::changeCounter() const
{
    sqlite3_file* file = nullptr;
    unsigned char b[4] = {0, 0, 0, 0};
    if (sqlite3_file_control(m_db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file
        || !file->pMethods || file->pMethods->xRead(file, b, 4, 24) != SQLITE_OK)
        return 0;
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

void Database::connect()
{
    const Raised opening(m_opening); // failed, the connection is tried again at the next statement
    m_leading.clear();
    const QFileInfo info(m_path);
    if (!info.exists())
        throw engineError(SQLITE_CANTOPEN);
    if (!info.isFile())
        throw engineError(SQLITE_NOTADB);
    m_readOnly = !writable(m_path) || !writable(info.absolutePath());
    m_file = fileState(m_path);
    const QByteArray utf8 = m_path.toUtf8();
    // One connection per window, used by the user-interface thread alone.
    const int flags = (m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(utf8.constData(), &m_db, flags, nullptr);
    ++m_generation;
    if (rc != SQLITE_OK) {
        const DbError e = engineError(rc);
        Close();
        m_closed = false;
        throw e;
    }
    sqlite3_extended_result_codes(m_db, 1);
    // Several workstations share the file: wait for a lock rather than fail, and keep the rollback journal
    // (WAL needs shared memory, which network shares do not give).
    sqlite3_busy_timeout(m_db, g_lockWait);
    try {
        const QStringList indexes = firstIndexNames();
        if (!m_readOnly)
            exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        // 4 MB a connection: each window keeps its own, and the system's file cache holds the rest of the file.
        exec(QStringLiteral("PRAGMA cache_size=-4096"));
        checkTables();
        prepareIndexes(value(QStringLiteral("PRAGMA user_version")).toInt(), indexes);
    } catch (const DbError&) {
        Close();
        m_closed = false;
        throw;
    }
    // What the file is now, the indexes made: later changes are another workstation's.
    m_file = fileState(m_path);
    m_settled = settled(m_file);
    m_counter = changeCounter();
    ++m_epoch;
}

void Database::reconnect()
{
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    connect();
}

QStringList Database::firstIndexNames()
{
    if (m_epoch > 0)
        return indexNames(); // a file put in place while in use: a lock held past the wait is said, tried later
    // At the opening the file is held as long as another workstation's own opening builds its indexes (half a
    // minute on a large file): told at once rather than after the whole wait for a lock.
    sqlite3_busy_timeout(m_db, std::min(g_lockWait, 250));
    QStringList names;
    try {
        names = indexNames();
    } catch (const DbError& e) {
        if (e.code() != DbError::Locked)
            throw;
        std::exception_ptr failure;
        runLongWork(QStringLiteral("Un autre poste prépare la base de données %1 pour cette version du programme : "
                                   "ses index de recherche sont construits. Elle s'ouvrira dès qu'il aura fini. "
                                   "Veuillez patienter.")
                        .arg(QDir::toNativeSeparators(m_path)),
                    [&failure, path = m_path](Progress& progress) { failure = waitForOthers(path, progress); });
        if (failure)
            std::rethrow_exception(failure);
        sqlite3_busy_timeout(m_db, g_lockWait);
        names = indexNames();
    }
    sqlite3_busy_timeout(m_db, g_lockWait);
    return names;
}

namespace {

// What the user reads while another workstation holds the file.
QString othersWork(const QString& path, qint64 since)
{
    return QStringLiteral("Un autre poste prépare la base de données %1 : en attente de la fin de son travail "
                          "(depuis %2 s).")
        .arg(QDir::toNativeSeparators(path))
        .arg((monotonicMs() - since) / 1000);
}

} // namespace

void Database::openAside(const QString& path, int flags)
{
    m_path = path;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        throw engineError(rc);
    sqlite3_extended_result_codes(m_db, 1);
}

void Database::runWaiting(const char* sql, Progress& progress)
{
    sqlite3_busy_timeout(m_db, 250);
    for (const qint64 since = monotonicMs();;) {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
            return;
        const int code = sqlite3_extended_errcode(m_db);
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        if ((code & 0xff) != SQLITE_BUSY && (code & 0xff) != SQLITE_LOCKED)
            throw engineError(code);
        progress.report(othersWork(m_path, since), -1);
    }
}

std::exception_ptr Database::waitForOthers(const QString& path, Progress& progress) noexcept
{
    try {
        Database db;
        db.openAside(path, SQLITE_OPEN_READONLY);
        db.runWaiting("BEGIN; SELECT count(*) FROM sqlite_master; COMMIT", progress);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

void Database::checkTables()
{
    // Every column of every table in one statement, whatever the file holds.
    QHash<QString, QSet<QString>> present;
    Stmt st(*this, QStringLiteral("SELECT m.name, c.name FROM sqlite_master AS m, pragma_table_info(m.name) AS c "
                                  "WHERE m.type = 'table'"));
    while (st.step())
        present[st.column(0).toString().toUpper()].insert(st.column(1).toString().toUpper());
    const QString file = QDir::toNativeSeparators(m_path);
    for (const Table& t : tables()) {
        const auto columns = present.constFind(t.name.toUpper());
        if (columns == present.cend())
            throw DbError(DbError::NotADatabase, QStringLiteral("La table %1 manque dans %2").arg(t.name, file));
        for (const Column& c : t.columns)
            if (!columns->contains(c.name.toUpper()))
                throw DbError(DbError::NotADatabase, QStringLiteral("La colonne %1 manque dans la table %2 de %3")
                                                         .arg(c.name, t.name, file));
    }
}

void Database::watchFile()
{
    const FileState now = fileState(m_path);
    if (now == m_file) {
        if (!m_settled) {
            // Changed too lately for its times to tell a second change (a copy within the same second on a file
            // system of one-second times): the engine's pages are read again.
            sqlite3_db_release_memory(m_db);
            m_settled = settled(now);
        }
        return;
    }
    ++m_changes;
    if (!now.exists)
        throw engineError(SQLITE_CANTOPEN);
    if (now.device != m_file.device || now.inode != m_file.inode) {
        reconnect(); // another file renamed into place
        return;
    }
    // Looked at under a shared lock: no workstation is then half-way through writing the file, so what is
    // recorded is a whole state of it.
    const bool read = sqlite3_exec(m_db, "BEGIN; SELECT 1 FROM sqlite_master LIMIT 1", nullptr, nullptr, nullptr)
        == SQLITE_OK;
    const int code = read ? SQLITE_OK : sqlite3_extended_errcode(m_db);
    const FileState locked = read ? fileState(m_path) : FileState();
    const quint32 counter = read ? changeCounter() : 0;
    sqlite3_exec(m_db, read ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!read) // the file is looked at again at the next statement
        throw engineError(code);
    if (locked.device != m_file.device || locked.inode != m_file.inode) {
        reconnect();
        return;
    }
    m_file = locked;
    m_settled = settled(locked);
    // Every write of a workstation increases the counter, and the engine then drops what it read before by
    // itself. The same counter, or an earlier one, over a file rewritten is a copy of a file put over this one,
    // or another workstation's write rolled back: which one, only the rows can tell.
    if (counter <= m_counter)
        forgetFile();
    m_counter = counter;
}

namespace {
QStringList missingIndexes(const QStringList& present);
}

void Database::forgetFile()
{
    sqlite3_db_release_memory(m_db);
    sqlite3_exec(m_db, "PRAGMA writable_schema=RESET", nullptr, nullptr, nullptr);
    m_leading.clear();
    ++m_epoch;
    // A file whose indexes are missing or in another order is prepared as at its opening.
    const bool current = value(QStringLiteral("PRAGMA user_version")).toInt() == kJetCollationVersion;
    const bool indexed = missingIndexes(indexNames()).isEmpty();
    if (!current || (m_indexed && !indexed))
        reconnect();
    else
        m_indexed = indexed;
}

sqlite3* Database::connection(quint64 since)
{
    if (!m_db && !m_closed && !m_opening)
        connect(); // the file put in place could not be opened the last time
    if (!m_db)
        throw errors::closed(m_path);
    // Inside a transaction the file is locked and in use; a statement under way reads on where it started; the
    // statements of the look itself read what it found.
    if (!m_opening && !m_watching && sqlite3_get_autocommit(m_db) && !busy(m_db)) {
        const Raised watching(m_watching);
        watchFile();
    }
    if (since != 0 && since != m_epoch)
        throw errors::fileReplaced(m_path);
    return m_db;
}

Database::~Database() { Close(); }

void Database::Close()
{
    m_closed = true;
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void Database::exec(const QString& sql)
{
    char* err = nullptr;
    sqlite3* db = connection();
    countWrite();
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        throw engineError(sqlite3_extended_errcode(db), sql);
}

void Database::BeginTrans() { exec(QStringLiteral("BEGIN IMMEDIATE")); }
void Database::CommitTrans() { exec(QStringLiteral("COMMIT")); }
void Database::Rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        exec(QStringLiteral("ROLLBACK"));
}

void Database::rollbackQuietly() noexcept
{
    try {
        Rollback();
    } catch (const DbError&) {
    }
}

std::shared_ptr<Recordset> Database::OpenRecordset(const QString& sql)
{
    return std::make_shared<Recordset>(shared_from_this(), sql);
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
        const bool legacy = fileVersion == 0
            && value(QStringLiteral("SELECT count(*) FROM sqlite_master AS m, pragma_index_xinfo(m.name) AS x "
                                    "WHERE m.type = 'index' AND x.coll = 'JET'")).toInt() > 0;
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
    // Once per file, and long on a large one: the runner keeps the user informed, and may run the build on
    // another thread, so the build has a connection of its own.
    std::exception_ptr failure;
    runLongWork(QStringLiteral("Préparation de la base de données %1 pour cette version du programme : ses index de "
                               "recherche sont construits, une fois pour toutes. Veuillez patienter.")
                    .arg(QDir::toNativeSeparators(m_path)),
                [&failure, path = m_path, lockWait = std::max(g_lockWait, 60000)](Progress& progress) {
                    failure = buildIndexes(path, lockWait, progress);
                });
    if (failure) {
        m_indexed = false;
        try {
            std::rethrow_exception(failure);
        } catch (const DbError&) {
            // Missing indexes only slow the work down; indexes in another order must not be used.
            if (fileVersion != kJetCollationVersion)
                throw;
        }
        return;
    }
    // Read through this connection, which so takes in the schema the other one changed before any plan.
    m_indexed = missingIndexes(indexNames()).isEmpty();
}

std::exception_ptr Database::buildIndexes(const QString& path, int lockWait, Progress& progress) noexcept
{
    try {
        // With the engine's default cache, which is small: the sorter sorts the keys in chunks of its size, which
        // the processor's cache holds (a third less time on a large file than one sort in a large cache), and the
        // progress sees each chunk go.
        Database db;
        db.openAside(path, SQLITE_OPEN_READWRITE);
        if (!installJetFunctions(db.m_db))
            throw db.engineError(sqlite3_errcode(db.m_db));
        // Another workstation building them at its own opening holds the file as long as its build takes: this
        // one waits for it, saying so, then finds what is left to build.
        db.runWaiting("BEGIN IMMEDIATE", progress);
        // The other workstations wait for the build.
        sqlite3_busy_timeout(db.m_db, lockWait);
        try {
            db.rebuildIndexes(progress);
            db.exec(QStringLiteral("COMMIT"));
        } catch (...) {
            db.rollbackQuietly();
            throw;
        }
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

namespace {

// What a table holds, for the user who waits for its indexes.
QString tableWords(const QString& table)
{
    static const std::pair<const char*, const char*> words[] = {
        {"CIVILITES", "dossiers des couples"}, {"FICHE", "fiches de stimulation"}, {"EXAMENS", "examens"},
        {"GROSSESSE", "suivis de grossesse"},  {"OPTIONS", "listes de référence"},
    };
    for (const auto& [name, text] : words)
        if (table.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(text);
    return table;
}

// While it lives, tells how far the statement under way has gone: the engine calls it every kTick steps of its
// program.
class StepProgress {
public:
    // from, share: where the statement starts in the whole work, and its part; steps: what it is expected to run.
    StepProgress(sqlite3* db, Progress& progress, const QString& step, double from, double share, qint64 steps)
        : m_db(db), m_progress(progress), m_step(step), m_from(from), m_share(share), m_steps(steps)
    {
        m_progress.report(m_step, m_from);
        sqlite3_progress_handler(m_db, kTick, &StepProgress::tick, this);
    }
    ~StepProgress() { sqlite3_progress_handler(m_db, 0, nullptr, nullptr); }
    StepProgress(const StepProgress&) = delete;
    StepProgress& operator=(const StepProgress&) = delete;

private:
    static constexpr int kTick = 4096;

    static int tick(void* self) noexcept
    {
        auto& p = *static_cast<StepProgress*>(self);
        const double done = std::min(1.0, double(++p.m_ticks) * kTick / double(p.m_steps));
        const int perMille = int((p.m_from + p.m_share * done) * 1000);
        if (perMille != p.m_told) {
            p.m_told = perMille;
            try {
                p.m_progress.report(p.m_step, perMille / 1000.0);
            } catch (...) { // nothing may cross the engine's frames
            }
        }
        return 0;
    }

    sqlite3* m_db;
    Progress& m_progress;
    const QString& m_step;
    double m_from, m_share;
    qint64 m_steps;
    qint64 m_ticks = 0;
    int m_told = -1; // per mille
};

} // namespace

void Database::rebuildIndexes(Progress& progress)
{
    struct Build {
        QString sql, table;
        bool reorder;
        double steps = 1;
    };
    const bool reorder = value(QStringLiteral("PRAGMA user_version")).toInt() != kJetCollationVersion;
    std::vector<Build> builds;
    if (reorder) {
        // REINDEX JET, an index at a time so that the user sees it go.
        Stmt jet(*this, QStringLiteral("SELECT DISTINCT m.name, m.tbl_name FROM sqlite_master AS m, "
                                       "pragma_index_xinfo(m.name) AS x WHERE m.type = 'index' "
                                       "AND x.coll = 'JET' COLLATE NOCASE ORDER BY m.name"));
        while (jet.step())
            builds.push_back({QStringLiteral("REINDEX main.") + sqltext::quoted(jet.column(0).toString()),
                              jet.column(1).toString(), true});
    }
    for (const QString& s : missingIndexes(indexNames()))
        builds.push_back({s, s.section(QLatin1Char(' '), 4, 4), false});
    double total = 0;
    for (Build& b : builds)
        total += b.steps = double(buildSteps(b.sql, b.table));
    double from = 0;
    for (size_t i = 0; i < builds.size(); ++i) {
        const Build& b = builds[i];
        const QString step = (b.reorder ? QStringLiteral("Reclassement de l'index %1 sur %2 (%3)")
                                        : QStringLiteral("Création de l'index %1 sur %2 (%3)"))
                                 .arg(i + 1)
                                 .arg(builds.size())
                                 .arg(tableWords(b.table));
        {
            const StepProgress told(m_db, progress, step, from / total, b.steps / total, qint64(b.steps));
            exec(b.sql);
        }
        from += b.steps;
    }
    progress.report(QStringLiteral("Enregistrement des index dans la base de données"), 1.0);
    if (reorder)
        exec(QStringLiteral("PRAGMA user_version=%1").arg(kJetCollationVersion));
}

qint64 Database::buildSteps(const QString& sql, const QString& table)
{
    // The rows, as the table's counter counts them (no scan).
    const qint64 rows = value(QStringLiteral("SELECT max(rowid) FROM main.") + sqltext::quoted(table)).toLongLong();
    // Per row, the lengths of the program's loops: the table read, then the sorted keys written.
    qint64 perRow = 0;
    Stmt st(*this, QStringLiteral("EXPLAIN ") + sql);
    while (st.step()) {
        const QString op = st.column(1).toString();
        const qint64 at = st.column(0).toLongLong(), to = st.column(3).toLongLong();
        if ((op == QLatin1String("Next") || op == QLatin1String("SorterNext")) && to <= at)
            perRow += at - to + 1;
    }
    return std::max<qint64>(1, rows) * std::max<qint64>(1, perRow);
}

QVariant Database::value(const QString& sql)
{
    Stmt st(*this, sql);
    return st.step() ? st.column(0) : QVariant();
}

QStringList Database::indexNames()
{
    QStringList names;
    Stmt st(*this, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"));
    while (st.step())
        names << st.column(0).toString().toUpper();
    return names;
}

bool Database::covered(const QString& sql)
{
    Stmt plan(*this, QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    while (plan.step())
        if (plan.column(3).toString().contains(QLatin1String("COVERING INDEX")))
            return true;
    return false;
}

} // namespace data
