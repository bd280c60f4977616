#pragma once
#include <QString>
#include <QStringList>

namespace data {
class Progress;
}

namespace admin {

// The two ways of the copy: a database file already in place is only ever written into by a restore.
enum class CopyWay { Backup, Restore };

struct FolderCopy {
    QString source;
    QString destination;
    CopyWay way = CopyWay::Backup;
    // Database files named by the settings: copied through the engine whatever their first bytes hold.
    QStringList databases;
};

// Copies the whole tree of source into destination (created when missing), every entry under its own name:
// files of the same name are replaced, files that only the destination holds stay, a linked folder or file is
// copied as its content. Each file is written whole or not at all (beside its target, flushed, renamed over it,
// the folder flushed): under its name stands the earlier file or the new one.
// A database file (named in databases, or any file the engine recognises as one) is copied through the engine
// as one state of it and checked before it replaces its earlier copy; a restore writes a database already in
// place through the engine, one change that the workstations holding it open see as such. Files of work under
// way are left out: journals of a database, files named ".~…" (temporary files, the office's lock files). A
// file gone between the listing and its copy is passed over, as one deleted before.
// An entry that cannot be copied (a link to nothing, a link back into the tree or into the destination, a file
// that cannot be read or replaced, a database copy found unsound) does not stop the others. The progress (when
// given) is told the files copied of how many. Empty text when everything was copied, otherwise one line naming
// each entry left out.
QString copyFolder(const FolderCopy& copy, data::Progress* progress = nullptr);

// True when the two folders are the same or one lies inside the other (a copy between them would feed on
// itself or replace its own source).
bool foldersOverlap(const QString& a, const QString& b);

} // namespace admin
