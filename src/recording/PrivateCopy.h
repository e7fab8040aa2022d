// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A database and the helper file beside it (a journal left by a crash, a
// write-ahead log), copied into a folder of this process's own, where
// SQLite may recover them without touching the originals: a read-only
// place stays as it is, and a helper file that belongs to another database
// is never applied to ours. Plain C++, no Qt: the journal's writer thread
// uses it.

#include <string>

namespace recording_file {

class PrivateCopy {
public:
    PrivateCopy() = default;
    ~PrivateCopy() { remove(); }
    PrivateCopy(const PrivateCopy &) = delete;
    PrivateCopy &operator=(const PrivateCopy &) = delete;

    // Copies `path` and (with `helpers`) whichever of its "-journal" and
    // "-wal" exist; the copy's path, or empty with the reason in `why`.
    std::string make(const std::string &path, std::string *why, bool helpers = true);
    // Removes the copy and its folder.
    void remove();

private:
    std::string folder_;
};

// Whether a helper file of SQLite's lies beside `path`.
bool hasHelperFile(const std::string &path, const char *suffix);

} // namespace recording_file
