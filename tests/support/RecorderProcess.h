// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// breezon-record as a child process, as a user runs it: run to its end, or
// started with its arguments and read until it has printed some rows. The
// test program defines BREEZON_RECORD_PATH.

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// The simulated instrument at its fastest, and `more`.
inline QStringList demo(const QStringList &more = {})
{
    return QStringList{QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5")} + more;
}

// A run to its end: the exit status (-1 when it crashed or took over a
// minute), what it printed and what it said.
struct Ran {
    int status = -1;
    QByteArray out, err;
};
inline Ran runRecorder(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(BREEZON_RECORD_PATH), args);
    if (!p.waitForFinished(60000))
        p.kill();
    p.waitForFinished(10000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// Reads `p`'s standard output into `printed` until it holds `rows` lines;
// false when the program stops printing first.
inline bool waitForRows(QProcess &p, QByteArray &printed, int rows)
{
    while (printed.count('\n') < rows) {
        if (!p.waitForReadyRead(20000))
            return false;
        printed += p.readAllStandardOutput();
    }
    return true;
}

// Starts the recorder with `args` and waits until it has printed `rows` rows.
inline bool startAndWaitForRows(QProcess &p, const QStringList &args, int rows, QByteArray &printed)
{
    p.start(QStringLiteral(BREEZON_RECORD_PATH), args);
    return p.waitForStarted(10000) && waitForRows(p, printed, rows);
}
