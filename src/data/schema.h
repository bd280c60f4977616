#pragma once
// The five tables of a database file, and the creation of a new file (the program itself creates no table:
// only the folivex-newdb command and the tests do).
#include <QString>
#include <QList>
#include <QStringList>

namespace data {

class Database;

struct Column {
    QString name;
    QString type; // as a new file declares it
};

struct Table {
    QString name;
    QList<Column> columns;
    // The columns besides the rowid that make a row the record a window showed, whatever happened to the file
    // since: a rowid may be given again to another row, and a file put in place (a backup restored) may hold
    // another record under it.
    QStringList key;
};

// The five tables and every column the windows read or write, in the order a new file declares them. The
// opening refuses a file that lacks one (another tool may have dropped it): no window meets its absence later.
const QList<Table>& tables();

// The fifty data columns of EXAMENS, in the order the exam window writes them.
const QStringList& examColumns();

// The indexes of a database file ("CREATE INDEX name ON ..."), made with the tables and, when missing in an
// existing file, at its opening. An index adds no table, column or list and changes no stored value.
const QStringList& indexStatements();

// The key columns of the table (Table::key); none for a table that is not one of the five.
QStringList rowKeyColumns(const QString& table);

// Whether the couple still has its CIVILITES row: a window open on a couple deleted since (from the main window
// or another workstation) must not store rows under it. Throws DbError like any read.
bool coupleExists(Database& db, qint64 numero);

// Creates a new database file with the five tables, their indexes and the starter lists; with demo, a few
// sample couples, exams and cycles. Refuses an existing file. Returns an empty text on success, the reason
// otherwise.
QString createDatabase(const QString& path, bool demo = false);

} // namespace data
