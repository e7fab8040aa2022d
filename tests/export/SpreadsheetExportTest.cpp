// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportTestSupport.h"
#include "SmallDisk.h"
#include "SpreadsheetApp.h"
#include "SpreadsheetExport.h"
#include "ZipCheck.h"

#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

using namespace export_test;

namespace {

const QStringList kProgress = {"start to save excel,please wait...", "finish 25%,please wait...",
                               "finish 50%,please wait...", "finish 75%,please wait...",
                               "save excel file successfully"};

class SpreadsheetExport : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QStringList statuses, messages;
    SpreadsheetHooks hooks{[this](const QString &t) { statuses << t; }, [this](const QString &t) { messages << t; }};

    QString path(const QString &name) const { return dir.filePath(name); }
    void TearDown() override { sheet::Application::setStarterForTesting({}); }
};

QJsonObject cell(const QJsonObject &wb, int row, int column)
{
    return wb["cells"].toArray()[row - 1].toArray()[column - 1].toObject();
}

TEST_F(SpreadsheetExport, SheetHoldsTheListAsText)
{
    ReadingListModel m;
    fillRows(m, 9);
    const QString file = path("data.xls");
    const ExportResult r = exportSpreadsheet(m, file, hooks);
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    EXPECT_EQ(statuses, kProgress);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(filesIn(dir.path()), QStringList{"data.xls"});

    const int n = m.itemCount();
    const QJsonObject wb = readWorkbook(file, n + 3);
    EXPECT_EQ(wb["sheets"].toArray(), QJsonArray({"KQ-VANE", "Sheet1"}));
    EXPECT_EQ(wb["active"].toString(), "KQ-VANE");
    EXPECT_EQ(wb["otherSheetRows"].toArray(), QJsonArray({1})); // Sheet1 is left empty

    const QStringList headers = {"No.", "Time", "Value", " ", "%RH", " ", "Temp", " "};
    for (int c = 1; c <= 8; ++c) {
        EXPECT_EQ(cell(wb, 1, c)["value"].toString(), headers[c - 1]) << c;
        EXPECT_EQ(cell(wb, 1, c)["type"].toString(), "s");
        EXPECT_EQ(cell(wb, 1, c)["format"].toString(), "@");
    }
    for (int i = 0; i < n; ++i)
        for (int c = 1; c <= 8; ++c) {
            const QJsonObject x = cell(wb, i + 2, c);
            const QString expected = m.cellText(i, c - 1);
            if (expected.isEmpty()) {
                EXPECT_TRUE(x["value"].isNull()) << i << "," << c;
            } else {
                EXPECT_EQ(x["value"].toString(), expected) << i << "," << c;
                EXPECT_EQ(x["type"].toString(), "s") << "sent as text, never as a number";
            }
        }
    EXPECT_EQ(cell(wb, 2, 1)["value"].toString(), "0");
    // Rows 2 to n + 2: "0_ " in A, C, E, G and "@" in B, D, F, H.
    for (int row = 2; row <= n + 2; ++row)
        for (int c = 1; c <= 8; ++c)
            EXPECT_EQ(cell(wb, row, c)["format"].toString(), c % 2 ? "0_ " : "@") << row << "," << c;
    for (int c = 1; c <= 8; ++c)
        EXPECT_TRUE(cell(wb, n + 2, c)["value"].isNull());

    // Every column fitted; the rest of the grid keeps "@".
    const QJsonObject columns = wb["columns"].toObject();
    for (const QString letter : {"A", "B", "C", "D", "E", "F", "G", "H"}) {
        const QJsonObject col = columns[letter].toObject();
        EXPECT_TRUE(col["customWidth"].toBool()) << qPrintable(letter);
        EXPECT_GT(col["width"].toDouble(), 1.0) << qPrintable(letter);
        EXPECT_EQ(col["format"].toString(), "@") << qPrintable(letter);
    }
    EXPECT_NEAR(columns["B"].toObject()["width"].toDouble(), 9.71, 0.01); // "00:00:08" and a margin
    const QJsonObject rest = columns["I"].toObject();
    EXPECT_EQ(rest["min"].toInt(), 9);
    EXPECT_EQ(rest["max"].toInt(), 16384);
    EXPECT_EQ(rest["format"].toString(), "@");
}

