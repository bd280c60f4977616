#include "admin/letterheadfile.h"

#include "platform/environment.h"
#include "platform/filewrite.h"

#include <QFile>

namespace letterhead {

namespace {

// Bytes 0x80..0x9F of Windows-1252; the rest of the code page is Latin-1. 0 marks the five unused bytes.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The reader of one field set: Input-style fields, a line end ending a field as a comma does.
class FieldReader {
public:
    explicit FieldReader(const QByteArray& bytes) : m_b(bytes) {}

    bool atEnd() const { return m_pos >= m_b.size(); }

    // False when the file ends before a field starts.
    bool next(QByteArray& field)
    {
        while (!atEnd() && (m_b[m_pos] == ' ' || m_b[m_pos] == '\t'))
            ++m_pos;
        if (atEnd())
            return false;
        field.clear();
        if (m_b[m_pos] == '"') {
            const qsizetype close = m_b.indexOf('"', m_pos + 1);
            const qsizetype end = close < 0 ? m_b.size() : close;
            field = m_b.mid(m_pos + 1, end - m_pos - 1);
            m_pos = end < m_b.size() ? end + 1 : end;
            while (!atEnd() && !isSeparator(m_b[m_pos])) // what follows the closing quote is dropped
                ++m_pos;
        } else {
            const qsizetype start = m_pos;
            while (!atEnd() && !isSeparator(m_b[m_pos]))
                ++m_pos;
            field = m_b.mid(start, m_pos - start);
        }
        skipSeparator();
        return true;
    }

private:
    static bool isSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }

    void skipSeparator()
    {
        if (atEnd())
            return;
        const char c = m_b[m_pos++];
        if (c == '\r' && !atEnd() && m_b[m_pos] == '\n')
            ++m_pos;
    }

    const QByteArray& m_b;
    qsizetype m_pos = 0;
};

QString sanitized(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    return text;
}

} // namespace

QString defaultPath() { return platform::programFile(QStringLiteral("Entet.idc")); }

QByteArray encode1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // The five bytes without a character stand for themselves, as the code page's converter does.
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u < 0xA0 && kHigh[u - 0x80] == 0)) {
            out.append(char(u));
            continue;
        }
        char byte = '?'; // not in the code page
        for (int i = 0; i < 32; ++i) {
            if (kHigh[i] != 0 && kHigh[i] == u) {
                byte = char(0x80 + i);
                break;
            }
        }
        out.append(byte);
    }
    return out;
}

QString decode1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        const char16_t high = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : 0;
        out.append(QChar(high ? high : char16_t(b)));
    }
    return out;
}

QStringList read(const QString& path, bool* ok)
{
    if (ok)
        *ok = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    file.close();

    QStringList last;
    FieldReader reader(bytes);
    while (!reader.atEnd()) {
        QStringList set;
        QByteArray field;
        while (set.size() < kFieldCount && reader.next(field))
            set << decode1252(field);
        if (set.size() < kFieldCount)
            break; // a short set is dropped: the last complete one stands
        last = set;
    }
    if (ok)
        *ok = !last.isEmpty();
    return last;
}

bool write(const QString& path, const QStringList& twelve, platform::FileFailure* failure)
{
    QByteArray line;
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0)
            line += ',';
        line += '"' + encode1252(sanitized(twelve.value(i))) + '"';
    }
    line += "\r\n";

    return platform::writeFile(path, line, failure);
}

} // namespace letterhead
