#pragma once
// The statistics window's data control.
#include <QString>
#include <memory>

namespace data {

class Database;
class Recordset;

// The statistics window's data control: bound to a database file by name, runs its record source on Refresh.
class DataControl {
public:
    QString DatabaseName;
    QString RecordSource;
    void Refresh();
    std::shared_ptr<Recordset> recordset() const { return m_rs; }
    // Lets go of the rows read (a count grouped by couple holds a value a couple); RecordSource stays.
    void release() { m_rs.reset(); }

private:
    std::shared_ptr<Database> m_db;
    std::shared_ptr<Recordset> m_rs;
};

} // namespace data
