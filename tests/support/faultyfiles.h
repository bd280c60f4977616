#pragma once
// Files that fail as disks do: a small, full disk (a tmpfs mounted for the test) and write errors on chosen
// files (the failwrite shim, loaded into every suite by ctest and inherited by the processes they start).
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

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

// The ways a disk fails, as rows of a test's data: columns "fault" ("full", "write", "fsync" or "later": a write
// error once a first block of 4096 bytes is written, for files larger than that) and "cause" (what the user is
// told).
void addDiskFaultRows(bool largeFile = true);

// One of those faults for the object's life, on the files whose path contains pathParts: "full" fills the
// small disk, leaving room bytes (tmpfs gives whole pages of 4096 bytes); the others fail writes or flushes.
class DiskFault {
public:
    DiskFault(const QString& fault, SmallDisk& disk, const QString& pathParts, qint64 room = 0);
    ~DiskFault();
    DiskFault(const DiskFault&) = delete;
    DiskFault& operator=(const DiskFault&) = delete;

private:
    std::unique_ptr<WriteErrors> m_errors;
};

// Skips where the fault cannot be made: no small disk, or no write-error shim for the others.
#define DISK_FAULT_OR_SKIP(disk, fault)                                                                            \
    SMALL_DISK_OR_SKIP(disk);                                                                                      \
    if ((fault) != QLatin1String("full"))                                                                          \
    WRITE_ERRORS_OR_SKIP()
