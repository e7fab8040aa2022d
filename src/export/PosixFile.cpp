#include "PosixFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix_file {

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int openForWrite(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    int fd;
    do
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeAll(int fd, const char *bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes += n;
        size -= std::size_t(n);
    }
    return true;
}

bool closeChecked(int fd)
{
    // After an interrupted close the descriptor is gone on Linux: no retry.
    return ::close(fd) == 0 || errno == EINTR;
}

bool closeOrRemove(int fd, const QString &path, bool written)
{
    int error = errno;
    const QByteArray name = QFile::encodeName(path);
    struct stat opened, named;
    const bool regular = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    const bool same = regular && lstat(name.constData(), &named) == 0 && opened.st_dev == named.st_dev &&
                      opened.st_ino == named.st_ino;
    if (written && closeChecked(fd))
        return true;
    if (written) {
        error = errno;
    } else {
        // A file reached through a link keeps its name but not half the data.
        if (regular && !same) {
            [[maybe_unused]] const int r = ::ftruncate(fd, 0);
        }
        ::close(fd);
    }
    if (same)
        ::unlink(name.constData());
    errno = error;
    return false;
}

} // namespace posix_file
