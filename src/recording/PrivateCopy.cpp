// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateCopy.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace recording_file {

namespace {

namespace fs = std::filesystem;

// Copies `from` to `to`, readable and writable by its owner alone (SQLite
// recovers the copy in place); false with errno set. A file that is not
// there is no failure when `optional`.
bool copyFile(const std::string &from, const std::string &to, bool optional)
{
    std::error_code error;
    if (fs::copy_file(from, to, error))
        fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, error);
    errno = error.value();
    return !error || (optional && error == std::errc::no_such_file_or_directory);
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
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    folder_.clear();
}

} // namespace recording_file
