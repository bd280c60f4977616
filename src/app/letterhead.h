#pragma once
// The letterhead file "Entet.idc" of the program directory: one line of twelve double-quoted fields joined by
// commas, in the Windows-1252 code page, ended by CR LF. Read by the main window at its load and read and
// written by the letterhead window.
#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace app {

// Field order in the file: 0 civility, 1 surname, 2 first name, 3 speciality, 4 establishment, 5 address 1,
// 6 address 2, 7 town, 8 departement, 9 telephone, 10 clinical centre number, 11 biology centre number.
constexpr int kLetterheadFieldCount = 12;
using LetterheadFields = std::array<QString, kLetterheadFieldCount>;

// The program directory's "Entet.idc".
QString letterheadPath();

// The last complete record of twelve fields in the file (several lines: the last one wins). Nothing when the
// file is missing, unreadable or holds no complete record.
std::optional<LetterheadFields> readLetterhead(const QString& path = letterheadPath());

// Writes the one-line file, replacing any earlier one. Texts are stored unchanged (a double quote inside a
// field cuts it when read back); characters outside Windows-1252 become "?". False when it cannot be written.
bool writeLetterhead(const LetterheadFields& fields, const QString& path = letterheadPath());

// The file's bytes and back (exposed for tests).
QByteArray encodeLetterhead(const LetterheadFields& fields);
std::optional<LetterheadFields> decodeLetterhead(const QByteArray& bytes);

// Windows-1252 conversions.
QString fromCp1252(const QByteArray& bytes);
QByteArray toCp1252(const QString& text);

} // namespace app
