// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plain POSIX file writing with every step checked; failures come back as
// the system's own words for them ("No space left on device").

#include "ExportResult.h"

#include <QString>

#include <cstddef>
#include <functional>

namespace posix_file {

// The system's text for an errno value.
QString errorText(int error);

// Creates or continues `path`, every write going to its end, and readable
// where the permissions allow; -1 with errno.
int openForAppend(const QString &path);

// Writes all `size` bytes, resuming after partial writes and interrupts;
// false with errno set when the system refused part of them. `written`
// (if given) gets how many bytes did go out.
bool writeAll(int fd, const char *bytes, std::size_t size, std::size_t *written = nullptr);

// Closes `fd`; false with errno set when the close reported a lost write.
bool closeChecked(int fd);

// Output files that a breezon process is writing carry an advisory lock,
// so a second recorder or the window refuses them instead of mixing runs.
// Takes it on `fd`; false with errno EWOULDBLOCK when another holds it.
bool lockForThisProcess(int fd);
// True when another process holds that lock on the file at `path`.
bool inUseByAnother(const QString &path);
// What the user is told then.
QString inUseText();
// Why lockForThisProcess() failed with `error`, in the user's words.
QString lockErrorText(int error);

// Replaces a whole file so that a failure leaves the file that was there:
// the new content goes into a temporary file beside the target, is synced,
// and takes the target's name only when complete. An existing target keeps
// its permissions; a symbolic link is written through (the file it names
// is replaced, the link stays). A target that is not a regular file (a
// device, a pipe) is written directly.
class AtomicFile {
public:
    explicit AtomicFile(const QString &path);
    ~AtomicFile(); // removes a temporary that was not committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Makes the temporary; false with the reason in error().
    bool begin();
    // Where the content goes: a descriptor open for writing, and the
    // temporary's name for writers that open files by name (empty when the
    // target is written directly).
    int fd() const { return fd_; }
    QString temporaryPath() const { return temp_; }
    // Syncs and renames; false with the reason in error().
    bool commit();
    QString error() const { return error_; }

private:
    bool fail(int error);

    QString target_;
    QString temp_;
    int fd_ = -1;
    bool direct_ = false;
    QString error_;
};

// AtomicFile around one writer that writes to a descriptor and returns
// false with errno set when it fails.
ExportResult replaceFile(const QString &path, const std::function<bool(int fd)> &write);
// Why AtomicFile could not replace `path`, found before anything is
// written (for a file written at the end of a run); empty when it can.
QString whyNotReplaceable(const QString &path);

} // namespace posix_file
