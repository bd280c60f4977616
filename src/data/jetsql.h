#pragma once
// Jet's SQL dialect on SQLite. The windows keep their SQL texts and criteria exactly as written for Jet; this
// is the one place where they are turned into what SQLite runs, and where Jet's text rules are installed.
#include <QString>

struct sqlite3;

namespace data {

// A text made comparable the way Jet compares: case ignored, accented letters as their base letter.
QString jetFold(const QString& text);

// Jet's LIKE: "*" any run, "?" one character, "#" one digit, "[...]" a class ("[!...]" negated, "a-z" ranges);
// "%" and "_" are plain characters. Case and accents are ignored as in comparisons.
bool jetLike(const QString& value, const QString& pattern);

// Rewrites a Jet SQL text or criterion for SQLite: double-quoted literals become single-quoted, a number that
// runs straight into a keyword gets a blank ("40178AND"), and BETWEEN with numeric bounds in either order.
QString jetToSqlite(const QString& sql);

// Doubles the apostrophes of a typed text before it is joined into an SQL text or a criterion.
QString sqlQuote(const QString& text);

// Installs the JET collation and Jet's LIKE on a connection.
void installJetFunctions(sqlite3* db);

} // namespace data
