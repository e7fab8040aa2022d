// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortDiscovery.h"
#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {
QStringList names(const QList<PortEntry> &ports)
{
    QStringList out;
    for (const PortEntry &p : ports)
        out << p.name + QLatin1Char('=') + p.path;
    return out;
}
} // namespace

TEST(PortDiscovery, DemoFirstThenCommandLinePathsThenSystemPortsInTheirOrder)
{
    // Not sorted on purpose, and one name of 12 characters that the old
    // registry walk would have stopped at.
    const QList<PortEntry> system = {{"ttyUSB1", "/dev/ttyUSB1"},
                                     {"ttyUSB123456", "/dev/ttyUSB123456"},
                                     {"ttyACM0", "/dev/ttyACM0"}};
    // A system port given by path is listed once, where the path puts it.
    const QStringList extra = {"/dev/serial/by-id/usb-Anemometer_0001-if00-port0", "",
                               "/tmp/pty-link", "/dev/ttyACM0"};
    EXPECT_EQ(names(discoverPorts(system, extra, "/dev/pts/7")),
              (QStringList{"DEMO=/dev/pts/7",
                           "/dev/serial/by-id/usb-Anemometer_0001-if00-port0="
                           "/dev/serial/by-id/usb-Anemometer_0001-if00-port0",
                           "/tmp/pty-link=/tmp/pty-link", "/dev/ttyACM0=/dev/ttyACM0",
                           "ttyUSB1=/dev/ttyUSB1", "ttyUSB123456=/dev/ttyUSB123456"}));
}

TEST(PortDiscovery, WithoutDemoOrPortsTheListIsWhatIsThere)
{
    EXPECT_TRUE(discoverPorts({}, {}, {}).isEmpty());
    EXPECT_EQ(names(discoverPorts({{"ttyS0", "/dev/ttyS0"}}, {}, {})),
              QStringList{"ttyS0=/dev/ttyS0"});
    EXPECT_EQ(names(discoverPorts({{"ttyS0", "/dev/ttyS0"}}, {"/dev/ttyUSB9"}, {})),
              (QStringList{"/dev/ttyUSB9=/dev/ttyUSB9", "ttyS0=/dev/ttyS0"}));
}
