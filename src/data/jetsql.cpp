#include "data/jetsql.h"

#include <QRegularExpression>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace data {

QString jetFold(const QString& text)
{
    // Fast path: plain ASCII needs no decomposition.
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 128) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLower();
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        out.append(c);
    }
    // Ligatures and letters with no decomposition that a French user types.
    out.replace(QStringLiteral("æ"), QStringLiteral("ae"));
    out.replace(QStringLiteral("Æ"), QStringLiteral("ae"));
    out.replace(QStringLiteral("œ"), QStringLiteral("oe"));
    out.replace(QStringLiteral("Œ"), QStringLiteral("oe"));
    return out.toLower();
}

namespace {

struct PatternItem {
    enum Kind { Any, One, Digit, Class, Literal } kind;
    QChar ch;
    bool negate = false;
    std::vector<std::pair<QChar, QChar>> ranges = {};

    bool matches(QChar c) const
    {
        switch (kind) {
        case One: return true;
        case Digit: return c.isDigit();
        case Literal: return c == ch;
        case Class: {
            bool in = false;
            for (const auto& [lo, hi] : ranges)
                if (c >= lo && c <= hi) {
                    in = true;
                    break;
                }
            return in != negate;
        }
        case Any: return true;
        }
        return false;
    }
};

std::vector<PatternItem> compilePattern(const QString& pattern)
{
    std::vector<PatternItem> items;
    const int n = int(pattern.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('*')) {
            if (items.empty() || items.back().kind != PatternItem::Any)
                items.push_back({PatternItem::Any, {}});
        } else if (c == QLatin1Char('?')) {
            items.push_back({PatternItem::One, {}});
        } else if (c == QLatin1Char('#')) {
            items.push_back({PatternItem::Digit, {}});
        } else if (c == QLatin1Char('[')) {
            const int close = pattern.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0) { // an unclosed bracket is taken literally
                items.push_back({PatternItem::Literal, c});
                continue;
            }
            PatternItem item{PatternItem::Class, {}};
            int j = i + 1;
            if (j < close && pattern[j] == QLatin1Char('!')) {
                item.negate = true;
                ++j;
            }
            for (; j < close; ++j) {
                if (j + 2 < close && pattern[j + 1] == QLatin1Char('-')) {
                    item.ranges.push_back({pattern[j], pattern[j + 2]});
                    j += 2;
                } else {
                    item.ranges.push_back({pattern[j], pattern[j]});
                }
            }
            items.push_back(item);
            i = close;
        } else {
            items.push_back({PatternItem::Literal, c});
        }
    }
    return items;
}

} // namespace

namespace {

bool matchItems(const QChar* value, int n, const std::vector<PatternItem>& items)
{
    // Greedy match with backtracking to the last "*": linear in practice.
    const int m = int(items.size());
    int vi = 0, pi = 0, starP = -1, starV = 0;
    while (vi < n) {
        if (pi < m && items[pi].kind == PatternItem::Any) {
            starP = pi++;
            starV = vi;
        } else if (pi < m && items[pi].matches(value[vi])) {
            ++vi;
            ++pi;
        } else if (starP >= 0) {
            pi = starP + 1;
            vi = ++starV;
        } else {
            return false;
        }
    }
    while (pi < m && items[pi].kind == PatternItem::Any)
        ++pi;
    return pi == m;
}

// The fold of every character below U+0100 whose fold is one character, 0 for the others (æ, ß...), which
// take the full path. Built from jetFold itself so that both paths always agree.
const std::array<char16_t, 256>& latinFoldTable()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int c = 0; c < 256; ++c) {
            const QString f = jetFold(QString(QChar(c)));
            t[size_t(c)] = f.size() == 1 ? f[0].unicode() : 0;
        }
        return t;
    }();
    return table;
}

// Folds UTF-8 text into out without allocating for the usual texts; false when a character needs the full
// path. Decodes one- and two-byte sequences only (everything below U+0800).
} // namespace

bool jetLike(const QString& rawValue, const QString& rawPattern)
{
    const QString value = jetFold(rawValue);
    return matchItems(value.constData(), int(value.size()), compilePattern(jetFold(rawPattern)));
}

