/* Write errors on chosen files, for tests: loaded with LD_PRELOAD (inherited by the processes a test starts,
 * the office among them), it fails the writes and flushes of every open file whose path contains one of the
 * parts named, and does nothing otherwise.
 *   FOLIVEX_FAIL_WRITE  parts of paths, separated by ':' (unset or empty: nothing fails)
 *   FOLIVEX_FAIL_ERRNO  the error given: EIO (default), ENOSPC, EDQUOT or a number; or SIGSTOP: the writing
 *                       process stops itself there instead (as a hung program would), and the write goes on
 *                       once it is continued
 *   FOLIVEX_FAIL_OPS    "write", "fsync" or "write,fsync" (default)
 *   FOLIVEX_FAIL_AFTER  writes succeed up to this byte of the file, then fail (default 0: every write fails)
 * The variables are read at each call, so a test may change them while it runs. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static int fail_errno(void)
{
    const char* e = getenv("FOLIVEX_FAIL_ERRNO");
    if (!e || !*e || strcmp(e, "EIO") == 0)
        return EIO;
    if (strcmp(e, "ENOSPC") == 0)
        return ENOSPC;
    if (strcmp(e, "EDQUOT") == 0)
        return EDQUOT;
    return atoi(e) > 0 ? atoi(e) : EIO;
}

static int op_chosen(const char* op)
{
    const char* ops = getenv("FOLIVEX_FAIL_OPS");
    return !ops || !*ops || strstr(ops, op) != NULL;
}

static int path_chosen(int fd)
{
    const char* parts = getenv("FOLIVEX_FAIL_WRITE");
    if (!parts || !*parts)
        return 0;
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = 0;
    char list[4096];
    snprintf(list, sizeof list, "%s", parts);
    for (char* save = NULL, *part = strtok_r(list, ":", &save); part; part = strtok_r(NULL, ":", &save))
        if (*part && strstr(path, part))
            return 1;
    return 0;
}

/* Whether a write of count bytes at offset (-1: the file's position) reaches past the bytes allowed. */
static int past_limit(int fd, off_t offset, size_t count)
{
    const char* a = getenv("FOLIVEX_FAIL_AFTER");
    const long long after = a ? atoll(a) : 0;
    if (after <= 0)
        return 1;
    if (offset < 0)
        offset = lseek(fd, 0, SEEK_CUR);
    return offset < 0 || (long long)offset + (long long)count > after;
}

static int fails(int fd, const char* op, off_t offset, size_t count)
{
    const int saved = errno;
    const int chosen = op_chosen(op) && path_chosen(fd) && (strcmp(op, "write") != 0 || past_limit(fd, offset, count));
    errno = saved;
    return chosen;
}

/* Whether this call fails (errno set); a stopping fault stops the process here and lets the call go on. */
static int injected(int fd, const char* op, off_t offset, size_t count)
{
    if (!fails(fd, op, offset, count))
        return 0;
    const char* e = getenv("FOLIVEX_FAIL_ERRNO");
    if (e && strcmp(e, "SIGSTOP") == 0) {
        raise(SIGSTOP);
        return 0;
    }
    errno = fail_errno();
    return 1;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void* buf, size_t count)
{
    if (injected(fd, "write", -1, count)) return -1;
    return NEXT(write)(fd, buf, count);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset)
{
    if (injected(fd, "write", offset, count)) return -1;
    return NEXT(pwrite)(fd, buf, count, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset)
{
    if (injected(fd, "write", offset, count)) return -1;
    return NEXT(pwrite64)(fd, buf, count, offset);
}

ssize_t writev(int fd, const struct iovec* iov, int iovcnt)
{
    size_t count = 0;
    for (int i = 0; i < iovcnt; ++i)
        count += iov[i].iov_len;
    if (injected(fd, "write", -1, count)) return -1;
    return NEXT(writev)(fd, iov, iovcnt);
}

int fsync(int fd)
{
    if (injected(fd, "fsync", -1, 0)) return -1;
    return NEXT(fsync)(fd);
}

int fdatasync(int fd)
{
    if (injected(fd, "fsync", -1, 0)) return -1;
    return NEXT(fdatasync)(fd);
}

/* Lets a test tell that the shim is loaded. */
int folivex_failwrite_loaded(void) { return 1; }
