// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportTestSupport.h"
#include "SpreadsheetApp.h"
#include "ZipCheck.h"

#include <QFileInfo>

using namespace export_test;
using sheet::Range;

namespace {

TEST(SpreadsheetApp, NewWorkbookAndAddedSheets)
{
    sheet::Application app;
    sheet::Workbook &book = app.workbooks().add();
    sheet::Sheets &sheets = book.worksheets();
    ASSERT_EQ(sheets.count(), 1);
    EXPECT_EQ(sheets.item(1).name(), "Sheet1");

    // A new sheet goes before the active one and becomes active.
    sheet::Worksheet &second = sheets.add();
    sheet::Worksheet &third = sheets.add();
    ASSERT_EQ(sheets.count(), 3);
    EXPECT_EQ(&sheets.item(1), &third);
    EXPECT_EQ(&sheets.item(2), &second);
    EXPECT_EQ(sheets.item(3).name(), "Sheet1");
    EXPECT_EQ(second.name(), "Sheet2");
    EXPECT_EQ(sheets.active(), &third);
    EXPECT_THROW(sheets.item(4), sheet::Error);
}

TEST(SpreadsheetApp, SheetNames)
{
    sheet::Workbook book;
    sheet::Worksheet &ws = book.worksheets().add();
    ws.setName("KQ-VANE");
    EXPECT_EQ(ws.name(), "KQ-VANE");
    EXPECT_EQ(book.worksheets().find("kq-vane"), &ws);
    for (const QString &bad : QStringList{"", "sheet1", "a:b", "x/y", "[x]", "'quoted'", QString(32, u'n')}) {
        EXPECT_THROW(ws.setName(bad), sheet::Error) << qPrintable(bad);
        EXPECT_EQ(ws.name(), "KQ-VANE");
    }
}

TEST(SpreadsheetApp, CellReferences)
{
    int row = 0, column = 0;
    EXPECT_TRUE(sheet::parseCellReference("A2", row, column));
    EXPECT_EQ(row, 2);
    EXPECT_EQ(column, 1);
    EXPECT_TRUE(sheet::parseCellReference("h1000002", row, column));
    EXPECT_EQ(row, 1000002);
    EXPECT_EQ(column, 8);
    EXPECT_TRUE(sheet::parseCellReference("XFD1048576", row, column));
    EXPECT_EQ(column, 16384);
    EXPECT_TRUE(sheet::parseCellReference("$B$3", row, column));
    EXPECT_EQ(row, 3);
    EXPECT_EQ(column, 2);
    for (const char *bad : {"", "A", "2", "A0", "A01", "A1048577", "XFE1", "AAAA1", "2A", "A2:B3", "A 2"})
        EXPECT_FALSE(sheet::parseCellReference(bad, row, column)) << bad;
}

TEST(SpreadsheetApp, RangeCounts)
{
    sheet::Worksheet ws("S");
    const Range a = ws.range("A2", "A9");
    EXPECT_EQ(a.entireRow().count(), 8);
    EXPECT_EQ(a.entireColumn().count(), 1);
    EXPECT_EQ(a.count(), 8);
    const Range grid = ws.cells();
    EXPECT_EQ(grid.entireRow().count(), 1048576);
    EXPECT_EQ(grid.entireColumn().count(), 16384);
    EXPECT_EQ(grid.count(), std::int64_t(1) << 34);
    const Range backwards = ws.range("H9", "C2");
    EXPECT_EQ(backwards.top(), 2);
    EXPECT_EQ(backwards.left(), 3);
    EXPECT_EQ(backwards.bottom(), 9);
    EXPECT_EQ(backwards.right(), 8);
    EXPECT_THROW(ws.range("A2", "A1048577"), sheet::Error);
    EXPECT_THROW(ws.range("nonsense", "A1"), sheet::Error);
}

TEST(SpreadsheetApp, ItemsCountFromTheRangesCorner)
{
    sheet::Worksheet ws("S");
    Range r = ws.range("B3", "C4");
    r.setItem(1, 1, "x");
    r.setItem(2, 2, "y");
    r.setItem(5, 1, "below"); // Item may leave the range, not the grid
    EXPECT_EQ(ws.text(3, 2), "x");
    EXPECT_EQ(ws.text(4, 3), "y");
    EXPECT_EQ(ws.text(7, 2), "below");
    EXPECT_TRUE(ws.text(3, 3).isEmpty());
    EXPECT_THROW(r.setItem(1048576, 1, "x"), sheet::Error);
    EXPECT_THROW(r.setItem(1, 16384, "x"), sheet::Error);
    EXPECT_THROW(r.setItem(1, 1, QString(32768, u'a')), sheet::Error);
    EXPECT_EQ(ws.text(3, 2), "x");
}

TEST(SpreadsheetApp, TextsAreKeptExactly)
{
    sheet::Worksheet ws("S");
    Range column = ws.range("A1", "A1");
    const QString samples[] = {"No.", " ", "", QString(QChar(0x2103)), QString::fromUtf8("\xF0\x9F\x98\x80"), "12.34"};
    for (int i = 0; i < 6; ++i)
        column.setItem(i + 1, 1, samples[i]);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ws.text(i + 1, 1), samples[i]) << i;

