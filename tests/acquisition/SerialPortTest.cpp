// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPort.h"
#include "Simulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool hasData(int fd, int waitMs)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, waitMs) > 0 && (p.revents & POLLIN);
}

std::string tempDir()
{
    char pattern[] = "/tmp/breezon-port-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

} // namespace

TEST(SerialPortOpen, FailuresSayWhy)
{
    SerialPort port;
    std::string why;
    EXPECT_FALSE(port.open("/dev/breezon-no-such-port", &why));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(why, "no such device");

    EXPECT_FALSE(port.open("/dev/null", &why));
    EXPECT_EQ(why, "not a serial port");

    const std::string dir = tempDir();
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "/plain";
    FILE *f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("not a port\n", f);
    std::fclose(f);
    EXPECT_FALSE(port.open(file, &why));
    EXPECT_EQ(why, "not a serial port");
    EXPECT_FALSE(port.open(dir, &why));
    EXPECT_EQ(why, "not a serial port");
    std::remove(file.c_str());
    rmdir(dir.c_str());
}

TEST(SerialPortOpen, PortInUseFailsAndIsFreeAgainAfterClose)
{
    Simulator sim;
    ASSERT_TRUE(sim.open());
    SerialPort first;
    ASSERT_TRUE(first.open(sim.slavePath()));

    SerialPort second;
    std::string why;
    EXPECT_FALSE(second.open(sim.slavePath(), &why));
    EXPECT_EQ(why, "in use by another program");
    // The holder still reads undisturbed.
    const std::uint8_t byte = 0x5A;
    ASSERT_TRUE(sim.writeRaw(&byte, 1));
    ASSERT_TRUE(hasData(first.fd(), 1000));
    std::uint8_t got = 0;
    EXPECT_EQ(read(first.fd(), &got, 1), 1);
    EXPECT_EQ(got, byte);

    first.close();
    EXPECT_TRUE(second.open(sim.slavePath(), &why)) << why;
}

// The group advice only where the device's own permissions deny it, naming
// the device's group where that group may read it; a folder on the way
// (also on the way a link leads) is named instead. Root is denied nothing,
// so as root the opens are made as the user "nobody".
TEST(SerialPortOpen, PermissionDeniedNamesItsCause)
{
    const std::string dir = tempDir();
    ASSERT_FALSE(dir.empty());
    const std::string locked = dir + "/locked", open = dir + "/open";
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(open.c_str(), 0755), 0);
    for (const std::string &file : {locked + "/port", open + "/port", open + "/grouped"})
        std::fclose(std::fopen(file.c_str(), "w"));
    ASSERT_EQ(chmod((locked + "/port").c_str(), 0666), 0);
    ASSERT_EQ(chmod((open + "/port").c_str(), 0), 0);
    ASSERT_EQ(chmod((open + "/grouped").c_str(), 0040), 0); // its group alone may read it
    struct stat grouped{};
    ASSERT_EQ(stat((open + "/grouped").c_str(), &grouped), 0);
    const group *owners = getgrgid(grouped.st_gid);
    ASSERT_NE(owners, nullptr);
    ASSERT_EQ(symlink("../locked/port", (open + "/link").c_str()), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);

    const std::string folder = "permission denied \u2014 this user may not enter the folder " + locked;
    const std::string group = "permission denied \u2014 the user must be in the device's group, such as dialout";
    const struct {
        std::string path, why;
    } cases[] = {{locked + "/port", folder},
                 {open + "/link", folder},
                 {open + "/port", group},
                 {open + "/grouped", "permission denied \u2014 the user must be in the device's group " +
                                         std::string(owners->gr_name)}};
    const bool root = geteuid() == 0;
    for (const auto &c : cases) {
        if (root) {
            ASSERT_EQ(setegid(65534), 0);
            ASSERT_EQ(seteuid(65534), 0);
        }
        SerialPort port;
        std::string why;
        const bool opened = port.open(c.path, &why);
        if (root) {
            ASSERT_EQ(seteuid(0), 0);
            ASSERT_EQ(setegid(0), 0);
        }
        EXPECT_FALSE(opened) << c.path;
        EXPECT_EQ(why, c.why) << c.path;
    }
    chmod(locked.c_str(), 0755);
    for (const std::string &file : {locked + "/port", open + "/port", open + "/grouped", open + "/link"})
        std::remove(file.c_str());
    for (const std::string &d : {locked, open, dir})
        rmdir(d.c_str());
}

