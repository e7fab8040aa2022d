// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPort.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <vector>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char *const kDeviceDenied = "permission denied \u2014 the user must be in the device's group, such as dialout";
constexpr int kMaxLinks = 8;

} // namespace

std::string describeDenied(const std::string &path)
{
    // The check is made as open() made it, with the effective user.
    std::string at = path;
    for (int links = 0; links < kMaxLinks; ++links) {
        for (std::size_t slash = at.find('/', 1); slash != std::string::npos; slash = at.find('/', slash + 1)) {
            const std::string folder = at.substr(0, slash);
            if (faccessat(AT_FDCWD, folder.c_str(), X_OK, AT_EACCESS) != 0 && errno == EACCES)
                return "permission denied \u2014 this user may not enter the folder " + folder;
        }
        // A stable name (/dev/serial/by-id/...) is a link: the folders on
        // the way to its device count too.
        char target[PATH_MAX];
        const ssize_t n = readlink(at.c_str(), target, sizeof target);
        if (n <= 0 || n == ssize_t(sizeof target))
            break;
        std::string next(target, std::size_t(n));
        if (next.front() != '/')
            next = at.substr(0, at.rfind('/') + 1) + next;
        at = std::filesystem::path(next).lexically_normal().string();
    }
    // A device its group may read: that group, by name, is the way in.
    struct stat device{};
    if (stat(path.c_str(), &device) == 0 && (device.st_mode & S_IRGRP)) {
        group entry{};
        group *found = nullptr;
        std::vector<char> buffer(4096);
        if (getgrgid_r(device.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
            return std::string("permission denied \u2014 the user must be in the device's group ") + found->gr_name;
    }
    return kDeviceDenied;
}

const char *describeOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "no such device";
    case EBUSY:
    case EWOULDBLOCK:
        return "in use by another program";
    case EACCES:
    case EPERM:
        return kDeviceDenied;
    case ENOTTY:
    case EISDIR:
        return "not a serial port";
    case EIO:
        return "the device does not answer (input/output error)";
    default:
        return std::strerror(error);
    }
}

bool applySerialSettings(termios &t)
{
    const tcflag_t parity = t.c_cflag & (PARENB | PARODD | CMSPAR);
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS | PARENB | PARODD | CMSPAR);
    t.c_cflag |= CS8 | CLOCAL | CREAD | parity;
    t.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY | PARMRK);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return cfsetispeed(&t, B9600) == 0 && cfsetospeed(&t, B9600) == 0;
}

bool configurePort(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0 || !applySerialSettings(t) || tcsetattr(fd, TCSANOW, &t) != 0)
        return false;

    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIC, &lines) != 0 && errno != ENOTTY)
        return false;

    tcflush(fd, TCIOFLUSH);
    return true;
}

bool SerialPort::open(const std::string &path, std::string *whyNot)
{
    close();
    auto fail = [&](int error) {
        if (whyNot)
            *whyNot = describeOpenError(error);
        return false;
    };

    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if ((error == EACCES || error == EPERM) && whyNot) {
            *whyNot = describeDenied(path);
            return false;
        }
        return fail(error);
    }

    // The lock first: a port that another of our programs holds is left
    // exactly as it is. Closing drops a lock we took.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    if (!configurePort(fd)) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        if (whyNot)
            *whyNot = std::string("cannot be configured as a serial port (") + std::strerror(error) + ")";
        return false;
    }
    fd_ = fd;
    return true;
}

void SerialPort::close()
{
    if (fd_ < 0)
        return;
    // Exclusive use stays with the tty after our close while anybody else
    // keeps it open; clear it so the port can be opened again.
    ioctl(fd_, TIOCNXCL);
    ::close(fd_); // releases the flock as well
    fd_ = -1;
}