    // Rewrites and writes out of order.
    column.setItem(2, 1, "again");
    column.setItem(20, 1, "twenty");
    column.setItem(10, 1, "ten");
    column.setItem(7, 1, "seven"); // directly after the run
    EXPECT_EQ(ws.text(2, 1), "again");
    EXPECT_EQ(ws.text(20, 1), "twenty");
    EXPECT_EQ(ws.text(10, 1), "ten");
    EXPECT_EQ(ws.text(7, 1), "seven");
    EXPECT_TRUE(ws.text(8, 1).isEmpty());

    std::vector<int> rows;
    QStringList texts;
    ws.forEachText(1, [&](int row, const char *utf8, std::size_t n) {
        rows.push_back(row);
        texts << QString::fromUtf8(utf8, qsizetype(n));
    });
    EXPECT_EQ(rows, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 10, 20}));
    EXPECT_EQ(texts[1], "again");
    EXPECT_EQ(texts[6], "seven");
}

TEST(SpreadsheetApp, NumberFormatsByRange)
{
    sheet::Worksheet ws("S");
    EXPECT_EQ(ws.numberFormat(1, 1), "General");
    ws.cells().setNumberFormat("@");
    ws.range("A2", "A5").setNumberFormat("0_ ");
    EXPECT_EQ(ws.numberFormat(1, 1), "@");
    EXPECT_EQ(ws.numberFormat(2, 1), "0_ ");
    EXPECT_EQ(ws.numberFormat(5, 1), "0_ ");
    EXPECT_EQ(ws.numberFormat(6, 1), "@");
    EXPECT_EQ(ws.numberFormat(2, 2), "@");
    EXPECT_EQ(ws.numberFormat(1048576, 16384), "@");
    // The whole grid is one entry, however many cells it covers.
    EXPECT_EQ(ws.formatRules().size(), 2u);

    // Cell after cell down a column stays one entry as well.
    for (int row = 10; row < 100000; ++row)
        ws.range("C" + QString::number(row), "C" + QString::number(row)).setNumberFormat("0.00");
    EXPECT_LE(ws.formatRules().size(), 3u);
    EXPECT_EQ(ws.numberFormat(50000, 3), "0.00");
    EXPECT_EQ(ws.numberFormat(9, 3), "@");

    // A later grid-wide format replaces everything under it.
    ws.cells().setNumberFormat("General");
    EXPECT_EQ(ws.formatRules().size(), 1u);
    EXPECT_EQ(ws.numberFormat(50000, 3), "General");
}

TEST(SpreadsheetApp, AutoFitTakesTheLongestText)
{
    sheet::Worksheet ws("S");
    ws.range("B1", "B1").setItem(1, 1, "Time");
    ws.range("B2", "B2").setItem(1, 1, "09:05:03");
    ws.range("H1", "H1").setItem(1, 1, QString(QChar(0x2103)));
    ws.range("J1", "J1").setItem(1, 1, "");
    ws.cells().entireColumn().autoFit();
    EXPECT_EQ(ws.columnWidth(2), 9.0);
    EXPECT_EQ(ws.columnWidth(8), 2.0); // one character, however many bytes
    EXPECT_EQ(ws.columnWidth(1), 0.0);
    EXPECT_EQ(ws.columnWidth(10), 0.0);
    EXPECT_THROW(ws.cells().autoFit(), sheet::Error);
    EXPECT_NO_THROW(ws.cells().entireRow().autoFit());
}

