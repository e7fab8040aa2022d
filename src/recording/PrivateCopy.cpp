// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateCopy.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recording_file {

namespace {

// Copies `from` to `to`; false with errno set. A file that is not there is
// no failure when `optional`.
bool copyFile(const std::string &from, const std::string &to, bool optional)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return optional && errno == ENOENT;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = out >= 0;
    char buffer[1 << 16];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
    }
    const int error = errno;
    ::close(in);
    if (out >= 0 && ::close(out) != 0 && ok)
        return false;
    errno = error;
    return ok;
}

} // namespace

bool hasHelperFile(const std::string &path, const char *suffix)
{
    struct stat st {};
    return ::stat((path + suffix).c_str(), &st) == 0;
}

std::string PrivateCopy::make(const std::string &path, std::string *why, bool helpers)
{
    remove();
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/breezon-copy-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        *why = std::string("no private copy can be made: ") + std::strerror(errno);
        return {};
    }
    folder_ = pattern;
    const std::string copy = folder_ + "/recording.breezon";
    for (const char *suffix : {"", "-journal", "-wal"}) {
        if (*suffix && !helpers)
            break;
        if (!copyFile(path + suffix, copy + suffix, *suffix != '\0')) {
            *why = std::string("no private copy can be made: ") + std::strerror(errno);
            remove();
            return {};
        }
    }
    return copy;
}

void PrivateCopy::remove()
{
    if (folder_.empty())
        return;
    if (DIR *dir = ::opendir(folder_.c_str())) {
        while (const dirent *entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                ::unlink((folder_ + "/" + entry->d_name).c_str());
        ::closedir(dir);
    }
    ::rmdir(folder_.c_str());
    folder_.clear();
}

} // namespace recording_file
