#include "data/sqltext.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace data::sqltext {

// Where a top-level keyword starts at or after from, or -1; quotes and parentheses are skipped.
int topLevel(const QString& sql, QLatin1String keyword, int from)
{
    int depth = 0;
    const int n = int(sql.size());
    const int k = int(keyword.size());
    auto isWord = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    for (int i = std::max(from, 0); i < n; ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            for (++i; i < n; ++i)
                if (sql[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && sql[i + 1] == QLatin1Char('\''))
                        ++i;
                    else
                        break;
                }
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && c.toUpper() == QChar(keyword[0]).toUpper()
                   && QStringView(sql).mid(i, k).compare(keyword, Qt::CaseInsensitive) == 0
                   && (i == 0 || !isWord(sql[i - 1])) && (i + k >= n || !isWord(sql[i + k]))) {
            return i;
        }
    }
    return -1;
}

// The items of a list at top level (ORDER BY a, b DESC).
QStringList topLevelItems(const QString& list)
{
    QStringList items;
    int depth = 0, start = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (list[i] == QLatin1Char('('))
            ++depth;
        else if (list[i] == QLatin1Char(')'))
            --depth;
        else if (list[i] == QLatin1Char(',') && depth == 0) {
            items << list.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    items << list.mid(start).trimmed();
    return items;
}

// Keeps SQLite's planner from plans that cost one table seek per row read. A grouping in index order: reading
// the rows through the condition's index and sorting what it selects is quicker. In a file without the
// covering indexes (one that could not get them), a range of more than a year on a bare column too: the
// statistics' periods then cover most of the cycle table, which a plain scan reads once. A "+" before the
// column changes no result, only the plan.
QString plannerHints(QString sql, bool coveringIndexes)
{
    static const QRegularExpression wideRange(
        QStringLiteral("(^|[\\s(])([A-Za-z_][A-Za-z0-9_.]*)(\\s+BETWEEN\\s+(-?\\d+(?:\\.\\d+)?)\\s+AND\\s+(-?\\d+(?:\\.\\d+)?))"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = wideRange.globalMatch(sql); !coveringIndexes && it.hasNext();) {
        const auto m = it.next();
        if (m.captured(2).compare(QLatin1String("NOT"), Qt::CaseInsensitive) != 0
            && std::abs(m.captured(5).toDouble() - m.captured(4).toDouble()) > 366) {
            sql.insert(m.capturedStart(2), QLatin1Char('+'));
            break; // the offsets after this one have moved; the windows' texts hold one range
        }
    }
    static const QRegularExpression groupBy(QStringLiteral("\\bGROUP\\s+BY\\s+(?=[A-Za-z_])"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const auto g = groupBy.match(sql); g.hasMatch())
        sql.insert(g.capturedEnd(), QLatin1Char('+'));
    return sql;
}

// A string literal of SQL starting at i: its end (after the closing quote) and its text, or -1.
int literalEnd(const QString& sql, int i, QString* text)
{
    if (i >= sql.size() || sql[i] != QLatin1Char('\''))
        return -1;
    QString t;
    for (int j = i + 1; j < sql.size(); ++j) {
        if (sql[j] != QLatin1Char('\'')) {
            t += sql[j];
        } else if (j + 1 < sql.size() && sql[j + 1] == QLatin1Char('\'')) {
            t += sql[j++];
        } else {
            *text = t;
            return j + 1;
        }
    }
    return -1;
}

bool isWildcard(QChar c)
{
    return c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('#') || c == QLatin1Char('[');
}

} // namespace data::sqltext
