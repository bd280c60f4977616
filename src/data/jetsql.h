#pragma once
// Jet's SQL dialect on SQLite. The windows keep their SQL texts and criteria exactly as written for Jet; this
// is the one place where they are turned into what SQLite runs, and where Jet's text rules are installed.
#include <QString>

struct sqlite3;

namespace data {

// A text made comparable the way Jet compares: case ignored, accented letters as their base letter.
QString jetFold(const QString& text);

// Jet's text order, that of the JET collation: folded texts compared with apostrophes and hyphens left out,
// then, for texts equal so, with them weighing after every other character. 0 only for equal folds.
int jetCompare(const QString& a, const QString& b);

// The version of that order. A file records the version its JET indexes were built with (user_version); an
// index built with another order is rebuilt before it is used. Version 0 compared the folds as they stand;
// version 1 left out ' and - but not their typographic look-alikes.
inline constexpr int kJetCollationVersion = 2;

// Jet's LIKE: "*" any run, "?" one character, "#" one digit, "[...]" a class ("[!...]" negated, "a-z" ranges);
// "%" and "_" are plain characters. Case and accents are ignored as in comparisons.
bool jetLike(const QString& value, const QString& pattern);

// Rewrites a Jet SQL text or criterion for SQLite: double-quoted literals become single-quoted, a number that
// runs straight into a keyword gets a blank ("40178AND"), and BETWEEN with numeric bounds in either order.
QString jetToSqlite(const QString& sql);

// Doubles the apostrophes of a typed text before it is joined into an SQL text or a criterion.
QString sqlQuote(const QString& text);

// Installs the JET collation (in the order of the given version) and Jet's LIKE on a connection that runs no
// statement. False when the engine refused.
bool installJetFunctions(sqlite3* db, int collationVersion = kJetCollationVersion);

} // namespace data
