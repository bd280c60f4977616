#include "support/faultyfiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

SmallDisk::SmallDisk(qint64 bytes)
{
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) == 0)
        m_mounted = true;
    else
        m_reason = QStringLiteral("no small disk can be mounted here (%1): the test needs the administrator's "
                                  "rights to mount a tmpfs").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

void SmallDisk::fillLeaving(qint64 bytes)
{
    struct statvfs vfs;
    if (!m_mounted || ::statvfs(QFile::encodeName(m_dir.path()).constData(), &vfs) != 0)
        return;
    const qint64 free = qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
    QFile filler(m_dir.path() + QStringLiteral("/.filler"));
    if (!filler.open(QIODevice::Append))
        return;
    const QByteArray block(4096, 'x');
    for (qint64 left = free - bytes; left > 0; left -= block.size())
        if (filler.write(block.constData(), qMin<qint64>(left, block.size())) <= 0)
            break;
    filler.close();
}

WriteErrors::WriteErrors(const QString& pathParts, const QByteArray& error, const QByteArray& ops, qint64 after)
{
    qputenv("FOLIVEX_FAIL_ERRNO", error);
    qputenv("FOLIVEX_FAIL_OPS", ops);
    qputenv("FOLIVEX_FAIL_AFTER", QByteArray::number(after));
    qputenv("FOLIVEX_FAIL_WRITE", QFile::encodeName(pathParts));
}

WriteErrors::~WriteErrors()
{
    qunsetenv("FOLIVEX_FAIL_WRITE");
    qunsetenv("FOLIVEX_FAIL_ERRNO");
    qunsetenv("FOLIVEX_FAIL_OPS");
    qunsetenv("FOLIVEX_FAIL_AFTER");
}

bool WriteErrors::available() { return dlsym(RTLD_DEFAULT, "folivex_failwrite_loaded") != nullptr; }

void addDiskFaultRows(bool largeFile)
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("cause");
    const QString writeError = QStringLiteral("erreur d'écriture sur le disque ou le réseau");
    QTest::newRow("disk full") << QStringLiteral("full") << QStringLiteral("le disque est plein");
    QTest::newRow("write error") << QStringLiteral("write") << writeError;
    QTest::newRow("flush error") << QStringLiteral("fsync") << writeError;
    if (largeFile)
        QTest::newRow("write error after a block") << QStringLiteral("later") << writeError;
}

DiskFault::DiskFault(const QString& fault, SmallDisk& disk, const QString& pathParts, qint64 room)
{
    if (fault == QLatin1String("full"))
        disk.fillLeaving(room);
    else if (fault == QLatin1String("later"))
        m_errors = std::make_unique<WriteErrors>(pathParts, "EIO", "write", 4096);
    else
        m_errors = std::make_unique<WriteErrors>(pathParts, "EIO", fault.toLatin1());
}

DiskFault::~DiskFault() = default;