TEST(SerialPortConfigure, SettingsReadBackOnAPseudoTerminal)
{
    Simulator sim;
    ASSERT_TRUE(sim.open());
    // Start from a port set up the other way round (a pseudo-terminal
    // insists on 8 bits without parity, so those are checked below).
    {
        const int fd = ::open(sim.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        t.c_cflag |= CSTOPB | CRTSCTS;
        t.c_iflag |= IXON | IXOFF | IXANY | INPCK | ICRNL;
        t.c_lflag |= ICANON | ECHO;
        cfsetispeed(&t, B1200);
        cfsetospeed(&t, B1200);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
        ::close(fd);
    }

    SerialPort port;
    std::string why;
    ASSERT_TRUE(port.open(sim.slavePath(), &why)) << why;
    termios t{};
    ASSERT_EQ(tcgetattr(port.fd(), &t), 0);
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_iflag & INPCK);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | IXANY));
    // Raw: data bytes pass unchanged.
    EXPECT_FALSE(t.c_iflag & ICRNL);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
}

TEST(SerialPortConfigure, ParityIsKeptButNotChecked)
{
    termios t{};
    t.c_cflag = CS7 | CSTOPB | CRTSCTS | PARENB | PARODD;
    t.c_iflag = INPCK | IXON | IXOFF | IXANY | ISTRIP | ICRNL;
    t.c_lflag = ICANON | ECHO;
    cfsetispeed(&t, B1200);
    cfsetospeed(&t, B1200);
    ASSERT_TRUE(applySerialSettings(t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB | PARODD));
    EXPECT_FALSE(t.c_iflag & INPCK);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & (CSTOPB | CRTSCTS));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | IXANY | ISTRIP | ICRNL));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));

    t.c_cflag &= ~(PARENB | PARODD);
    ASSERT_TRUE(applySerialSettings(t));
    EXPECT_FALSE(t.c_cflag & (PARENB | PARODD));
}

TEST(SerialPortConfigure, BytesThatWaitedBeforeTheOpenAreNeverRead)
{
    Simulator sim;
    ASSERT_TRUE(sim.open());
    const std::uint8_t stale[] = {0xEB, 0xA0, 1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(sim.writeRaw(stale, sizeof stale));
    usleep(50 * 1000); // let the terminal move them to the slave side

    SerialPort port;
    ASSERT_TRUE(port.open(sim.slavePath()));
    EXPECT_FALSE(hasData(port.fd(), 100));

    // Fresh bytes do arrive, so the silence above was the flush.
    const std::uint8_t fresh[] = {0x0D, 0x0A, 0x11};
    ASSERT_TRUE(sim.writeRaw(fresh, sizeof fresh));
    std::uint8_t got[3] = {};
    std::size_t n = 0;
    while (n < sizeof got && hasData(port.fd(), 1000)) {
        const ssize_t r = read(port.fd(), got + n, sizeof got - n);
        ASSERT_GT(r, 0);
        n += static_cast<std::size_t>(r);
    }
    ASSERT_EQ(n, sizeof got);
    EXPECT_EQ(got[0], 0x0D);
    EXPECT_EQ(got[1], 0x0A);
    EXPECT_EQ(got[2], 0x11);
}

TEST(SerialPortConfigure, FailsOnANonTerminal)
{
    const int fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(configurePort(fd));
    ::close(fd);
}