QString jetToSqlite(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    const int n = int(sql.size());
    auto isIdent = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    for (int i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            int j = i + 1;
            for (; j < n; ++j) {
                if (sql[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && sql[j + 1] == QLatin1Char('\''))
                        ++j;
                    else
                        break;
                }
            }
            out += sql.mid(i, j - i + 1);
            i = j;
        } else if (c == QLatin1Char('"')) {
            int j = i + 1;
            QString lit;
            for (; j < n; ++j) {
                if (sql[j] == QLatin1Char('"')) {
                    if (j + 1 < n && sql[j + 1] == QLatin1Char('"')) {
                        lit += QLatin1Char('"');
                        ++j;
                    } else {
                        break;
                    }
                } else {
                    lit += sql[j];
                }
            }
            out += QLatin1Char('\'') + sqlQuote(lit) + QLatin1Char('\'');
            i = j;
        } else if (c.isDigit() && (i == 0 || (!isIdent(sql[i - 1]) && sql[i - 1] != QLatin1Char('.')))) {
            int j = i;
            while (j < n && (sql[j].isDigit() || sql[j] == QLatin1Char('.')))
                ++j;
            out += sql.mid(i, j - i);
            if (j < n && sql[j].isLetter())
                out += QLatin1Char(' ');
            i = j - 1;
        } else {
            out += c;
        }
    }
    static const QRegularExpression between(
        QStringLiteral("\\bBETWEEN\\s+(-?\\d+(?:\\.\\d+)?)\\s+AND\\s+(-?\\d+(?:\\.\\d+)?)"),
        QRegularExpression::CaseInsensitiveOption);
    QString result;
    int last = 0;
    auto it = between.globalMatch(out);
    while (it.hasNext()) {
        const auto m = it.next();
        const double a = m.captured(1).toDouble();
        const double b = m.captured(2).toDouble();
        result += out.mid(last, m.capturedStart() - last);
        result += QStringLiteral("BETWEEN %1 AND %2").arg(a <= b ? m.captured(1) : m.captured(2),
                                                           a <= b ? m.captured(2) : m.captured(1));
        last = int(m.capturedEnd());
    }
    result += out.mid(last);
    return result;
}

QString sqlQuote(const QString& text)
{
    QString s = text;
    s.replace(QLatin1Char('\''), QStringLiteral("''"));
    s.remove(QChar(0)); // the engine would end the statement there
    return s;
}

namespace {

// The folded character at s[i], advancing i; -1 when the character needs the full path.
int nextFolded(const char* s, int len, int& i)
{
    const auto& table = latinFoldTable();
    const auto b = static_cast<unsigned char>(s[i++]);
    unsigned cp;
    if (b < 0x80) {
        cp = b;
    } else if ((b & 0xE0) == 0xC0 && i < len && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) {
        cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i++]) & 0x3Fu);
    } else {
        return -1;
    }
    return cp < 256 && table[cp] ? table[cp] : -1;
}

// Apostrophes and hyphens weigh nothing in Jet's first comparison (D'ARC sorts as DARC, MARTIN-LEFEBVRE as
// MARTINLEFEBVRE); they only order texts that are otherwise equal, after every other character. Their
// look-alikes pasted from a letter (typographic apostrophes, Unicode hyphens) are marks too.
constexpr bool isMark(int c)
{
    return c == '\'' || c == '-' || c == 0x2019 || c == 0x2018 || c == 0x02BC || c == 0x2010 || c == 0x2011;
}
constexpr int tieWeight(int c) { return isMark(c) ? 0x10000 + c : c; }

