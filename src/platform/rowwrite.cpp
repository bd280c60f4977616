#include "platform/rowwrite.h"

#include "data/database.h"
#include "platform/messages.h"

using data::DbError;
using data::Recordset;

namespace platform {

bool rowGone(int code) { return code == DbError::RecordDeleted || code == DbError::FileReplaced; }

bool storeEdit(Recordset& rs, const QString& changedQuestion, const QString& goneNotice)
{
    const auto drop = [&rs] {
        if (rs.editing())
            rs.CancelUpdate();
    };
    try {
        try {
            rs.Update();
            return true;
        } catch (const DbError& e) {
            if (e.code() != DbError::RowChanged)
                throw;
        }
        // The edit stays pending while the user decides.
        if (!askYesNo(changedQuestion)) {
            drop();
            return false;
        }
        rs.Update(Recordset::WriteCheck::SameRow);
        return true;
    } catch (const DbError& e) {
        drop();
        if (!rowGone(e.code()))
            throw;
        notice(goneNotice);
        return false;
    }
}

} // namespace platform
