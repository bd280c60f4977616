#pragma once
// The five tables of a database file, and the creation of a new file (the program itself creates no table:
// only the folivex-newdb command and the tests do).
#include <QString>
#include <QStringList>

namespace data {

class Database;

// The fifty data columns of EXAMENS, in the order the exam window writes them.
const QStringList& examColumns();

// Creates a new database file with the five tables and the starter lists; with demo, a few sample couples,
// exams and cycles. Refuses an existing file. Returns an empty text on success, the reason otherwise.
// Whether the couple still has its CIVILITES row: a window open on a couple deleted since (from the main window
// or another workstation) must not store rows under it. Throws DbError like any read.
bool coupleExists(Database& db, int numero);

QString createDatabase(const QString& path, bool demo = false);

} // namespace data
