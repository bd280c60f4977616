#include "platform/filewrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// The folder of a file, as bytes: what stands before the last '/'.
QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

bool syncFolder(const QByteArray& folder, int* error)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int e = fd < 0 ? errno : 0;
    if (fd >= 0) {
        // Some network file systems refuse to flush a folder: their rename is already on the server.
        if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
            e = errno;
        ::close(fd);
    }
    if (error)
        *error = e;
    return e == 0;
}

// Writes everything, going on after a partial write; false with errno set on failure.
bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

int syncAndClose(int fd)
{
    int error = 0;
    if (::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// rename() without replacing: link the finished file under its name (fails when the name is taken), then drop
// the temporary name. File systems without hard links fall back to a check and a rename.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    const int error = errno;
    if (error == EEXIST)
        return EEXIST;
    if (error != EPERM && error != EOPNOTSUPP && error != EXDEV && error != EMLINK)
        return error;
    struct stat st;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

QString fileErrorCause(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("le disque est plein");
    case EACCES:
    case EPERM:
        return QStringLiteral("accès refusé");
    case EROFS:
        return QStringLiteral("le support est en lecture seule");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("le répertoire n'existe pas");
    case ENAMETOOLONG:
        return QStringLiteral("le nom est trop long");
    case EEXIST:
        return QStringLiteral("un fichier de ce nom existe déjà");
    case EISDIR:
        return QStringLiteral("un répertoire porte ce nom");
    case ECANCELED:
        return QStringLiteral("l'opération a été interrompue");
    default:
        return QStringLiteral("erreur d'écriture sur le disque ou le réseau");
    }
}

QString FileFailure::cause() const
{
    if (reading && (error == EIO || error == 0))
        return QStringLiteral("erreur de lecture sur le disque ou le réseau");
    if (reading && (error == ENOENT || error == ENOTDIR))
        return QStringLiteral("le fichier n'existe plus");
    return fileErrorCause(error);
}

QString FileFailure::message() const
{
    return (reading ? QStringLiteral("Le fichier %1 n'a pas pu être lu : %2.")
                    : QStringLiteral("Le fichier %1 n'a pas pu être enregistré : %2."))
        .arg(QDir::toNativeSeparators(path), cause());
}

QString temporaryNameBeside(const QString& target)
{
    return QFile::decodeName(temporaryNameBeside(NativePath{native(QFileInfo(target).absoluteFilePath())}).bytes);
}

NativePath temporaryNameBeside(const NativePath& target)
{
    const QByteArray folder = folderOf(target.bytes) + '/';
    const QByteArray name = target.bytes.mid(target.bytes.lastIndexOf('/') + 1);
    for (;;) {
        const QByteArray candidate =
            folder + ".~" + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        struct stat st;
        if (::lstat(candidate.constData(), &st) != 0)
            return {candidate};
    }
}

bool syncFolder(const QString& folder, int* error) { return syncFolder(native(folder), error); }

bool syncFolder(const NativePath& folder, int* error) { return syncFolder(folder.bytes, error); }

AtomicFile::AtomicFile(const QString& path) : m_path(path), m_target(native(path)) { m_failure.path = path; }

AtomicFile::AtomicFile(const NativePath& path) : m_path(QFile::decodeName(path.bytes)), m_target(path.bytes)
{
    m_failure.path = m_path;
}

QString AtomicFile::temporaryPath() const { return QFile::decodeName(m_temp); }

AtomicFile::~AtomicFile() { cancel(); }

bool AtomicFile::fail(int error)
{
    m_failure.error = error ? error : EIO;
    cancel();
    return false;
}

bool AtomicFile::open()
{
    cancel();
    mode_t mode = 0666;
    bool keepMode = false;
    struct stat st;
    if (::stat(m_target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return fail(EISDIR);
        mode = st.st_mode & 07777;
        keepMode = true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp = temporaryNameBeside(NativePath{m_target}).bytes;
        m_fd = ::open(m_temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            if (keepMode)
                ::fchmod(m_fd, mode); // the umask would narrow the replaced file's permissions
            return true;
        }
        if (errno != EEXIST) {
            const int error = errno;
            m_temp.clear();
            return fail(error);
        }
    }
    m_temp.clear();
    return fail(EEXIST);
}

bool AtomicFile::write(const char* data, qint64 size)
{
    if (m_fd < 0)
        return fail(m_failure.error ? m_failure.error : EBADF);
    return writeAll(m_fd, data, size) || fail(errno);
}

bool AtomicFile::commit(bool replace)
{
    if (m_fd < 0)
        return fail(m_failure.error ? m_failure.error : EBADF);
    const int error = syncAndClose(m_fd);
    m_fd = -1;
    if (error != 0)
        return fail(error);
    const int renamed = replace ? (::rename(m_temp.constData(), m_target.constData()) == 0 ? 0 : errno)
                                : renameNoReplace(m_temp, m_target);
    if (renamed != 0)
        return fail(renamed);
    m_temp.clear();
    int folderError = 0;
    if (!syncFolder(folderOf(m_target), &folderError)) {
        // The file is in place and whole; only its name may not outlive a power cut.
        m_failure.error = folderError;
        return false;
    }
    return true;
}

void AtomicFile::cancel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlink(m_temp.constData());
        m_temp.clear();
    }
}

