#include "LiveFile.h"

#include "PosixFile.h"

#include <cerrno>
#include <unistd.h>

LiveFile::~LiveFile() { close(); }

bool LiveFile::open(const QString &path)
{
    path_ = path;
    fd_ = posix_file::openForWrite(path);
    if (fd_ < 0) {
        error_ = posix_file::errorText(errno);
        return false;
    }
    return true;
}

bool LiveFile::append(const QByteArray &record)
{
    if (fd_ < 0)
        return false;
    bool ok = posix_file::writeAll(fd_, record.constData(), std::size_t(record.size()));
    // A pipe or a terminal cannot be synced (EINVAL) but took the bytes.
    if (ok && ::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        ok = false;
    if (!ok) {
        error_ = posix_file::errorText(errno);
        ::close(fd_);
        fd_ = -1;
    }
    return ok;
}

bool LiveFile::close()
{
    if (fd_ < 0)
        return !failed();
    const int fd = fd_;
    fd_ = -1;
    if (!posix_file::closeChecked(fd)) {
        error_ = posix_file::errorText(errno);
        return false;
    }
    return !failed();
}
