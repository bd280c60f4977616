#pragma once
// Files that fail as disks do: a small, full disk (a tmpfs mounted for the test) and write errors on chosen
// files (the failwrite shim, loaded into every suite by ctest and inherited by the processes they start).
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A tmpfs of the given size mounted on a temporary folder for the test's life. Mounting needs the
// administrator's rights: where it cannot be mounted, skipReason() says why and the test skips.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString skipReason() const { return m_reason; }
    QString path() const { return m_dir.path(); }
    // Fills what is left of the disk but the given number of bytes.
    void fillLeaving(qint64 bytes);

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_reason;
};

#define SMALL_DISK_OR_SKIP(disk)                                                                                   \
    if (!(disk).mounted())                                                                                         \
    QSKIP(qPrintable((disk).skipReason()))

// Writes (and flushes) of every file whose path contains one of the parts fail with the error (errno name, as
// "EIO" or "ENOSPC") while the object lives, in this process and in those it starts meanwhile.
class WriteErrors {
public:
    WriteErrors(const QString& pathParts, const QByteArray& error = "EIO", const QByteArray& ops = "write,fsync",
                qint64 after = 0);
    ~WriteErrors();
    WriteErrors(const WriteErrors&) = delete;
    WriteErrors& operator=(const WriteErrors&) = delete;
    // Whether the shim is loaded into this process (ctest loads it; a suite started by hand may lack it).
    static bool available();
};

#define WRITE_ERRORS_OR_SKIP()                                                                                     \
    if (!WriteErrors::available())                                                                                 \
    QSKIP("the failwrite shim is not loaded (run the suite through ctest)")
