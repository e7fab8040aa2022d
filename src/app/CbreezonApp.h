// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object: builds the main window and carries the
// application's commands (exports, help, about).

#include "PortDiscovery.h"

#include <QObject>
#include <memory>

class CMainFrame;

class CbreezonApp : public QObject {
    Q_OBJECT
public:
    CbreezonApp(const QList<PortEntry> &ports, int screenWidth);
    ~CbreezonApp() override;

    // Shows the main window, titled "Breezon".
    void show();

    CMainFrame &frame() const { return *frame_; }

    // Routes a command identifier to its handler; unknown ones do nothing.
    void onCommand(int id);

    // Ctrl+O: asks for a recording file and opens it.
    void openFile();
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
    std::unique_ptr<CMainFrame> frame_;
};
