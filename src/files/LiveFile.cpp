// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveFile.h"

#include "PosixFile.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Many records go out in writes of about this size.
constexpr qsizetype kBatchBytes = 1 << 20;

// The bytes written are on the disk. A pipe or a terminal cannot be synced
// (EINVAL) but took them.
bool synced(int fd)
{
    return ::fdatasync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

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

// Up to `size` bytes at `offset`; empty when they cannot be read.
QByteArray readAt(int fd, off_t offset, off_t size)
{
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    const ssize_t n = ::pread(fd, bytes.data(), std::size_t(size), offset);
    bytes.resize(n > 0 ? qsizetype(n) : 0);
    return bytes;
}

// The line ends in `bytes`, read from the file's offset `base`, each as the
// index just after it; at multiples of their width, as lastLineEnd() finds them.
std::vector<qsizetype> lineEndsIn(const QByteArray &bytes, off_t base, const QByteArray &lineEnd)
{
    const off_t width = lineEnd.size() > 2 ? 2 : 1;
    std::vector<qsizetype> ends;
    for (qsizetype at = bytes.indexOf(lineEnd); at >= 0; at = bytes.indexOf(lineEnd, at + 1))
        if ((base + at) % width == 0)
            ends.push_back(at + lineEnd.size());
    return ends;
}

// The parts of a file of `size` bytes, whose whole lines end at `keep`,
// that a check looks at.
LiveFile::Existing existing(int fd, off_t size, off_t keep, const QByteArray &lineEnd)
{
    constexpr off_t kLook = 1 << 16;
    LiveFile::Existing e;
    e.torn = readAt(fd, keep, std::min(size - keep, kLook));
    if (keep == 0)
        return e;
    e.head = readAt(fd, 0, std::min(keep, kLook));
    const std::vector<qsizetype> headEnds = lineEndsIn(e.head, 0, lineEnd);
    e.head.truncate(headEnds.empty() ? 0 : headEnds.back());
    const off_t from = keep > kLook ? keep - kLook : 0;
    e.tail = readAt(fd, from, keep - from);
    if (from > 0) { // from the first line that starts inside
        const std::vector<qsizetype> tailEnds = lineEndsIn(e.tail, from, lineEnd);
        e.tail.remove(0, tailEnds.empty() ? e.tail.size() : tailEnds.front());
    }
    return e;
}

} // namespace

LiveFile::~LiveFile() { close(); }

bool LiveFile::fail()
{
    errno_ = errno;
    error_ = posix_file::errorText(errno_);
    return false;
}

bool LiveFile::open(const QString &path, const QByteArray &lineEnd, const Check &check)
{
    fd_ = posix_file::openForAppend(path);
    if (fd_ < 0)
        return fail();
    if (!posix_file::lockForThisProcess(fd_)) {
        errno_ = errno;
        error_ = posix_file::lockErrorText(errno_);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        const off_t keep = lastLineEnd(fd_, st.st_size, lineEnd);
        if (check) {
            error_ = check(existing(fd_, st.st_size, keep, lineEnd));
            if (!error_.isEmpty()) {
                ::close(fd_);
                fd_ = -1;
                return false;
            }
        }
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
    if (ok && sync_ && !synced(fd_))
        ok = false;
    if (ok)
        return true;
    fail();
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
    if (!inBulk_) {
        waiting_.push_back(record);
        return retry();
    }
    if (bulk_.isEmpty())
        bulk_.reserve(kBatchBytes + 4096);
    bulk_ += record;
    if (bulk_.size() < kBatchBytes)
        return !failed();
    waiting_.push_back(std::exchange(bulk_, {}));
    return retry();
}

void LiveFile::beginBulk()
{
    inBulk_ = true;
    syncAfterBulk_ = sync_;
    sync_ = false;
}

bool LiveFile::endBulk()
{
    inBulk_ = false;
    sync_ = syncAfterBulk_;
    if (!bulk_.isEmpty())
        waiting_.push_back(std::exchange(bulk_, {}));
    return sync_ ? sync() : retry();
}

bool LiveFile::retry()
{
    if (fd_ < 0)
        return waiting_.empty();
    // After a long outage many rows wait: they go out in large writes with
    // one sync each, not one sync a row.
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
    if (!synced(fd_))
        return fail();
    return true;
}

bool LiveFile::close()
{
    if (fd_ < 0)
        return !failed();
    if (inBulk_)
        endBulk();
    retry();
    const int fd = fd_;
    fd_ = -1;
    if (owned_ && !posix_file::closeChecked(fd))
        return fail();
    return !failed();
}
