// Jet's LIKE on a column that leads an index, made something the index can seek.
#include "data/database.h"
#include "data/jetsql.h"
#include "data/sqltext.h"
#include "data/statement.h"

#include <QRegularExpression>
#include <algorithm>

namespace data {

using namespace sqltext;

const QStringList& Database::leadingIndexColumns(const QString& table)
{
    const QString key = table.toLower();
    if (const auto it = m_leading.find(key); it != m_leading.end())
        return it->second;
    QStringList columns;
    Stmt list(*this, QStringLiteral("SELECT il.name, ii.name, ii.coll FROM pragma_index_list('%1') AS il, "
                                    "pragma_index_xinfo(il.name) AS ii WHERE ii.seqno = 0")
                         .arg(sqlQuote(table)));
    while (list.step())
        if (list.column(2).toString().compare(QLatin1String("JET"), Qt::CaseInsensitive) == 0)
            columns << list.column(1).toString().toLower();
    return m_leading.emplace(key, columns).first->second;
}

QString Database::seekableLike(const QString& column, const QString& table, const QString& pattern)
{
    const QString col = quoted(column) + QStringLiteral(" COLLATE JET");
    const int wild = int(std::find_if(pattern.begin(), pattern.end(), isWildcard) - pattern.begin());
    if (wild == pattern.size()) // Jet's LIKE without wildcards compares as "=" does
        return QStringLiteral("%1 = '%2'").arg(col, sqlQuote(pattern));
    // The values that may match lie in the range of the literal start (apostrophes and hyphens weigh
    // nothing at first, so "FIV*" spans FIV to FIV\uffff); one seek per distinct value, as many as a list of
    // types holds at the most.
    constexpr int kMostValues = 64;
    const QString prefix = pattern.left(wild);
    const QString upper = prefix.isEmpty() ? QString() : prefix + QChar(0xFFFF);
    QStringList matching;
    QVariant last;
    for (int n = 0;; ++n) {
        if (n > kMostValues)
            return QString();
        QStringList conds;
        QVariantList binds;
        if (last.isValid()) {
            conds << col + QStringLiteral(" > ?");
            binds << last;
        } else if (!prefix.isEmpty()) {
            conds << col + QStringLiteral(" >= ?");
            binds << prefix;
        } else {
            conds << col + QStringLiteral(" IS NOT NULL");
        }
        if (!upper.isEmpty()) {
            conds << col + QStringLiteral(" < ?");
            binds << upper;
        }
        Stmt st(*this, QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
                           .arg(quoted(column), quoted(table), conds.join(QStringLiteral(" AND ")), col));
        for (int i = 0; i < binds.size(); ++i)
            st.bind(i + 1, binds[i]);
        if (!st.step())
            break;
        last = st.column(0);
        // Values equal for the collation fold alike, so one of them answers for all.
        if (jetLike(last.toString(), pattern))
            matching << QLatin1Char('\'') + sqlQuote(last.toString()) + QLatin1Char('\'');
    }
    return QStringLiteral("%1 IN (%2)").arg(col, joined(matching));
}

QString Database::seekableLikes(const QString& sql, const QString& table)
{
    static const QRegularExpression column(
        QStringLiteral("(?:\\b([A-Za-z_][A-Za-z0-9_]*)\\.)?\\b([A-Za-z_][A-Za-z0-9_]*)\\s*$"));
    QString out;
    int done = 0;
    for (int i = 0; i < sql.size(); ++i) {
        QString text;
        if (sql[i] == QLatin1Char('\'')) { // skip literals: a LIKE is never read inside one
            const int end = literalEnd(sql, i, &text);
            if (end < 0)
                break;
            i = end - 1;
            continue;
        }
        auto isWord = [](QChar ch) { return ch.isLetterOrNumber() || ch == QLatin1Char('_'); };
        if ((sql[i] != QLatin1Char('L') && sql[i] != QLatin1Char('l')) || (i > 0 && isWord(sql[i - 1]))
            || QStringView(sql).mid(i, 4).compare(QLatin1String("LIKE"), Qt::CaseInsensitive) != 0
            || (i + 4 < sql.size() && isWord(sql[i + 4])))
            continue;
        int literal = i + 4;
        while (literal < sql.size() && sql[literal].isSpace())
            ++literal;
        const int end = literalEnd(sql, literal, &text);
        const auto c = column.match(QStringView(sql).mid(done, i - done));
        if (end < 0 || !c.hasMatch() || c.captured(2).compare(QLatin1String("NOT"), Qt::CaseInsensitive) == 0
            || (!c.captured(1).isEmpty() && c.captured(1).compare(table, Qt::CaseInsensitive) != 0)
            || !leadingIndexColumns(table).contains(c.captured(2).toLower())) {
            continue;
        }
        const QString seek = seekableLike(c.captured(2), table, text);
        if (seek.isEmpty())
            continue;
        out += sql.mid(done, i - done - int(c.capturedLength(0))) + seek + QLatin1Char(' ');
        done = end;
        i = end - 1;
    }
    return out + sql.mid(done);
}

} // namespace data
