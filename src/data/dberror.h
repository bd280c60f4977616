#pragma once
// The errors of the database layer: Jet's numbers where the windows rely on them (3021: no current record),
// each with a French text for the user. The engine's own words and the SQL text never reach that text.
#include <QString>
#include <stdexcept>

struct sqlite3;

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
    // The failures of the file itself, each with its French text.
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

namespace errors {

DbError noCurrentRecord();
DbError recordDeleted();
DbError rowChanged();
DbError notUpdatable();
DbError fileReplaced(const QString& path);
DbError closed(const QString& path);

// The error of a failed engine call on the file at path, with the French text of its cause. opening: the file
// is being opened (it was never in use). A query the engine refuses is a fault of the program: the user reads
// that the operation was refused; the query and the engine's words go to the program's log.
DbError engine(sqlite3* db, int rc, const QString& path, bool opening, const QString& sql = QString());

} // namespace errors

} // namespace data
