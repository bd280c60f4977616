#include "app/letterhead.h"

#include "platform/environment.h"

#include <QFile>
#include <QSaveFile>
#include <vector>

namespace app {

namespace {

// Bytes 0x80..0x9F of Windows-1252 (0 where the code page has no character); the rest equals Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Reads one field from pos in the manner of a sequential text read: leading blanks skipped, a quoted field runs
// to the closing quote with the rest up to the separator dropped, an unquoted one to the next comma or line end.
// Consumes the separator (a comma, or CR LF / CR / LF). False when the data ends before a field.
bool readField(const QByteArray& b, qsizetype& pos, QByteArray& out)
{
    const qsizetype n = b.size();
    while (pos < n && isBlank(b[pos]))
        ++pos;
    if (pos >= n)
        return false;
    out.clear();
    if (b[pos] == '"') {
        ++pos;
        while (pos < n && b[pos] != '"')
            out += b[pos++];
        while (pos < n && b[pos] != ',' && !isLineEnd(b[pos]))
            ++pos;
    } else {
        while (pos < n && b[pos] != ',' && !isLineEnd(b[pos]))
            out += b[pos++];
        while (!out.isEmpty() && isBlank(out.back()))
            out.chop(1);
    }
    if (pos < n && b[pos] == ',') {
        ++pos;
    } else if (pos < n && b[pos] == '\r') {
        ++pos;
        if (pos < n && b[pos] == '\n')
            ++pos;
    } else if (pos < n && b[pos] == '\n') {
        ++pos;
    }
    return true;
}

bool onlySpaceLeft(const QByteArray& b, qsizetype pos)
{
    for (; pos < b.size(); ++pos)
        if (!isBlank(b[pos]) && !isLineEnd(b[pos]))
            return false;
    return true;
}

} // namespace

QString fromCp1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 && u < 0xA0)
            out += kCp1252High[u - 0x80] ? QChar(kCp1252High[u - 0x80]) : QChar(u);
        else
            out += QChar(u);
    }
    return out;
}

QByteArray toCp1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += char(u);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (kCp1252High[i] == u)
                mapped = char(0x80 + i);
        out += mapped;
    }
    return out;
}

QString letterheadPath() { return platform::programFile(QStringLiteral("Entet.idc")); }

std::optional<LetterheadFields> decodeLetterhead(const QByteArray& bytes)
{
    std::optional<LetterheadFields> last;
    qsizetype pos = 0;
    QByteArray field;
    while (!onlySpaceLeft(bytes, pos)) {
        LetterheadFields rec;
        for (int i = 0; i < kLetterheadFieldCount; ++i) {
            if (!readField(bytes, pos, field))
                return last; // a short record: what an earlier one gave stays
            rec[size_t(i)] = fromCp1252(field);
        }
        last = rec;
    }
    return last;
}

std::optional<LetterheadFields> readLetterhead(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodeLetterhead(f.readAll());
}

QByteArray encodeLetterhead(const LetterheadFields& fields)
{
    QByteArray out;
    for (int i = 0; i < kLetterheadFieldCount; ++i) {
        if (i)
            out += ',';
        out += '"' + toCp1252(fields[size_t(i)]) + '"';
    }
    out += "\r\n";
    return out;
}

bool writeLetterhead(const LetterheadFields& fields, const QString& path)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(encodeLetterhead(fields));
    return f.commit();
}

} // namespace app