TEST(SpreadsheetApp, ClosedWorkbookAndQuit)
{
    sheet::Application app;
    sheet::Workbook &book = app.workbooks().add();
    book.close(false, {});
    EXPECT_TRUE(book.isClosed());
    EXPECT_EQ(book.worksheets().count(), 0);
    EXPECT_THROW(book.saveAs("/tmp/never.xls"), sheet::Error);
    app.quit();
    EXPECT_TRUE(app.hasQuit());
    EXPECT_EQ(app.workbooks().count(), 0);
}

class SaveAs : public ::testing::Test {
protected:
    QTemporaryDir dir;
    sheet::Workbook book;
    sheet::Worksheet &ws = book.worksheets().add();

    void SetUp() override
    {
        ws.setName("Data");
        ws.cells().setNumberFormat("@");
        for (int row = 1; row <= 50; ++row)
            ws.range("A1", "A1").setItem(row, 1, QString::number(row * row));
    }
};

TEST_F(SaveAs, WritesACompletePackageAndNothingElse)
{
    const QString path = dir.filePath("book.xls");
    book.saveAs(path);
    EXPECT_EQ(book.fullName(), path);
    EXPECT_EQ(filesIn(dir.path()), QStringList{"book.xls"});
    const ZipCheckResult check = checkZipPackage(path);
    EXPECT_TRUE(check.ok()) << qPrintable(check.problem);
    EXPECT_TRUE(check.sizes.count("xl/worksheets/sheet1.xml"));
    EXPECT_TRUE(check.sizes.count("xl/worksheets/sheet2.xml"));

    const QJsonObject wb = readWorkbook(path, 50);
    EXPECT_EQ(wb["sheets"].toArray(), QJsonArray({"Data", "Sheet1"}));
    EXPECT_EQ(wb["cells"].toArray()[49].toArray()[0].toObject()["value"].toString(), "2500");
}

TEST_F(SaveAs, FailuresLeaveNoFile)
{
    ASSERT_TRUE(writeFile(dir.filePath("plain"), "x"));
    for (const QString &path : {dir.filePath("plain/book.xls"), dir.filePath("missing/book.xls"), dir.path(),
                                QString()}) {
        try {
            book.saveAs(path);
            ADD_FAILURE() << "saved under " << qPrintable(path);
        } catch (const sheet::Error &e) {
            EXPECT_TRUE(e.message().startsWith("Cannot save")) << qPrintable(e.message());
        }
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{"plain"});
    EXPECT_TRUE(book.fullName().isEmpty());
    // A device is not replaced by a file.
    EXPECT_THROW(book.saveAs("/dev/null"), sheet::Error);
    EXPECT_FALSE(QFileInfo("/dev/null").isFile());
}

TEST_F(SaveAs, DamagedPackagesAreNoticed)
{
    const QString path = dir.filePath("book.xls");
    book.saveAs(path);
    const QByteArray whole = readAll(path);
    ASSERT_TRUE(checkZipPackage(path).ok());

    ASSERT_TRUE(writeFile(path, whole.left(whole.size() - 1)));
    EXPECT_FALSE(checkZipPackage(path).ok());
    ASSERT_TRUE(writeFile(path, whole.left(whole.size() / 2)));
    EXPECT_FALSE(checkZipPackage(path).ok());
    QByteArray flipped = whole;
    flipped[100] = char(flipped[100] ^ 0x40); // inside the first member's data
    ASSERT_TRUE(writeFile(path, flipped));
    EXPECT_FALSE(checkZipPackage(path).ok());
    ASSERT_TRUE(writeFile(path, QByteArray()));
    EXPECT_FALSE(checkZipPackage(path).ok());
    EXPECT_FALSE(checkZipPackage(dir.filePath("absent.xls")).ok());
}

} // namespace
