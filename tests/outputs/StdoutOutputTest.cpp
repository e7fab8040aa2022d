// SPDX-License-Identifier: GPL-3.0-or-later
// Standard output (StdoutOutput): a reader that goes away ends a run that
// had nothing else to record into, one that cannot take the rows is told
// once while the files go on, and each format prints its own lines.
#include "Files.h"
#include "RecorderProcess.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

namespace {

// The runs go side by side.
TEST(StdoutOutput, StandardOutputThatGoesAwayOrFills)
{
    QTemporaryDir dir;
    const struct {
        const char *name;
        const char *rows; // empty: no limit, the run must end by itself
        bool withCsv;
        const char *shell; // where standard output goes
        int status;
        const char *told;
    } cases[] = {
        {"| head alone", "", false, "| head -1", 0, ""},
        {"| head beside a file", "4", true, "| head -1", 0, "standard output is closed"},
        {"/dev/full", "4", true, ">/dev/full", 4, "standard output was not written: No space left on device"},
    };
    const auto csv = [&](int n) { return dir.filePath(QStringLiteral("%1.csv").arg(n)); };
    std::array<QProcess, std::size(cases)> runs;
    for (int n = 0; n < int(runs.size()); ++n) {
        const auto &c = cases[n];
        QStringList args = demo({"--no-journal"});
        if (*c.rows)
            args << QStringLiteral("--rows") << QString::fromLatin1(c.rows);
        if (c.withCsv)
            args << QStringLiteral("--csv") << csv(n);
        const QString script = QStringLiteral("\"$0\" \"$@\" %1; echo \"status ${PIPESTATUS[0]}\" >&2").arg(QLatin1String(c.shell));
        runs[n].start(QStringLiteral("bash"), QStringList{QStringLiteral("-c"), script, QStringLiteral(BREEZON_RECORD_PATH)} + args);
    }
    for (int n = 0; n < int(runs.size()); ++n) {
        const auto &c = cases[n];
        runs[n].waitForFinished(30000);
        const QByteArray err = runs[n].readAllStandardError();
        EXPECT_TRUE(err.contains("status " + QByteArray::number(c.status))) << c.name << err.toStdString();
        if (*c.told) {
            EXPECT_EQ(err.count(c.told), 1) << c.name << err.toStdString();
        }
        if (c.withCsv) {
            EXPECT_EQ(readAll(csv(n)).count("\r\n"), 1 + 4) << c.name;
        }
    }
}

// The line protocol on request (its fields: FormatsTest; text and JSON
// lines: RecorderRunTest, MqttOutputTest).
TEST(StdoutOutput, InfluxPrintsTheLineProtocol)
{
    const Ran run = runRecorder(demo({"--rows", "1", "--no-journal", "--stdout", "influx", "--name", "duct 7"}));
    EXPECT_TRUE(run.out.startsWith("breezon,instrument=duct\\ 7,")) << run.out.toStdString();
}

} // namespace
