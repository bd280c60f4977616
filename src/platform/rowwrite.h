#pragma once
// A window's save of a row it read at its fill: another workstation may have changed or deleted that row
// since. The user decides about a change; a row gone (or a file replaced) is never written.
#include <QString>
#include <functional>
#include <memory>

namespace data {
class Database;
class Recordset;
}

namespace platform {

// Stores the edit pending on rs. Changed elsewhere since it was read: asks changedQuestion; Yes writes over the
// other workstation's change, No drops the edit. Deleted elsewhere, or the file replaced under the window:
// tells goneNotice and drops the edit. True when the row was stored. Any other refusal is thrown (DbError),
// the edit dropped.
bool storeEdit(data::Recordset& rs, const QString& changedQuestion, const QString& goneNotice);
// Deletes the current row of rs in the same way: changed elsewhere, asks; gone, tells. True when it was deleted.
bool deleteRow(data::Recordset& rs, const QString& changedQuestion, const QString& goneNotice);

// A first row (a couple's exams, a sheet's follow-up) added under the write lock, so that no owner gets two.
struct FirstRow {
    std::shared_ptr<data::Recordset> theirs; // the row another workstation added meanwhile, the add cancelled
    QString refused;                         // why nothing may be stored, the add cancelled
    bool added() const { return !theirs && refused.isEmpty(); }
};
// Stores the add pending on adding unless refusal (run under the lock) gives a reason or the query existing
// finds a row already. Database errors are thrown, the transaction rolled back.
FirstRow addFirstRow(data::Database& db, data::Recordset& adding, const QString& existing,
                     const std::function<QString()>& refusal = {});

// Whether a database refusal means the row read is no longer there (deleted, or the file replaced).
bool rowGone(int dbErrorCode);

} // namespace platform
