// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingListModel.h"

#include <gtest/gtest.h>
#include <malloc.h>

namespace {

Reading windRow(std::uint32_t value, std::uint32_t humidity, std::int16_t temperature)
{
    Reading r;
    r.mode = Quantity::speed;
    r.unit = 0;
    r.value = value;
    r.humidity = humidity;
    r.temperature = temperature;
    return r;
}

QStringList rowTexts(const ReadingListModel &m, int row)
{
    QStringList t;
    for (int c = 0; c < ReadingListModel::kColumns; ++c)
        t << m.cellText(row, c);
    return t;
}

TEST(ReadingList, HeadersAndColumns)
{
    ReadingListModel m;
    EXPECT_EQ(m.columnCount(), 8);
    const QStringList expected = {"No.", "Time", "Value", " ", "%RH", " ", "Temp", " "};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(ReadingListModel::headers()[std::size_t(c)], expected[c]);
        EXPECT_EQ(m.headerData(c, Qt::Horizontal).toString(), expected[c]);
    }
    EXPECT_FALSE(m.headerData(0, Qt::Vertical).isValid());
}

TEST(ReadingList, RowTexts)
{
    ReadingListModel m;
    m.addRow(windRow(123, 456, 235), QTime(10, 5, 7));
    EXPECT_EQ(rowTexts(m, 0), QStringList({"0", "10:05:07", "1.23", "m/s", "45.6", "", "23.5", QString(QChar(0x2103))}));

    Reading f;
    f.mode = Quantity::flow;
    f.unit = 1;
    f.value = 5;
    f.temperature = -125;
    f.fahrenheit = 1;
    f.marker = Marker::wetBulb;
    m.addRow(f, QTime(9, 5, 3));
    EXPECT_EQ(rowTexts(m, 1), QStringList({"1", "09:05:03", "0.05", "CMS", "0.0", "WB", "9.5", QString(QChar(0x2109))}));
}

TEST(ReadingList, FieldRulesOfTheCells)
{
    ReadingListModel m;
    Reading r = windRow(1234, 0, 235);
    r.unit = 3;
    r.fahrenheit = 1;
    m.addRow(r, QTime(0, 0, 0));
    EXPECT_EQ(m.cellText(0, 1), "00:00:00");
    EXPECT_EQ(m.cellText(0, 2), "1234");
    EXPECT_EQ(m.cellText(0, 3), "ft/m");
    EXPECT_EQ(m.cellText(0, 6), "74.3");

    r = windRow(0, 0, -125);
    m.addRow(r, QTime(12, 0, 0));
    EXPECT_EQ(m.cellText(1, 6), "-12.5");
    EXPECT_EQ(m.cellText(1, 7), QString(QChar(0x2103)));
    EXPECT_TRUE(m.cellText(1, 5).isEmpty());

    // No quantity: value and unit stay empty, the rest is filled.
    r = windRow(1234, 456, 235);
    r.mode = Quantity::none;
    m.addRow(r, QTime(23, 59, 59));
    EXPECT_EQ(rowTexts(m, 2), QStringList({"2", "23:59:59", "", "", "45.6", "", "23.5", QString(QChar(0x2103))}));

    // A unit beyond the table: nothing read out of it.
    r.mode = Quantity::flow;
    r.unit = 5;
    m.addRow(r, QTime(1, 2, 3));
    EXPECT_TRUE(m.cellText(3, 2).isEmpty());
    EXPECT_TRUE(m.cellText(3, 3).isEmpty());
}

TEST(ReadingList, NumberingSignalsAndDeleteAll)
{
    ReadingListModel m;
    std::vector<int> added;
    int inserted = 0, resets = 0;
    QObject::connect(&m, &ReadingListModel::rowAdded, [&](int row) { added.push_back(row); });
    QObject::connect(&m, &QAbstractItemModel::rowsInserted, [&](const QModelIndex &, int first, int last) {
        EXPECT_EQ(first, last);
        EXPECT_EQ(first, m.itemCount() - 1); // the row is there when the view hears of it
        ++inserted;
    });
    QObject::connect(&m, &QAbstractItemModel::modelReset, [&] { ++resets; });

    for (int i = 0; i < 5000; ++i) // crosses a storage chunk
        EXPECT_EQ(m.addRow(windRow(std::uint32_t(i), 0, 0), QTime(8, 0, 0)), i);
    EXPECT_EQ(m.itemCount(), 5000);
    EXPECT_EQ(m.rowCount(), 5000);
    EXPECT_EQ(inserted, 5000);
    ASSERT_EQ(added.size(), 5000u);
    EXPECT_EQ(added.back(), 4999);
    EXPECT_EQ(m.cellText(4999, 0), "4999");
    EXPECT_EQ(m.cellText(4097, 2), "40.97");
    EXPECT_EQ(m.reading(4100).value, 4100u);
    EXPECT_EQ(m.data(m.index(4096, 2)).toString(), "40.96");
    EXPECT_FALSE(m.data(m.index(1, 2), Qt::EditRole).isValid());
    EXPECT_TRUE(m.cellText(5000, 0).isEmpty());
    EXPECT_TRUE(m.cellText(0, 8).isEmpty());

    m.deleteAll();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(m.itemCount(), 0);
    EXPECT_TRUE(m.cellText(0, 0).isEmpty());
    EXPECT_EQ(m.addRow(windRow(1, 0, 0), QTime(8, 0, 1)), 0);
    EXPECT_EQ(m.cellText(0, 0), "0");
}

std::size_t heapInUse()
{
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

TEST(ReadingList, KeepsEachRowInAtMost64Bytes)
{
    ReadingListModel m;
    const std::size_t before = heapInUse();
    constexpr int kRows = 200000;
    for (int i = 0; i < kRows; ++i)
        m.addRow(windRow(std::uint32_t(i), 1, 2), QTime(1, 2, 3));
    const std::size_t after = heapInUse();
    EXPECT_LE((after - before) / kRows, 64u);
    EXPECT_EQ(m.cellText(kRows - 1, 0), QString::number(kRows - 1));
}

} // namespace