TEST_F(SpreadsheetExport, EmptyListGivesTheHeaderRowOnly)
{
    ReadingListModel m;
    ASSERT_TRUE(exportSpreadsheet(m, path("empty.xls"), hooks).ok);
    EXPECT_EQ(statuses, kProgress);
    const QJsonObject wb = readWorkbook(path("empty.xls"), 3);
    EXPECT_EQ(cell(wb, 1, 1)["value"].toString(), "No.");
    EXPECT_TRUE(cell(wb, 2, 1)["value"].isNull());
    // The formatted rectangle is the single row 2.
    EXPECT_EQ(cell(wb, 2, 1)["format"].toString(), "0_ ");
    EXPECT_EQ(cell(wb, 2, 2)["format"].toString(), "@");
    EXPECT_EQ(cell(wb, 3, 1)["format"].toString(), "General"); // never written: the column's "@" applies
    EXPECT_EQ(wb["maxRow"].toInt(), 2);
}

TEST_F(SpreadsheetExport, ReplacesAnExistingFile)
{
    ASSERT_TRUE(writeFile(path("data.xls"), "an older file"));
    ReadingListModel m;
    fillRows(m, 3);
    ASSERT_TRUE(exportSpreadsheet(m, path("data.xls"), hooks).ok);
    EXPECT_TRUE(checkZipPackage(path("data.xls")).ok());
    EXPECT_EQ(filesIn(dir.path()), QStringList{"data.xls"});
}

TEST_F(SpreadsheetExport, ApplicationThatCannotStart)
{
    sheet::Application::setStarterForTesting([] { return std::unique_ptr<sheet::Application>(); });
    ReadingListModel m;
    fillRows(m, 3);
    const ExportResult r = exportSpreadsheet(m, path("data.xls"), hooks);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.reported);
    EXPECT_TRUE(r.error.isEmpty()); // told once, by the message box
    EXPECT_EQ(messages, QStringList{"EXCEL init error!"});
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
}

TEST_F(SpreadsheetExport, PathThatCannotBeWritten)
{
    ASSERT_TRUE(writeFile(path("plain"), "x"));
    ReadingListModel m;
    fillRows(m, 3);
    for (const QString &target : {path("plain/data.xls"), dir.path()}) {
        statuses.clear();
        const ExportResult r = exportSpreadsheet(m, target, hooks);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.reported);
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_FALSE(statuses.contains("save excel file successfully"));
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{"plain"});
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST_F(SpreadsheetExport, LongListsGoOnInFurtherSheets)
{
    const struct {
        int rows, perSheet;
        QStringList sheets;
    } cases[] = {
        {4, 4, {"KQ-VANE", "Sheet1"}}, // fits: today's file
        {5, 2, {"KQ-VANE", "KQ-VANE 2", "KQ-VANE 3", "Sheet1"}},
        {6, 3, {"KQ-VANE", "KQ-VANE 2", "Sheet1"}},
    };
    for (const auto &c : cases) {
        ReadingListModel m;
        fillRows(m, c.rows);
        SpreadsheetLayout layout;
        layout.rowsPerSheet = c.perSheet;
        const ExportResult r = exportSpreadsheet(m, path("long.xls"), hooks, layout);
        ASSERT_TRUE(r.ok) << qPrintable(r.error);
        const QJsonObject wb = readWorkbook(path("long.xls"), c.perSheet + 2);
        EXPECT_EQ(wb["sheets"].toArray(), QJsonArray::fromStringList(c.sheets)) << c.rows;
        // Every row once, in order, under a header row on each sheet.
        QStringList numbers;
        for (const QJsonValue &sheet : wb["sheetValues"].toArray()) {
            const QJsonArray rows = sheet.toArray();
            if (rows.isEmpty() || rows[0].toArray()[0].toString() != "No.")
                continue;
            for (qsizetype i = 1; i < rows.size(); ++i)
                if (!rows[i].toArray()[0].isNull()) // the formatted row below the data
                    numbers << rows[i].toArray()[0].toString();
        }
        QStringList expected;
        for (int i = 0; i < c.rows; ++i)
            expected << QString::number(i);
        EXPECT_EQ(numbers, expected) << c.rows;
    }
    EXPECT_EQ(statuses.last(), "save excel file successfully");
}

