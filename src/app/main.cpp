// SPDX-License-Identifier: GPL-3.0-or-later
// breezon: a data logger for a hand-held anemometer.
#include "CMainFrame.h"
#include "CbreezonApp.h"
#include "Dialogs.h"
#include "Simulator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QSettings>

#include <cstdio>
#include <memory>
#include <new>
#include <string_view>

namespace {

// The help and version texts need no display: over ssh, or while the manual
// pages are built, a QApplication would abort for want of one.
bool asksForTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "-?" || a == "--help" || a == "--help-all" || a == "-v" || a == "--version")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("breezon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BREEZON_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("breezon records an anemometer's readings from a serial port: air speed or air flow, "
                       "temperature and relative humidity."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Start a simulated instrument and list it first in the port box."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Add a device path to the port box, before the system's ports (may be "
                                                 "given more than once), e.g. /dev/serial/by-id/usb-..."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Open the recording file FILE."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption noJournal(
        QStringLiteral("no-journal"),
        QStringLiteral("Keep no recording files of the runs (kept by default in $XDG_DATA_HOME/breezon/recordings)."));
    parser.addOption(demo);
    parser.addOption(port);
    parser.addOption(open);
    parser.addOption(noJournal);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A recording file (.breezon) to open."),
                                 QStringLiteral("[FILE]"));

    if (asksForTextOnly(argc, argv)) {
        // process() prints the text and exits; it returns only when the
        // word was an option's value (--port --help), and then the window
        // starts as usual.
        QCoreApplication textOnly(argc, argv);
        parser.process(textOnly);
    }

    QApplication application(argc, argv);
    QSettings::setDefaultFormat(QSettings::NativeFormat);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/breezon.svg")));
    parser.process(application);
    QStringList toOpen = parser.values(open) + parser.positionalArguments();
    if (toOpen.size() > 1) {
        std::fprintf(stderr, "breezon: give one recording file to open, not %d\n", int(toOpen.size()));
        return 2;
    }

    std::unique_ptr<Simulator> simulator;
    QString demoPath;
    if (parser.isSet(demo)) {
        simulator = std::make_unique<Simulator>();
        std::string why;
        if (!simulator->open(&why) || !simulator->start()) {
            qCritical("breezon: cannot start the simulated instrument: %s", why.c_str());
            return 1;
        }
        demoPath = QString::fromStdString(simulator->slavePath());
    }

    std::unique_ptr<CbreezonApp> app;
    try {
        app = std::make_unique<CbreezonApp>(discoverPorts(systemSerialPorts(), parser.values(port), demoPath),
                                            CMainFrame::primaryScreenWidth());
    } catch (const std::bad_alloc &) {
        // The 16 MiB store could not be had.
        dialogs().message(nullptr, QStringLiteral("breezon"), QStringLiteral("Failed to create empty document."),
                          MessageIcon::Error);
        return 1;
    }
    if (!parser.isSet(noJournal))
        app->frame().journal().setFolder(RunJournal::defaultFolder());
    app->show();
    if (!toOpen.isEmpty())
        app->openRecording(toOpen.first());
    return application.exec();
}
