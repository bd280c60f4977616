#pragma once
#include <QString>

namespace admin {

// Copies the whole tree of source into destination (created when missing): files of the same name are
// replaced, files that only the destination holds stay. Each file is written beside its target first, so a
// failed copy never leaves a half-written file in place of a whole one. Empty text on success, otherwise why
// it stopped (files copied before the failure stay).
QString copyFolder(const QString& source, const QString& destination);

// True when the two folders are the same or one lies inside the other (a copy between them would feed on
// itself or replace its own source).
bool foldersOverlap(const QString& a, const QString& b);

} // namespace admin