bool writeFile(const QString& path, const QByteArray& content, FileFailure* failure)
{
    AtomicFile file(path);
    const bool ok = file.open() && file.write(content) && file.commit();
    if (!ok && failure)
        *failure = file.failure();
    return ok;
}

bool copyFile(const QString& source, const QString& target, FileFailure* failure,
              const std::function<bool(qint64)>& progress)
{
    const bool ok = copyFile(NativePath{native(source)}, NativePath{native(target)}, failure, progress);
    if (!ok && failure)
        failure->path = failure->reading ? source : target;
    return ok;
}

bool copyFile(const NativePath& source, const NativePath& target, FileFailure* failure,
              const std::function<bool(qint64)>& progress)
{
    auto failed = [&](const NativePath& path, int error) {
        if (failure)
            *failure = FileFailure{QFile::decodeName(path.bytes), error ? error : EIO, false};
        return false;
    };
    auto unreadable = [&](int error) {
        failed(source, error);
        if (failure)
            failure->reading = true;
        return false;
    };
    const int in = ::open(source.bytes.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return unreadable(errno);
    AtomicFile out(target);
    if (!out.open()) {
        ::close(in);
        return failed(target, out.failure().error);
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 done = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(in);
            out.cancel();
            return unreadable(error);
        }
        if (n == 0)
            break;
        if (!out.write(buffer.constData(), n)) {
            ::close(in);
            return failed(target, out.failure().error);
        }
        done += n;
        if (progress && !progress(done)) {
            ::close(in);
            out.cancel();
            return failed(target, ECANCELED);
        }
    }
    ::close(in);
    if (!out.commit())
        return failed(target, out.failure().error);
    return true;
}

bool installFile(const QString& finished, const QString& target, bool replace, FileFailure* failure)
{
    const bool ok = installFile(NativePath{native(finished)}, NativePath{native(target)}, replace, failure);
    if (!ok && failure)
        failure->path = target;
    return ok;
}

bool installFile(const NativePath& finished, const NativePath& target, bool replace, FileFailure* failure)
{
    auto failed = [&](int error) {
        if (failure)
            *failure = FileFailure{QFile::decodeName(target.bytes), error ? error : EIO};
        return false;
    };
    const QByteArray& from = finished.bytes;
    const int fd = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    int error = 0;
    if (::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    if (error != 0)
        return failed(error);
    error = replace ? (::rename(from.constData(), target.bytes.constData()) == 0 ? 0 : errno)
                    : renameNoReplace(from, target.bytes);
    if (error != 0)
        return failed(error);
    if (!syncFolder(folderOf(target.bytes), &error))
        return failed(error);
    return true;
}

} // namespace platform
