// SPDX-License-Identifier: GPL-3.0-or-later
// breezon: a data logger for a hand-held anemometer.
#include "CMainFrame.h"
#include "CommandLine.h"
#include "CbreezonApp.h"
#include "Dialogs.h"
#include "RecordingFolder.h"
#include "Simulator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

// breezon's options, as --help lists them.
const std::vector<OptionRow> &windowOptions()
{
    static const std::vector<OptionRow> table = {
        {QStringLiteral("--demo"), QString(),
         QStringLiteral("start a simulated instrument, listed first in the port box")},
        {QStringLiteral("--port"), QStringLiteral("PATH"),
         QStringLiteral("add the device PATH to the port box, before the system's ports (may be given more "
                        "than once), e.g. /dev/serial/by-id/usb-...")},
        {QStringLiteral("--open"), QStringLiteral("FILE"), QStringLiteral("open the recording file FILE")},
        {QStringLiteral("--no-journal"), QString(),
         QStringLiteral("keep no recording file of the runs (kept by default in "
                        "$XDG_DATA_HOME/breezon/recordings)")},
        {QStringLiteral("-h, --help"), QString(), QStringLiteral("show this text and exit")},
        {QStringLiteral("--version"), QString(), QStringLiteral("show the version and exit")},
    };
    return table;
}

// The toolkit's own options (-platform offscreen, -style Fusion): accepted,
// left to QApplication, not listed.
const std::vector<OptionRow> &toolkitOptions()
{
    static const std::vector<OptionRow> table = [] {
        std::vector<OptionRow> rows;
        for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                 "qwindowicon", "qwindowtitle", "session", "display", "geometry", "name", "title",
                                 "style", "stylesheet"})
            rows.push_back({QLatin1String("-") + QLatin1String(name), QStringLiteral("VALUE"), QString()});
        for (const char *name : {"reverse", "widgetcount", "nograb", "dograb"})
            rows.push_back({QLatin1String("-") + QLatin1String(name), QString(), QString()});
        return rows;
    }();
    return table;
}

QString usage()
{
    // The shape (Usage:, Options:) is the one help2man reads into the
    // manual page's synopsis and options.
    return QStringLiteral("Usage: breezon [OPTION]... [FILE]\n"
                          "Shows an anemometer's readings from a serial port (air speed or air flow,\n"
                          "temperature and relative humidity) as a list and a paged graph, and saves\n"
                          "them as text, spreadsheet or image files. FILE is a recording file\n"
                          "(.breezon) to open.\n"
                          "\n"
                          "Options:\n")
        + optionLines(windowOptions());
}

int usageError(const QString &why)
{
    std::fprintf(stderr, "breezon: %s\n%s\n", qPrintable(why), qPrintable(tryHelp(QStringLiteral("breezon"))));
    return 2;
}

// Qt ends the process when it finds no display to open a window on (abort,
// status 134, a paragraph with advice to reinstall); breezon says so in one
// line, with Qt's first reason, and ends with 1. What Qt says while the
// window system starts is held back until it is known to have started.
QStringList heldBack;

void onStartMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        heldBack << qFormatLogMessage(type, context, text);
        return;
    }
    QStringList tried;
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariable(name).isEmpty())
            tried << QStringLiteral("%1=%2").arg(QLatin1String(name), qEnvironmentVariable(name));
    std::fprintf(stderr, "breezon: cannot open a window (%s): %s\n", qPrintable(tried.join(QLatin1Char(' '))),
                 qPrintable(heldBack.value(0, text).section(QLatin1Char('\n'), 0, 0)));
    std::_Exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("breezon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BREEZON_VERSION));

    // Help, version and usage errors need no display: over ssh, or while
    // the manual pages are built.
    std::vector<OptionRow> accepted = windowOptions();
    accepted.insert(accepted.end(), toolkitOptions().begin(), toolkitOptions().end());
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    addOptions(parser, accepted);
    if (const QString error = parseOptions(parser, accepted, words); !error.isEmpty())
        return usageError(error);
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(usage()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fputs("breezon " BREEZON_VERSION "\n", stdout);
        return 0;
    }
    const QStringList toOpen = parser.values(QStringLiteral("open")) + parser.positionalArguments();
    if (toOpen.size() > 1)
        return usageError(QStringLiteral("give one recording file to open, not %1").arg(toOpen.size()));

    if (qEnvironmentVariable("QT_QPA_PLATFORM").isEmpty() && qEnvironmentVariable("DISPLAY").isEmpty()
        && qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty()) {
        std::fputs("breezon: no display to open the window on: DISPLAY and WAYLAND_DISPLAY are not set\n", stderr);
        return 1;
    }
    const QtMessageHandler qtHandler = qInstallMessageHandler(onStartMessage);
    QApplication application(argc, argv);
    qInstallMessageHandler(qtHandler);
    for (const QString &message : std::as_const(heldBack))
        std::fprintf(stderr, "%s\n", qPrintable(message));
    QSettings::setDefaultFormat(QSettings::NativeFormat);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/breezon.svg")));

    std::unique_ptr<Simulator> simulator;
    QString demoPath;
    if (parser.isSet(QStringLiteral("demo"))) {
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
        const QStringList ports = parser.values(QStringLiteral("port"));
        app = std::make_unique<CbreezonApp>(discoverPorts(systemSerialPorts(), ports, demoPath),
                                            CMainFrame::primaryScreenWidth());
    } catch (const std::bad_alloc &) {
        // The 16 MiB store could not be had.
        dialogs().message(nullptr, QStringLiteral("breezon"), QStringLiteral("Failed to create empty document."),
                          MessageIcon::Error);
        return 1;
    }
    if (!parser.isSet(QStringLiteral("no-journal")))
        app->frame().journal().setFolder(recording_file::userFolder());
    app->show();
    if (!toOpen.isEmpty())
        app->openRecording(toOpen.first());
    return application.exec();
}
