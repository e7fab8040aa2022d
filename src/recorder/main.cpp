// SPDX-License-Identifier: GPL-3.0-or-later
// breezon-record: the anemometer logger without a window.
#include "CommandLine.h"
#include "Recorder.h"
#include "RecorderOptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("breezon-record"));

    const RecorderArgs args = parseRecorderArgs(application.arguments().mid(1));
    if (args.version) {
        std::fputs("breezon-record " BREEZON_VERSION "\n", stdout);
        return 0;
    }
    if (args.help) {
        std::fputs(qPrintable(recorderUsage()), stdout);
        return 0;
    }
    const auto usageError = [](const QString &why) {
        std::fprintf(stderr, "breezon-record: %s\n%s\n", qPrintable(why),
                     qPrintable(tryHelp(QStringLiteral("breezon-record"))));
        return int(Recorder::kUsage);
    };
    if (!args.options)
        return usageError(args.error);

    // A reader that goes away (| head) must not kill the recording.
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("breezon-record: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A closed terminal or a dropped session (SIGHUP) and SIGQUIT end the
    // run as cleanly as SIGINT and SIGTERM: every file finished. A hang-up
    // that came ignored (nohup, trap '' HUP) stays ignored, as with every
    // Unix tool.
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction inherited {};
        if (s == SIGHUP && sigaction(s, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        sigaction(s, &action, nullptr);
    }

    Recorder recorder(*args.options, stdout, stderr);
    QSocketNotifier stopRequest(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopRequest, &QSocketNotifier::activated, &recorder, &Recorder::finish);
    QObject::connect(&recorder, &Recorder::finished, &application, &QCoreApplication::exit, Qt::QueuedConnection);

    if (!recorder.start()) {
        // An option's value found wrong once the outputs are made (--stdout).
        if (recorder.status() == Recorder::kUsage)
            std::fprintf(stderr, "%s\n", qPrintable(tryHelp(QStringLiteral("breezon-record"))));
        return recorder.status();
    }
    return application.exec();
}
