#pragma once
// A window's save of a row it read at its fill: another workstation may have changed or deleted that row
// since. The user decides about a change; a row gone (or a file replaced) is never written.
#include <QString>

namespace data {
class Recordset;
}

namespace platform {

// Stores the edit pending on rs. Changed elsewhere since it was read: asks changedQuestion; Yes writes over the
// other workstation's change, No drops the edit. Deleted elsewhere, or the file replaced under the window:
// tells goneNotice and drops the edit. True when the row was stored. Any other refusal is thrown (DbError),
// the edit dropped.
bool storeEdit(data::Recordset& rs, const QString& changedQuestion, const QString& goneNotice);

// Whether a database refusal means the row read is no longer there (deleted, or the file replaced).
bool rowGone(int dbErrorCode);

} // namespace platform
