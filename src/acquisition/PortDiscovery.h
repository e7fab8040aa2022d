// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ports offered in the port box, in the order they are shown.

#include <QList>
#include <QString>
#include <QStringList>

struct PortEntry {
    QString name; // what the port box shows, e.g. "ttyUSB0"
    QString path; // what is opened, e.g. "/dev/ttyUSB0"
};

// The system's serial ports as QSerialPortInfo lists them, in its order.
QList<PortEntry> systemSerialPorts();

// The name under which the simulated instrument of --demo is shown.
inline constexpr const char *kDemoPortName = "DEMO";

// The simulated instrument first (when demoPath is not empty), shown as
// kDemoPortName; then the device paths given on the command line (--port),
// each shown as the path itself, since a stable name such as
// /dev/serial/by-id/... is what the user typed, and the first of them is the
// one selected when there is no DEMO; then the system's ports in their order,
// less those already given by path. Every entry is kept, whatever the length
// of its name; empty paths are skipped.
QList<PortEntry> discoverPorts(const QList<PortEntry> &systemPorts, const QStringList &extraPaths,
                               const QString &demoPath);
