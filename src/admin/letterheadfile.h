#pragma once
// The letterhead file "Entet.idc": one line of twelve double-quoted fields separated by commas, in the
// Windows-1252 code page, ended by CR LF. The main window's load and the letterhead window both read it here.
#include <QString>
#include <QStringList>

namespace platform {
struct FileFailure;
}

namespace letterhead {

constexpr int kFieldCount = 12;

// The file in the program directory.
QString defaultPath();

// Reads the file twelve fields at a time until its end, so with several lines the last complete set wins.
// Returns that set; *ok is false (and the list empty) when the file is missing, unreadable or holds no
// complete set.
QStringList read(const QString& path, bool* ok = nullptr);

// Writes the twelve texts as the one line (missing ones as empty). A double quote inside a field becomes an
// apostrophe and a line break a blank, so no field can shift the ones after it. The file is replaced whole:
// on failure the old file is left as it was, false is returned and *failure (when given) says why.
bool write(const QString& path, const QStringList& twelve, platform::FileFailure* failure = nullptr);

// The byte codec of the file, exposed for the tests.
QByteArray encode1252(const QString& text);
QString decode1252(const QByteArray& bytes);

} // namespace letterhead
