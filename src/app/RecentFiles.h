// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The framework's recent-file list: the four recordings opened or journaled
// last, newest first. It lives in the framework's profile (organisation
// "Local AppWizard-Generated Applications", application "breezon"), section
// "Recent File List", keys File1 to File4, where the original's framework
// kept its own; as that framework did, it is read at start-up and written
// when the program ends, so recording never waits for the profile's disk.

#include <QStringList>

class RecentFiles {
public:
    static constexpr int kMax = 4;

    RecentFiles(); // reads the list from the profile

    const QStringList &paths() const { return paths_; }
    // `path` goes first; listed already, it moves up.
    void add(const QString &path);
    void remove(const QString &path);
    // Writes the list into the profile, if it changed.
    void save() const;

    // The menu item of entry `index` (from 0): "&1 " and the path, shortened
    // as the framework shortens it to 30 characters: the file name stays
    // whole, the folders nearest the root give way to "…".
    static QString menuText(int index, const QString &path);

private:
    QStringList paths_;
    bool changed_ = false;
};
