#pragma once
// Database files copied through the engine, never byte by byte: a copy is one state of the file (the other
// workstations' writes wait for it), checked before it is called whole; a restore is one write of the file in
// place, which the workstations holding it open see as an ordinary change. Journals are never copied.
#include <QByteArray>
#include <QString>
#include <functional>

namespace data {

// Whether the file begins with the engine's header: a database file, whatever its name.
bool isDatabaseFile(const QByteArray& path);

// The two files of a copy: their paths as the file system's bytes, their names as the user reads them.
struct DatabaseCopy {
    QByteArray source;
    QByteArray target;
    QString sourceName;
    QString targetName;
};

// What the work is doing ("vérification de la copie", in French) and how far it has gone, 0 to 1, told from the
// thread that runs it.
using CopyProgress = std::function<void(const QString& step, double done)>;

// Copies the database into target, a new file, then checks the copy (integrity_check with the JET collation).
// The source is read under one shared lock for the whole copy. Empty text when the copy is whole and sound;
// otherwise the reason in French, and target is left for the caller to remove.
QString copyDatabase(const DatabaseCopy& files, const CopyProgress& progress = {});

// Replaces the content of the database at target, which other workstations may hold open, with that of the
// saved copy at source, once that copy is found sound: one write transaction of the engine on the file in place
// (the same file, its change counter increased), after the others' locks. Empty text when done; otherwise the
// reason in French, and target as it was.
QString restoreDatabase(const DatabaseCopy& files, const CopyProgress& progress = {});

} // namespace data
