#pragma once
// The one way the program writes a file: whole, or not at all. The content goes to a temporary file in the
// target's folder; every write, the flush to disk and the close are checked; the temporary file then replaces
// the target in one rename, and the folder is flushed so that the rename outlives a power cut. On any failure
// the file under its name keeps its earlier content, the temporary file is removed, and the failure says the
// file and the cause in French.
//
// Qt's QSaveFile is not used: on this Qt its commit() reports success after a failed flush of its buffer.
#include <QByteArray>
#include <QString>
#include <functional>

namespace platform {

// The French cause of a failed file operation, from its errno: "le disque est plein", "erreur d'écriture sur
// le disque ou le réseau", "accès refusé", ...
QString fileErrorCause(int error);

// What went wrong, for the user.
struct FileFailure {
    QString path;  // the file that could not be written (its final name, never the temporary one) or read
    int error = 0; // errno
    bool reading = false; // the source of a copy could not be read
    QString cause() const;
    // "Le fichier <path> n'a pas pu être enregistré : <cause>." ("… n'a pas pu être lu …" when reading)
    QString message() const;
};

// A path as the file system's bytes, for names that are not UTF-8 (Latin-1 names from a Windows archive): they
// do not survive a round trip through QString.
struct NativePath {
    QByteArray bytes;
};

class AtomicFile {
public:
    explicit AtomicFile(const QString& path);
    explicit AtomicFile(const NativePath& path);
    ~AtomicFile(); // a file neither committed nor cancelled is cancelled
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside the target, with the target's permissions when it exists.
    bool open();
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    // Flushes, closes and puts the file in place. With replace false, a file already under the name is kept
    // and the commit fails with EEXIST.
    bool commit(bool replace = true);
    // Removes the temporary file; the target is untouched.
    void cancel();

    QString path() const { return m_path; }
    QString temporaryPath() const;
    const FileFailure& failure() const { return m_failure; }

private:
    bool fail(int error);
    QString m_path;
    QByteArray m_target; // the file system's bytes of the target and of the temporary file
    QByteArray m_temp;
    int m_fd = -1;
    FileFailure m_failure;
};

// The whole content written under path. On failure, *failure (when given) says why.
bool writeFile(const QString& path, const QByteArray& content, FileFailure* failure = nullptr);

// A copy of source under target, byte for byte, by the same rule. progress (when given) is told the bytes
// copied so far after each block; returning false stops the copy (failure error ECANCELED). A source that
// cannot be read fails with its path and error.
bool copyFile(const QString& source, const QString& target, FileFailure* failure = nullptr,
              const std::function<bool(qint64)>& progress = {});
bool copyFile(const NativePath& source, const NativePath& target, FileFailure* failure = nullptr,
              const std::function<bool(qint64)>& progress = {});

// Puts a file that another writer finished (the office, the database engine) under its final name in the same
// folder: flushes it, renames it over target (with replace false, fails with EEXIST when target exists and
// leaves both as they are), then flushes the folder.
bool installFile(const QString& finished, const QString& target, bool replace = true,
                 FileFailure* failure = nullptr);
bool installFile(const NativePath& finished, const NativePath& target, bool replace = true,
                 FileFailure* failure = nullptr);

// A free temporary name beside target, of the form ".~<name>.<random>": hidden, and told apart from the
// program's own files. Nothing is created.
QString temporaryNameBeside(const QString& target);
NativePath temporaryNameBeside(const NativePath& target);

// Flushes the folder's entries (renames, creations) to disk.
bool syncFolder(const QString& folder, int* error = nullptr);
bool syncFolder(const NativePath& folder, int* error = nullptr);

} // namespace platform
