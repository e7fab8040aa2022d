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

    void saveText();
    void saveSpreadsheet();
    void exportGraph();
    void help();
    void about();

private:
    void reportFailure(const QString &what, const QString &path, const QString &why);
    std::unique_ptr<CMainFrame> frame_;
};
