// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveFile.h"

#include "PosixFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the last whole line ends, reading backwards from `size`: the length
// the file keeps. Line ends are looked for at multiples of their own width,
// so a UTF-16 "\r\n" is not found astride two characters.
off_t lastLineEnd(int fd, off_t size, const QByteArray &lineEnd)
{
    const off_t width = lineEnd.size() > 2 ? 2 : 1;
    constexpr off_t kChunk = 1 << 16;
    QByteArray chunk;
    off_t end = size;
    while (end > 0) {
        const off_t begin = end > kChunk ? end - kChunk : 0;
        chunk.resize(qsizetype(end - begin + lineEnd.size()));
        const ssize_t n = ::pread(fd, chunk.data(), std::size_t(chunk.size()), begin);
        if (n < 0)
            return size; // unreadable: leave it alone
        chunk.resize(qsizetype(n));
        for (qsizetype at = chunk.size() - lineEnd.size(); at >= 0; --at)
            if ((begin + at) % width == 0 && at + lineEnd.size() <= chunk.size() &&
                chunk.mid(at, lineEnd.size()) == lineEnd)
                return begin + at + lineEnd.size();
        end = begin;
    }
    return 0;
}

} // namespace

LiveFile::~LiveFile() { close(); }

bool LiveFile::open(const QString &path, const QByteArray &lineEnd)
{
    path_ = path;
    fd_ = posix_file::openForAppend(path);
    if (fd_ < 0) {
        errno_ = errno;
        error_ = posix_file::errorText(errno_);
        return false;
    }
    if (!posix_file::lockForThisProcess(fd_)) {
        errno_ = errno;
        error_ = errno_ == EWOULDBLOCK ? posix_file::inUseText() : posix_file::errorText(errno_);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        const off_t keep = lastLineEnd(fd_, st.st_size, lineEnd);
        if (keep < st.st_size && ::ftruncate(fd_, keep) == 0)
            st.st_size = keep;
        sizeAtOpen_ = st.st_size;
    }
    return true;
}

void LiveFile::adopt(int fd, bool sync)
{
    fd_ = fd;
    owned_ = false;
    sync_ = sync;
}

bool LiveFile::writeOne(const QByteArray &records)
{
    // Where these records start: the end for an appending descriptor, else
    // the current offset (standard output redirected with ">").
    const int flags = ::fcntl(fd_, F_GETFL);
    const off_t start = ::lseek(fd_, 0, (flags >= 0 && (flags & O_APPEND)) ? SEEK_END : SEEK_CUR);
    std::size_t written = 0;
    bool ok = posix_file::writeAll(fd_, records.constData(), std::size_t(records.size()), &written);
    // A pipe or a terminal cannot be synced (EINVAL) but took the bytes.
    if (ok && sync_ && ::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        ok = false;
    if (ok)
        return true;
    errno_ = errno;
    error_ = posix_file::errorText(errno_);
    // No torn line: what went out of the records is taken back, and they
    // are written again, whole, later. A pipe cannot be cut (and takes
    // a short record whole or not at all).
    if ((written > 0 || sync_) && start >= 0 && ::ftruncate(fd_, start) == 0)
        ::lseek(fd_, start, SEEK_SET);
    return false;
}

bool LiveFile::append(const QByteArray &record)
{
    if (fd_ < 0)
        return false;
    waiting_.push_back(record);
    return retry();
}

bool LiveFile::retry()
{
    if (fd_ < 0)
        return waiting_.empty();
    // After a long outage many rows wait: they go out in large writes with
    // one sync each, not one sync a row.
    constexpr qsizetype kBatchBytes = 1 << 20;
    while (!waiting_.empty()) {
        std::size_t count = 1;
        QByteArray batch = waiting_.front();
        while (count < waiting_.size() && batch.size() + waiting_[count].size() <= kBatchBytes)
            batch += waiting_[count++];
        if (!writeOne(batch))
            return false;
        waiting_.erase(waiting_.begin(), waiting_.begin() + std::ptrdiff_t(count));
    }
    error_.clear();
    errno_ = 0;
    return true;
}

bool LiveFile::sync()
{
    if (fd_ < 0 || !retry())
        return false;
    if (::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        errno_ = errno;
        error_ = posix_file::errorText(errno_);
        return false;
    }
    return true;
}

bool LiveFile::close()
{
    if (fd_ < 0)
        return !failed();
    retry();
    const int fd = fd_;
    fd_ = -1;
    if (owned_ && !posix_file::closeChecked(fd)) {
        errno_ = errno;
        error_ = posix_file::errorText(errno_);
        return false;
    }
    return !failed();
}
