// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosixFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix_file {

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

namespace {

int openWith(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    int fd;
    do
        fd = ::open(name.constData(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// The process umask, read without changing it (other threads may create
// files meanwhile).
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask);
            }
    }
    return 022;
}

} // namespace

int openForAppend(const QString &path)
{
    const int fd = openWith(path, O_RDWR | O_CREAT | O_APPEND);
    return fd >= 0 || errno != EACCES ? fd : openWith(path, O_WRONLY | O_CREAT | O_APPEND);
}

bool writeAll(int fd, const char *bytes, std::size_t size, std::size_t *written)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            break;
        }
        done += std::size_t(n);
    }
    if (written)
        *written = done;
    return done == size;
}

bool closeChecked(int fd)
{
    // After an interrupted close the descriptor is gone on Linux: no retry.
    return ::close(fd) == 0 || errno == EINTR;
}

bool lockForThisProcess(int fd)
{
    int r;
    do
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    return r == 0;
}

bool inUseByAnother(const QString &path)
{
    const int fd = openWith(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

QString inUseText()
{
    return QStringLiteral("in use by another breezon");
}

QString lockErrorText(int error)
{
    return error == EWOULDBLOCK ? inUseText() : errorText(error);
}

AtomicFile::AtomicFile(const QString &path) : target_(path)
{
    // A link is written through: the file it names gets the new content.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target_);
        if (!info.isSymLink())
            break;
        target_ = info.symLinkTarget();
    }
}

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.isEmpty())
        ::unlink(QFile::encodeName(temp_).constData());
}

bool AtomicFile::fail(int error)
{
    error_ = errorText(error);
    return false;
}

bool AtomicFile::begin()
{
    const QByteArray target = QFile::encodeName(target_);
    if (target.isEmpty())
        return fail(ENOENT);
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return fail(EISDIR);
    if (exists && !S_ISREG(old.st_mode)) {
        direct_ = true;
        fd_ = openWith(target_, O_WRONLY | O_CREAT | O_TRUNC);
        return fd_ >= 0 || fail(errno);
    }
    if (exists && inUseByAnother(target_)) {
        error_ = inUseText();
        return false;
    }
    const QFileInfo info(target_);
    QByteArray pattern = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName() +
                                           QLatin1String(".XXXXXX"));
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        return fail(errno);
    temp_ = QFile::decodeName(pattern);
    if (exists) {
        ::fchmod(fd_, old.st_mode & 07777);
        [[maybe_unused]] int owned = ::fchown(fd_, old.st_uid, old.st_gid); // root only; best effort
    } else {
        ::fchmod(fd_, 0666 & ~currentUmask());
    }
    return true;
}

bool AtomicFile::commit()
{
    if (fd_ < 0)
        return false;
    const int fd = fd_;
    fd_ = -1;
    // A device or a pipe cannot be synced; its bytes went out anyway.
    if (::fsync(fd) != 0 && !direct_) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    if (!closeChecked(fd))
        return fail(errno);
    if (direct_)
        return true;
    if (::rename(QFile::encodeName(temp_).constData(), QFile::encodeName(target_).constData()) != 0)
        return fail(errno);
    temp_.clear();
    return true;
}

QString whyNotReplaceable(const QString &path)
{
    const QFileInfo file(path);
    const QFileInfo dir(file.absolutePath());
    if (!dir.isDir())
        return errorText(ENOENT);
    if (file.isDir())
        return errorText(EISDIR);
    // A device or a pipe is written where it is; a file is replaced by a
    // temporary one made beside it.
    const bool inPlace = file.exists() && !file.isFile();
    return (inPlace ? file.isWritable() : dir.isWritable()) ? QString() : errorText(EACCES);
}

ExportResult replaceFile(const QString &path, const std::function<bool(int fd)> &write)
{
    AtomicFile file(path);
    if (!file.begin())
        return ExportResult::failure(file.error());
    if (!write(file.fd()))
        return ExportResult::failure(errorText(errno));
    if (!file.commit())
        return ExportResult::failure(file.error());
    return ExportResult::success();
}

} // namespace posix_file
