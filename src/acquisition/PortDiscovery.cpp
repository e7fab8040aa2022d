// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortDiscovery.h"

#include <QSerialPortInfo>

QList<PortEntry> systemSerialPorts()
{
    QList<PortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append(PortEntry{info.portName(), info.systemLocation()});
    return ports;
}

QList<PortEntry> discoverPorts(const QList<PortEntry> &systemPorts, const QStringList &extraPaths,
                               const QString &demoPath)
{
    QList<PortEntry> ports;
    if (!demoPath.isEmpty())
        ports.append(PortEntry{QString::fromLatin1(kDemoPortName), demoPath});
    for (const QString &path : extraPaths) {
        if (!path.isEmpty())
            ports.append(PortEntry{path, path});
    }
    for (const PortEntry &port : systemPorts) {
        if (port.path.isEmpty() || extraPaths.contains(port.path))
            continue;
        ports.append(PortEntry{port.name.isEmpty() ? port.path : port.name, port.path});
    }
    return ports;
}
