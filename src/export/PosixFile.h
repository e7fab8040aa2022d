#pragma once
// Plain POSIX file writing with every step checked; failures come back as
// the system's own words for them ("No space left on device").

#include <QString>

#include <cstddef>

namespace posix_file {

// The system's text for an errno value.
QString errorText(int error);

// Creates or empties `path` for writing; -1 with errno set on failure.
int openForWrite(const QString &path);

// Writes all `size` bytes, resuming after partial writes and interrupts;
// false with errno set when the system refused part of them.
bool writeAll(int fd, const char *bytes, std::size_t size);

// Closes `fd`; false with errno set when the close reported a lost write.
bool closeChecked(int fd);

// Closes `fd`, opened on `path` by openForWrite(). When `written` is false
// (a write failed, errno says why) or the close reports a lost write, the
// partial file is removed, so a failure leaves nothing behind, and false is
// returned with errno kept. A device such as /dev/full stays, and a file
// reached through a link is only emptied.
bool closeOrRemove(int fd, const QString &path, bool written);

} // namespace posix_file
