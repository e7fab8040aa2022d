// breezon-record as a user runs it: exit statuses, signals, and what a
// killed run leaves behind.
#include "Files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QString kProgram = QStringLiteral(BREEZON_RECORD_PATH);

struct ProcessRun {
    int exitCode = -1;
    QByteArray out, err;
};

ProcessRun runToEnd(const QStringList &args)
{
    QProcess p;
    p.start(kProgram, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// Starts a demo run and waits until `lines` rows have been printed.
bool startAndWaitForRows(QProcess &p, const QStringList &args, int lines, QByteArray &printed)
{
    p.start(kProgram, args);
    if (!p.waitForStarted(10000))
        return false;
    while (printed.count('\n') < lines) {
        if (!p.waitForReadyRead(20000))
            return false;
        printed += p.readAllStandardOutput();
    }
    return true;
}

TEST(RecorderProcess, ExitStatusSaysWhatFailed)
{
    ProcessRun usage = runToEnd({QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.7")});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(usage.err.contains("Usage: breezon-record")) << usage.err.toStdString();
    EXPECT_EQ(runToEnd({QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("61")}).exitCode, 2);

    ProcessRun help = runToEnd({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--period"));

    ProcessRun port = runToEnd({QStringLiteral("--port"), QStringLiteral("/nonexistent/ttyUSB9")});
    EXPECT_EQ(port.exitCode, 3);
    EXPECT_TRUE(port.err.contains("open port error")) << port.err.toStdString();

    // A file that cannot be created is told before anything is recorded.
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("ok.csv"));
    ProcessRun file = runToEnd({QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                         QStringLiteral("--rows"), QStringLiteral("2"), QStringLiteral("--txt"),
                         dir.filePath(QStringLiteral("missing/dir/x.txt")), QStringLiteral("--csv"), csv});
    EXPECT_EQ(file.exitCode, 4);
    EXPECT_TRUE(file.err.contains("x.txt")) << file.err.toStdString();
    EXPECT_EQ(file.out.count('\n'), 0);
}

TEST(RecorderProcess, InterruptEndsTheRunWithCompleteFiles)
{
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("r.txt"));
    const QString xls = dir.filePath(QStringLiteral("r.xlsx"));
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(p,
                                    {QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                                     QStringLiteral("--txt"), txt, QStringLiteral("--xls"), xls},
                                    2, printed));
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(20000));
    printed += p.readAllStandardOutput();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const int rows = int(printed.count('\n'));
    // UTF-16: "\r\n" is four bytes per line.
    EXPECT_EQ(readAll(txt).count(QByteArray("\r\0\n\0", 4)), rows);
    EXPECT_TRUE(readAll(xls).startsWith("PK"));
}

TEST(RecorderProcess, AKilledRunKeepsEveryPrintedRow)
{
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("k.txt"));
    const QString csv = dir.filePath(QStringLiteral("k.csv"));
    QProcess p;
    QByteArray printed;
    ASSERT_TRUE(startAndWaitForRows(p,
                                    {QStringLiteral("--demo"), QStringLiteral("--period"), QStringLiteral("0.5"),
                                     QStringLiteral("--txt"), txt, QStringLiteral("--csv"), csv},
                                    3, printed));
    ::kill(pid_t(p.processId()), SIGKILL);
    ASSERT_TRUE(p.waitForFinished(20000));
    printed += p.readAllStandardOutput();
    const QList<QByteArray> lines = printed.split('\n');
    const int rows = int(lines.size()) - 1;
    ASSERT_GE(rows, 3);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(readAll(txt).constData()),
                                            readAll(txt).size() / 2);
    for (int i = 0; i < rows; ++i)
        EXPECT_TRUE(text.contains(QString::fromUtf8(lines[i]) + QStringLiteral("\r\n"))) << i;
    // Header plus at least every printed row.
    EXPECT_GE(readAll(csv).count('\n'), rows + 1);
}

} // namespace
