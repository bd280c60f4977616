#include "data/dbcopy.h"

#include "data/database.h"
#include "data/jetsql.h"

#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace data {

namespace {

// Pages copied between two reports of progress (1 MB at the engine's usual page size).
constexpr int kPagesAStep = 256;
// The page cache of a check, which reads the index entries of each row here and there in the file.
constexpr const char* kCheckCache = "PRAGMA cache_size=-16384";

bool busy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// The cause of an engine failure, in French.
QString cause(sqlite3* db, int rc)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("la base de données est occupée par un autre poste");
    case SQLITE_FULL:
        return QStringLiteral("le disque est plein");
    case SQLITE_NOTADB:
        return QStringLiteral("ce fichier n'est pas une base de données");
    case SQLITE_CORRUPT:
        return QStringLiteral("la base de données est endommagée");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("accès refusé");
    case SQLITE_CANTOPEN:
        return QStringLiteral("le fichier ne peut pas être ouvert");
    case SQLITE_IOERR:
        return QStringLiteral("erreur de lecture ou d'écriture sur le disque ou le réseau");
    case SQLITE_NOMEM:
        return QStringLiteral("mémoire insuffisante");
    default:
        qWarning("database copy: %s", db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        return QStringLiteral("le moteur de base de données a refusé l'opération");
    }
}

