// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up probe, linked into both start-up programs: it writes the monotonic
// clock (nanoseconds) to standard output when the application object is
// made, and again once the main window has finished its first paint, then
// quits the event loop. The parent started the clock just
// before it spawned the program, so the difference is the wait a user sees.
//
// It hooks in when the application object is made, so breezon's own main()
// runs unchanged.

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace {

void printClock()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
}

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            qobject_cast<QMainWindow *>(static_cast<QWidget *>(watched)->window())) {
            seen_ = true;
            // Every widget of the window is painted in the same pass; the
            // pass is over when control is back in the event loop.
            QTimer::singleShot(0, [] {
                printClock();
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};

void installProbe()
{
    printClock(); // the application object is being made
    qApp->installEventFilter(new FirstPaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
