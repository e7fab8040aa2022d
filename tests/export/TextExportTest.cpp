// SPDX-License-Identifier: GPL-3.0-or-later
#include "BmpFile.h"
#include "ExportTestSupport.h"
#include "TextExport.h"

#include <QFileInfo>

using namespace export_test;

namespace {

QString spaces(int n) { return QString(n, u' '); }

ReadingListModel &exampleList(ReadingListModel &m)
{
    m.addRow(reading(Quantity::speed, 0, 123, 456, 235), QTime(10, 5, 7));
    return m;
}

TEST(TextLine, ExampleRow)
{
    ReadingListModel m;
    exampleList(m);
    const QString expected = "0" + spaces(8) + "10:05:07" + spaces(8) + "1.23" + spaces(6) + "m/s" + spaces(7) +
                             "45.6" + spaces(6) + spaces(10) + "23.5" + spaces(6) + QChar(0x2103) + spaces(9) + "\r\n";
    const QString line = textLine(m, 0);
    EXPECT_EQ(line, expected);
    EXPECT_EQ(line.size(), 87);

    const QByteArray bytes = textLineBytes(line);
    ASSERT_EQ(bytes.size(), 174);
    EXPECT_EQ(bytes.left(2), QByteArray("0\0", 2));
    const int sign = 2 * (1 + 8 + 8 + 8 + 5 * 10); // the unit sign's code unit
    EXPECT_EQ(quint8(bytes[sign]), 0x03);
    EXPECT_EQ(quint8(bytes[sign + 1]), 0x21);
    EXPECT_EQ(bytes.right(4), QByteArray("\r\0\n\0", 4));
}

TEST(TextLine, PaddingOfTheCells)
{
    const QString ten = "0123456789", eleven = "0123456789A";
    const QString line = textLineOfCells({"12345", "a very long time", ten, eleven, "", "x", "", QString(QChar(0x2109))});
    EXPECT_EQ(line, "12345" + spaces(8) + "a very long time" + spaces(8) + ten + eleven + "\t" + spaces(10) + "x" +
                        spaces(9) + spaces(10) + QChar(0x2109) + spaces(9) + "\r\n");
    // All empty: the first two cells still get their 8 spaces.
    EXPECT_EQ(textLineOfCells({}), spaces(16) + spaces(60) + "\r\n");
}

TEST(TextLine, LongRowIndexKeepsItsEightSpaces)
{
    ReadingListModel m;
    for (int i = 0; i < 12346; ++i)
        m.addRow(reading(Quantity::none, 0, 0, 0, 0), QTime(0, 0, 0));
    EXPECT_TRUE(textLine(m, 12345).startsWith("12345" + spaces(8) + "00:00:00" + spaces(8) + spaces(20) + "0.0"));
}

class TextFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
};

TEST_F(TextFile, HoldsEveryLineInOrder)
{
    ReadingListModel m;
    fillRows(m, 20000); // several buffers' worth
    ASSERT_TRUE(writeTextFile(path("data.txt"), m).ok);
    QByteArray expected;
    for (int i = 0; i < m.itemCount(); ++i)
        expected += textLineBytes(textLine(m, i));
    EXPECT_EQ(readAll(path("data.txt")), expected);
}

TEST_F(TextFile, EmptyListGivesAnEmptyFile)
{
    ReadingListModel m;
    const ExportResult r = writeTextFile(path("empty.txt"), m);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.error.isEmpty());
    const QFileInfo info(path("empty.txt"));
    EXPECT_TRUE(info.exists());
    EXPECT_EQ(info.size(), 0);
}

TEST_F(TextFile, ReplacesAnExistingFile)
{
    ASSERT_TRUE(writeFile(path("old.txt"), QByteArray(10000, 'x')));
    ReadingListModel m;
    exampleList(m);
    ASSERT_TRUE(writeTextFile(path("old.txt"), m).ok);
    EXPECT_EQ(readAll(path("old.txt")), textLineBytes(textLine(m, 0)));
}

TEST_F(TextFile, ReportsAFullDisk)
{
    ReadingListModel m;
    exampleList(m);
    const ExportResult r = writeTextFile("/dev/full", m);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "No space left on device");
}

// A write that stops part way (the file-size limit) is a failure, for the
// graph image too, and no partial file is left behind.
TEST_F(TextFile, AndTheGraphImageFailOnADiskThatFillsUpAndLeaveNothing)
{
    ReadingListModel m;
    fillRows(m, 20000); // 3.4 MB
    const QByteArray image(1 << 20, 'x');
    expectUnderFileSizeLimit(512 * 1024, [&]() -> std::string {
        for (const ExportResult &r : {writeTextFile(path("data.txt"), m), writeWholeFile(path("graph.bmp"), image)})
            if (r.ok || r.error != "File too large")
                return "claimed success, or no reason: " + r.error.toStdString();
        return filesIn(dir.path()).isEmpty() ? std::string() : "left " + filesIn(dir.path()).join(' ').toStdString();
    });
}

TEST_F(TextFile, ReportsAPathThatCannotBeCreated)
{
    ASSERT_TRUE(writeFile(path("plain"), "not a folder"));
    ReadingListModel m;
    exampleList(m);
    ExportResult r = writeTextFile(path("plain/data.txt"), m);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Not a directory");

    r = writeTextFile(dir.path(), m);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Is a directory");

    r = writeTextFile(path("missing/data.txt"), m);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "No such file or directory");
    EXPECT_EQ(readAll(path("plain")), "not a folder");
}

} // namespace
