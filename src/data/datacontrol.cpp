#include "data/datacontrol.h"

#include "data/database.h"

namespace data {

void DataControl::Refresh()
{
    // The same database object while its file is named: it reads whatever file is in place at each query.
    if (!m_db || !m_db->isOpen() || m_db->path() != DatabaseName)
        m_db = Database::open(DatabaseName);
    m_rs = m_db->OpenRecordset(RecordSource);
}

} // namespace data