// The two-level order on folded texts; 0 only for equal folds.
int compareFolded(const QChar* a, int na, const QChar* b, int nb)
{
    int i = 0, j = 0;
    for (;;) {
        while (i < na && isMark(a[i].unicode()))
            ++i;
        while (j < nb && isMark(b[j].unicode()))
            ++j;
        if (i == na || j == nb) {
            if (i != na || j != nb)
                return i == na ? -1 : 1;
            break;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    for (i = 0; i < na && i < nb; ++i)
        if (a[i] != b[i])
            return tieWeight(a[i].unicode()) < tieWeight(b[i].unicode()) ? -1 : 1;
    return (na > nb) - (na < nb);
}

int compareSlow(const char* sa, int la, const char* sb, int lb)
{
    const QString a = jetFold(QString::fromUtf8(sa, la));
    const QString b = jetFold(QString::fromUtf8(sb, lb));
    return compareFolded(a.constData(), int(a.size()), b.constData(), int(b.size()));
}

// The next folded character of the first comparison (marks skipped), -2 at the end, -1 for the full path.
int nextWeighed(const char* s, int len, int& i)
{
    while (i < len) {
        const int c = nextFolded(s, len, i);
        if (c < 0 || !isMark(c))
            return c;
    }
    return -2;
}

int jetCollate(void*, int la, const void* a, int lb, const void* b)
{
    // Called for every row a condition reads: compare character by character as folded, which usually
    // decides on the first one; a character outside the table sends both texts down the full path.
    const auto* sa = static_cast<const char*>(a);
    const auto* sb = static_cast<const char*>(b);
    if (la == lb && std::memcmp(sa, sb, size_t(la)) == 0)
        return 0; // the same text, as "=" on a list item mostly meets
    int i = 0, j = 0;
    for (;;) {
        const int ca = nextWeighed(sa, la, i);
        const int cb = nextWeighed(sb, lb, j);
        if (ca == -1 || cb == -1)
            return compareSlow(sa, la, sb, lb);
        if (ca == -2 || cb == -2) {
            if (ca != cb)
                return ca == -2 ? -1 : 1;
            break;
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    // Equal but for the marks: every character folded on the quick path, so it is taken again.
    i = j = 0;
    while (i < la && j < lb) {
        const int ca = nextFolded(sa, la, i);
        const int cb = nextFolded(sb, lb, j);
        if (ca != cb)
            return tieWeight(ca) < tieWeight(cb) ? -1 : 1;
    }
    return (i < la) - (j < lb);
}

// The order of files whose collation version is 0: folded texts compared as they stand.
int legacyCollate(void*, int la, const void* a, int lb, const void* b)
{
    const QString fa = jetFold(QString::fromUtf8(static_cast<const char*>(a), la));
    const QString fb = jetFold(QString::fromUtf8(static_cast<const char*>(b), lb));
    return QString::compare(fa, fb);
}

QString argText(sqlite3_value* v)
{
    const auto* t = sqlite3_value_text(v);
    return t ? QString::fromUtf8(reinterpret_cast<const char*>(t), sqlite3_value_bytes(v)) : QString();
}

bool fastFold(const char* s, int len, QVarLengthArray<char16_t, 128>& out)
{
    out.clear();
    for (int i = 0; i < len;) {
        const int c = nextFolded(s, len, i);
        if (c < 0)
            return false;
        out.append(char16_t(c));
    }
    return true;
}

void freePattern(void* p) { delete static_cast<std::vector<PatternItem>*>(p); }

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // SQLite calls like(pattern, value).
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    // The pattern of a query is a constant: compile it once per statement.
    auto* items = static_cast<std::vector<PatternItem>*>(sqlite3_get_auxdata(ctx, 0));
    if (!items) {
        items = new std::vector<PatternItem>(compilePattern(jetFold(argText(argv[0]))));
        sqlite3_set_auxdata(ctx, 0, items, freePattern);
        items = static_cast<std::vector<PatternItem>*>(sqlite3_get_auxdata(ctx, 0));
        if (!items) { // SQLite may drop it at once; match with a fresh compile then
            sqlite3_result_int(ctx, jetLike(argText(argv[1]), argText(argv[0])) ? 1 : 0);
            return;
        }
    }
    QVarLengthArray<char16_t, 128> folded;
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int len = sqlite3_value_bytes(argv[1]);
    bool match;
    if (fastFold(text, len, folded)) {
        match = matchItems(reinterpret_cast<const QChar*>(folded.constData()), int(folded.size()), *items);
    } else {
        const QString value = jetFold(QString::fromUtf8(text, len));
        match = matchItems(value.constData(), int(value.size()), *items);
    }
    sqlite3_result_int(ctx, match ? 1 : 0);
}

} // namespace

int jetCompare(const QString& a, const QString& b)
{
    const QString fa = jetFold(a);
    const QString fb = jetFold(b);
    return compareFolded(fa.constData(), int(fa.size()), fb.constData(), int(fb.size()));
}

bool installJetFunctions(sqlite3* db, int collationVersion)
{
    return sqlite3_create_collation(db, "JET", SQLITE_UTF8, nullptr,
                                    collationVersion == 0 ? legacyCollate : jetCollate) == SQLITE_OK
        && sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                   nullptr, nullptr) == SQLITE_OK;
}

} // namespace data
