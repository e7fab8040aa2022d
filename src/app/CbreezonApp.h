// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object: builds the main window and carries the
// application's commands (exports, help, about).

#include "PortDiscovery.h"
#include "RecentFiles.h"

#include <QObject>
#include <memory>

class CMainFrame;

class CbreezonApp : public QObject {
    Q_OBJECT
public:
    CbreezonApp(const QList<PortEntry> &ports, int screenWidth);
    ~CbreezonApp() override; // writes the recent-file list into the profile

    // Shows the main window, titled "Breezon".
    void show();

    CMainFrame &frame() const { return *frame_; }

    // Routes a command identifier to its handler; unknown ones do nothing.
    void onCommand(int id);

    // Ctrl+O: asks for a recording file, in the recordings folder, and
    // opens it.
    void openFile();
    // Opens entry `index` of the recent-file list.
    void openRecent(int index);
    // The recent-file list, newest first.
    QStringList recentFiles() const { return recent_.paths(); }
    // The window then stands as if that run had just stopped: its rows,
    // recorded times, frames and pages; START goes on in its file. A running
    // acquisition is stopped first. False when the file cannot be read: the
    // user is told why, and the recording on show and its run go on.
    bool openRecording(const QString &path);

    void saveText();
    void saveSpreadsheet();
    void exportGraph();
    void help();
    void about();

private:
    void reportFailure(const QString &what, const QString &path, const QString &why);
    // A recording opened or begun goes first in the recent-file list.
    void addRecent(const QString &path);
    std::unique_ptr<CMainFrame> frame_;
    RecentFiles recent_;
};