// One connection of the copy, used by the thread that runs it alone.
class Connection {
public:
    Connection() = default;
    ~Connection() { close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int open(const QByteArray& path, int flags)
    {
        close();
        int rc = sqlite3_open_v2(path.constData(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (m_db) {
            sqlite3_extended_result_codes(m_db, 1);
            sqlite3_busy_timeout(m_db, lockWait());
        }
        // The check compares the texts of the indexes as the program orders them.
        if (rc == SQLITE_OK && !installJetFunctions(m_db))
            rc = sqlite3_errcode(m_db);
        return rc;
    }
    void close()
    {
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    int exec(const char* sql)
    {
        return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? SQLITE_OK
                                                                                : sqlite3_extended_errcode(m_db);
    }
    // A read transaction: the shared lock held until end(), so that what is read is one state of the file.
    int beginReading()
    {
        int rc = exec("BEGIN");
        if (rc == SQLITE_OK && (rc = exec("SELECT count(*) FROM sqlite_master")) != SQLITE_OK)
            end();
        return rc;
    }
    void end()
    {
        if (!sqlite3_get_autocommit(m_db))
            exec("ROLLBACK");
    }
    // Whether the engine finds the file sound; what it found goes to the program's log.
    int check(bool* sound)
    {
        exec(kCheckCache);
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(m_db, "PRAGMA integrity_check", -1, &st, nullptr);
        *sound = false;
        if (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
            const char* verdict = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            *sound = verdict && std::strcmp(verdict, "ok") == 0;
            if (!*sound)
                qWarning("database copy: %s: %s", sqlite3_db_filename(m_db, "main"), verdict ? verdict : "?");
            rc = SQLITE_OK;
        } else if (rc == SQLITE_OK || rc == SQLITE_DONE) {
            rc = sqlite3_extended_errcode(m_db);
        }
        sqlite3_finalize(st);
        return rc;
    }
    sqlite3* db() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

// How long a copy waits in all for the other workstations' locks: it runs under a progress window, and the
// others' saves are short.
QDeadlineTimer patience() { return QDeadlineTimer(std::max(lockWait(), 60000)); }

// Runs the work again while another workstation holds the file, within the patience.
template <class Work> int waiting(Work work)
{
    const QDeadlineTimer deadline = patience();
    for (;;) {
        const int rc = work();
        if (!busy(rc) || deadline.hasExpired())
            return rc;
        QThread::msleep(20);
    }
}

// Copies every page of from into to, in one transaction of to, waiting for locks as it goes. start, share: where
// the copy stands in the whole work, and its part of it.
int backup(Connection& from, Connection& to, const QString& step, const CopyProgress& progress, double start,
           double share)
{
    sqlite3_backup* copy = sqlite3_backup_init(to.db(), "main", from.db(), "main");
    if (!copy)
        return sqlite3_extended_errcode(to.db());
    int rc = waiting([&] {
        int copied;
        while ((copied = sqlite3_backup_step(copy, kPagesAStep)) == SQLITE_OK) {
            const int pages = sqlite3_backup_pagecount(copy);
            if (progress && pages > 0)
                progress(step, start + share * double(pages - sqlite3_backup_remaining(copy)) / pages);
        }
        return copied;
    });
    const int finished = sqlite3_backup_finish(copy);
    if (rc == SQLITE_DONE)
        rc = finished == SQLITE_OK ? SQLITE_OK : sqlite3_extended_errcode(to.db());
    return rc;
}

} // namespace

bool isDatabaseFile(const QByteArray& path)
{
    static const char header[] = "SQLite format 3"; // and its NUL
    char start[sizeof header] = {};
    // Opened by its bytes: a name that is not UTF-8 does not survive QString.
    FILE* f = std::fopen(path.constData(), "rbe");
    if (!f)
        return false;
    const bool read = std::fread(start, 1, sizeof start, f) == sizeof start;
    std::fclose(f);
    return read && std::memcmp(start, header, sizeof header) == 0;
}

QString copyDatabase(const DatabaseCopy& files, const CopyProgress& progress)
{
    Connection from, to;
    // As any workstation opens it (read-only where the file is): a save cut short by a crash is rolled back first.
    int rc = from.open(files.source, SQLITE_OPEN_READWRITE);
    if (rc == SQLITE_OK)
        rc = waiting([&] { return from.beginReading(); });
    if (rc != SQLITE_OK)
        return QStringLiteral("La base de données %1 ne peut pas être lue : %2.").arg(files.sourceName, cause(from.db(), rc));
    rc = to.open(files.target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // A new file that no one else opens, flushed by whoever gives it its name: the engine need neither journal
    // nor flush it.
    if (rc == SQLITE_OK)
        rc = to.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    if (rc == SQLITE_OK)
        rc = backup(from, to, QStringLiteral("copie"), progress, 0, 0.5);
    // The others may write again: the copy holds the state read.
    from.end();
    if (rc != SQLITE_OK)
        return QStringLiteral("La base de données %1 n'a pas pu être copiée dans %2 : %3.")
            .arg(files.sourceName, files.targetName, cause(to.db(), rc));
    bool sound = false;
    if (progress)
        progress(QStringLiteral("vérification de la copie"), 0.5);
    rc = to.check(&sound);
    if (rc != SQLITE_OK)
        return QStringLiteral("La copie %1 de la base de données %2 ne peut pas être vérifiée : %3.")
            .arg(files.targetName, files.sourceName, cause(to.db(), rc));
    if (!sound)
        return QStringLiteral("La copie %1 de la base de données %2 ne passe pas la vérification de son intégrité : "
                              "la base de données elle-même est peut-être endommagée.")
            .arg(files.targetName, files.sourceName);
    return {};
}

QString restoreDatabase(const DatabaseCopy& files, const CopyProgress& progress)
{
    Connection from, to;
    int rc = from.open(files.source, SQLITE_OPEN_READONLY);
    if (rc == SQLITE_OK)
        rc = from.beginReading();
    bool sound = false;
    if (progress)
        progress(QStringLiteral("vérification de la copie sauvegardée"), 0);
    if (rc == SQLITE_OK)
        rc = from.check(&sound);
    if (rc != SQLITE_OK)
        return QStringLiteral("La copie sauvegardée %1 ne peut pas être lue : %2.").arg(files.sourceName, cause(from.db(), rc));
    if (!sound)
        return QStringLiteral("La copie sauvegardée %1 ne passe pas la vérification de son intégrité : elle n'est "
                              "pas restaurée.").arg(files.sourceName);
    rc = to.open(files.target, SQLITE_OPEN_READWRITE);
    if (rc == SQLITE_OK)
        rc = backup(from, to, QStringLiteral("restauration"), progress, 0.5, 0.5);
    if (rc != SQLITE_OK)
        return QStringLiteral("La base de données %1 n'a pas été restaurée, elle reste telle qu'elle était : %2.")
            .arg(files.targetName, cause(to.db(), rc));
    return {};
}

} // namespace data
