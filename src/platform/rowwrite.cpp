#include "platform/rowwrite.h"

#include "data/database.h"
#include "platform/controls.h"
#include "platform/messages.h"

using data::DbError;
using data::Recordset;

namespace platform {

FirstRow addFirstRow(data::Database& db, Recordset& adding, const QString& existing,
                     const std::function<QString()>& refusal)
{
    FirstRow row;
    db.BeginTrans();
    try {
        if (refusal)
            row.refused = refusal();
        if (row.refused.isEmpty()) {
            row.theirs = db.OpenRecordset(existing);
            if (row.theirs->isEOF()) {
                row.theirs.reset();
                adding.Update();
                db.CommitTrans();
                return row;
            }
        }
        db.Rollback();
    } catch (const DbError&) {
        db.rollbackQuietly();
        throw;
    }
    adding.CancelUpdate();
    return row;
}

bool rowGone(int code) { return code == DbError::RecordDeleted || code == DbError::FileReplaced; }

namespace {

// A write through the row read (an update, a delete), checked against another workstation's work since.
bool checkedWrite(Recordset& rs, const std::function<void(Recordset::WriteCheck)>& write,
                  const QString& changedQuestion, const QString& goneNotice)
{
    const auto drop = [&rs] {
        if (rs.editing())
            rs.CancelUpdate();
    };
    try {
        try {
            write(Recordset::WriteCheck::Unchanged);
            return true;
        } catch (const DbError& e) {
            if (e.code() != DbError::RowChanged)
                throw;
        }
        // An edit stays pending while the user decides.
        if (!askYesNo(changedQuestion)) {
            drop();
            return false;
        }
        write(Recordset::WriteCheck::SameRow);
        return true;
    } catch (const DbError& e) {
        drop();
        if (!rowGone(e.code()))
            throw;
        notice(goneNotice);
        return false;
    }
}

} // namespace

bool storeEdit(Recordset& rs, const QString& changedQuestion, const QString& goneNotice)
{
    return checkedWrite(rs, [&rs](Recordset::WriteCheck check) { rs.Update(check); }, changedQuestion, goneNotice);
}

bool deleteRow(Recordset& rs, const QString& changedQuestion, const QString& goneNotice)
{
    return checkedWrite(rs, [&rs](Recordset::WriteCheck check) { rs.Delete(check); }, changedQuestion, goneNotice);
}

void ShownRow::shown(const QString& key, const QVariant& read, const QWidget* control)
{
    m_shown.insert(key, {read, control, control ? controlState(control) : QString()});
}

bool ShownRow::unchanged(const QString& key) const
{
    const auto it = m_shown.constFind(key);
    return it != m_shown.cend() && (!it->control || controlState(it->control) == it->state);
}

} // namespace platform
