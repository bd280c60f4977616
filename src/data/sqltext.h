#pragma once
// Reading the windows' SQL texts as they are: where a clause starts, the items of a list, a literal's end;
// and the hints that keep the engine's planner on the plans the indexes allow.
#include <QLatin1String>
#include <QString>
#include <QStringList>

namespace data::sqltext {

// Where a top-level keyword starts at or after from (the start when from is before it), or -1; quotes and
// parentheses are skipped.
int topLevel(const QString& sql, QLatin1String keyword, int from = 0);

// The items of a list at top level (ORDER BY a, b DESC).
QStringList topLevelItems(const QString& list);

// A string literal of SQL starting at i: its end (after the closing quote) and its text, or -1.
int literalEnd(const QString& sql, int i, QString* text);

// Jet's LIKE wildcards.
bool isWildcard(QChar c);

// Keeps SQLite's planner from plans that cost one table seek per row read (see the definition).
QString plannerHints(QString sql, bool coveringIndexes);

inline QString joined(const QStringList& items) { return items.join(QLatin1Char(',')); }
inline QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

} // namespace data::sqltext
