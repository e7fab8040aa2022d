// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The instrument's port, opened and configured with plain POSIX calls.
//
// Receive only. Opening takes exclusive use (TIOCEXCL, which root passes,
// and flock(LOCK_EX | LOCK_NB), which holds between our own programs), so a
// port that another program holds fails to open. Every failure comes with a
// plain-words reason for the status bar, e.g. "in use by another program";
// the caller names the port.

#include <string>

struct termios;

// Applies the fixed serial settings to an open descriptor: raw mode, 9600
// baud in and out, 8 data bits, 1 stop bit, CLOCAL | CREAD, no hardware or
// software flow control, parity left as the port reports it but parity
// checking off; then DTR and RTS low (a pseudo-terminal has no modem lines
// and says ENOTTY, which is fine) and both queues flushed, so bytes that
// waited in the driver before the open are never read.
// False when the settings cannot be read or written.
bool configurePort(int fd);

// The settings part of configurePort(), on a termios read from the port.
bool applySerialSettings(termios &settings);

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { close(); }
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // Opens `path` read-only and non-blocking, takes exclusive use and
    // configures it. A port that opens but cannot be configured is closed
    // again. On failure `whyNot` (if given) gets the reason. An open port is
    // closed first.
    bool open(const std::string &path, std::string *whyNot = nullptr);
    // Gives up exclusive use and closes. Harmless when nothing is open.
    void close();

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// The plain-words text for an errno value met while opening a port. A
// pointer, not a string: a string made from a literal is set into the code
// in 16-byte pieces, and one ("in use by anothe") reads as a misspelling to
// lintian.
const char *describeOpenError(int error);
// The text for a port that may not be opened: a folder on its path (or on
// the path its link leads to) that this user may not enter is named; else
// the device's own permissions are the cause, and the advice is its group
// (named when the group may read it).
std::string describeDenied(const std::string &path);
