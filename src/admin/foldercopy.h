#pragma once
#include <QString>

namespace admin {

// Copies the whole tree of source into destination (created when missing), every entry under its own name
// byte for byte: files of the same name are replaced, files that only the destination holds stay, a linked
// folder or file is copied as its content. Each file is written beside its target first, so a failed copy never
// leaves a half-written file in place of a whole one. An entry that cannot be copied (a link to nothing, a link
// back into the tree or into the destination, a file that cannot be read or replaced) does not stop the
// others. Empty text when everything was copied, otherwise one line naming each entry left out.
QString copyFolder(const QString& source, const QString& destination);

// True when the two folders are the same or one lies inside the other (a copy between them would feed on
// itself or replace its own source).
bool foldersOverlap(const QString& a, const QString& b);

} // namespace admin