TEST_F(SpreadsheetExport, TimestampsAreDateCellsInColumnIWithTheirOffsetInJ)
{
    ReadingListModel m;
    fillRows(m, 3); // 00:00:00, 00:00:01, 00:00:02 on 1970-01-01
    // The end of summer time: 02:30 comes twice, an hour apart.
    for (const Timestamp t : {Timestamp{1793147400000, 7200}, Timestamp{1793151000000, 3600}})
        m.addRow(reading(Quantity::speed, 0, 520, 480, 246), t);
    SpreadsheetLayout layout;
    layout.timestamps = true;
    ASSERT_TRUE(exportSpreadsheet(m, path("t.xls"), hooks, layout).ok);
    const QJsonObject wb = readWorkbook(path("t.xls"), 6);
    EXPECT_EQ(cell(wb, 1, 9)["value"].toString(), "Timestamp");
    EXPECT_EQ(cell(wb, 1, 10)["value"].toString(), "UTC offset");
    EXPECT_EQ(cell(wb, 4, 9)["type"].toString(), "d");
    EXPECT_EQ(cell(wb, 4, 9)["format"].toString(), "yyyy-mm-dd hh:mm:ss.000");
    EXPECT_EQ(cell(wb, 4, 9)["value"].toString(), "1970-01-01 00:00:02");
    EXPECT_EQ(cell(wb, 4, 10)["value"].toString(), "+00:00");
    EXPECT_EQ(cell(wb, 5, 9)["value"], cell(wb, 6, 9)["value"]);
    EXPECT_EQ(cell(wb, 5, 10)["value"].toString(), "+02:00");
    EXPECT_EQ(cell(wb, 6, 10)["value"].toString(), "+01:00");
    EXPECT_EQ(cell(wb, 4, 2)["value"].toString(), m.cellText(2, 1)); // A to H as before
    EXPECT_GE(wb["columns"].toObject()["I"].toObject()["width"].toDouble(), 23); // the date shows whole
}

// As many rows as the grid has: with the header one too many for a sheet,
// so the last row goes on in a second sheet, by itself.
TEST_F(SpreadsheetExport, AListLongerThanASheetGoesOnInASecondSheet)
{
    ReadingListModel m;
    for (int i = 0; i < 1048576; ++i)
        m.addRow(reading(Quantity::speed, 3, std::uint32_t(i), 1, 1), QTime(1, 1, 1));
    const ExportResult r = exportSpreadsheet(m, path("huge.xls"), hooks);
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    EXPECT_EQ(statuses.last(), "save excel file successfully");
    // Each sheet's used range, from the start of its part (the whole first
    // sheet is too big for openpyxl to read in a test).
    QProcess p;
    p.start(QStringLiteral(BREEZON_PYTHON),
            {"-c", "import re, sys, zipfile\n"
                   "z = zipfile.ZipFile(sys.argv[1])\n"
                   "for n in sorted(n for n in z.namelist() if n.startswith('xl/worksheets/sheet')):\n"
                   "    print(re.search(rb'<dimension ref=\"([^\"]*)', z.open(n).read(4096)).group(1).decode())\n",
             path("huge.xls")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.readAllStandardOutput(), "A1:H1048576\nA1:H3\nA1\n") << p.readAllStandardError().toStdString();
}

// The file-size limit makes every write past 512 KiB fail, as a full disk does.
TEST_F(SpreadsheetExport, FullDiskIsAnErrorAndKeepsTheOlderFile)
{
    ASSERT_TRUE(writeFile(path("data.xls"), "an older file"));
    expectUnderFileSizeLimit(512 * 1024, [&]() -> std::string {
        ReadingListModel m;
        fillRows(m, 30000);
        const ExportResult r = exportSpreadsheet(m, path("data.xls"), hooks);
        if (r.ok || r.error.isEmpty() || statuses.contains("save excel file successfully"))
            return "claimed success";
        if (readAll(path("data.xls")) != "an older file" || filesIn(dir.path()) != QStringList{"data.xls"})
            return "left " + filesIn(dir.path()).join(' ').toStdString();
        return {};
    });
}

// A disk that fills as the file is packed: the failure in breezon's words,
// and nothing of libxlsxwriter's own on standard error.
TEST_F(SpreadsheetExport, AFullDiskIsToldInBreezonsWordsAlone)
{
    SmallDisk disk("512k");
    if (!disk.mounted)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    ASSERT_TRUE(writeFile(disk.path("data.xls"), "an older file"));
    const QString filler = disk.fill();
    ASSERT_TRUE(QFile::resize(filler, QFileInfo(filler).size() - 32 * 1024));
    ReadingListModel m;
    fillRows(m, 3000);
    const QString said = path("stderr");
    std::fflush(stderr);
    const int kept = ::dup(STDERR_FILENO);
    const int into = ::open(QFile::encodeName(said).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(into, STDERR_FILENO);
    const ExportResult r = exportSpreadsheet(m, disk.path("data.xls"), hooks);
    ::dup2(kept, STDERR_FILENO);
    ::close(into);
    ::close(kept);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(QStringLiteral("disk"))) << r.error.toStdString();
    EXPECT_EQ(readAll(said).toStdString(), "");
    EXPECT_EQ(readAll(disk.path("data.xls")), "an older file");
    EXPECT_EQ(filesIn(disk.dir.path()), (QStringList{"data.xls", "filler"}));
}

} // namespace
