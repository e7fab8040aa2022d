// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device name that tests point at a pseudo-terminal and remove again.

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Pseudo-terminal numbers are reused system-wide, so a device that is to
// stay away is reached through a link that is removed when it goes, as udev
// removes the by-id name of an unplugged adapter.
struct DeviceLink {
    std::string dir;
    std::string path;
    DeviceLink()
    {
        char pattern[] = "/tmp/breezon-link-XXXXXX";
        if (mkdtemp(pattern))
            dir = pattern;
        path = dir + "/anemometer";
    }
    ~DeviceLink()
    {
        std::remove(path.c_str());
        rmdir(dir.c_str());
    }
    DeviceLink(const DeviceLink &) = delete;
    DeviceLink &operator=(const DeviceLink &) = delete;

    // Points the name at `target` in one step (a rename over the old link).
    bool pointAt(const std::string &target)
    {
        const std::string tmp = dir + "/next";
        std::remove(tmp.c_str());
        return symlink(target.c_str(), tmp.c_str()) == 0 && std::rename(tmp.c_str(), path.c_str()) == 0;
    }
    void remove() { std::remove(path.c_str()); }
    QString qpath() const { return QString::fromStdString(path); }
};
