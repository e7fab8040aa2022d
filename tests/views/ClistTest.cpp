// SPDX-License-Identifier: GPL-3.0-or-later
// The reading list pane: columns, appending with the PC's time, following the
// newest row.
#include "Clist.h"
#include "ControlIds.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

Reading row(std::uint32_t humidity, std::int16_t temperature)
{
    Reading r;
    r.humidity = humidity;
    r.temperature = temperature;
    r.value = 123;
    r.mode = Quantity::speed;
    r.unit = 0;
    r.multiplier = 1;
    return r;
}

TEST(ListPane, ColumnsTakeTheirHeadersAndWidthsFromTheClientWidth)
{
    Clist list;
    list.initialUpdate({449, 480});
    QTableView *table = list.findChild<QTableView *>(controlName(control_id::readingList));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->geometry(), QRect(0, 0, 449, 480));
    EXPECT_TRUE(table->showGrid());
    EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
    const int W = 449;
    const int widths[] = {W / 8, W / 8 + 25, W / 8 + 10, W / 8, W / 8, W / 16, W / 8 + 1, W / 16 + 25};
    const char *headers[] = {"No.", "Time", "Value", " ", "%RH", " ", "Temp", " "};
    ASSERT_EQ(table->model()->columnCount(), 8);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(table->columnWidth(c), widths[c]) << c;
        EXPECT_EQ(table->model()->headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(headers[c])) << c;
    }
}

TEST(ListPane, RowsAreStampedWithThePcTimeAndTheListFollowsTheNewest)
{
    Clist list;
    list.initialUpdate({449, 200});
    list.show();
    const QTime before = QTime::currentTime();
    for (int i = 0; i < 200; ++i)
        list.addRow(row(456, -125));
    const QTime after = QTime::currentTime();

    ASSERT_EQ(list.itemCount(), 200);
    EXPECT_EQ(list.cellText(0, 0), QStringLiteral("0"));
    EXPECT_EQ(list.cellText(199, 0), QStringLiteral("199"));
    const QTime stamped = QTime::fromString(list.cellText(199, 1), QStringLiteral("hh:mm:ss"));
    ASSERT_TRUE(stamped.isValid()) << list.cellText(199, 1).toStdString();
    // Same second or between the two readings of the clock (midnight aside).
    if (before <= after)
        EXPECT_TRUE(stamped >= QTime(before.hour(), before.minute(), before.second()) && stamped <= after);
    EXPECT_EQ(list.cellText(5, 2), QStringLiteral("1.23"));
    EXPECT_EQ(list.cellText(5, 4), QStringLiteral("45.6"));
    EXPECT_EQ(list.cellText(5, 6), QStringLiteral("-12.5"));

    QScrollBar *bar = list.table()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    // Scrolled up by the user, the next row brings the view back down.
    bar->setValue(0);
    list.addRow(row(0, 0));
    EXPECT_EQ(bar->value(), bar->maximum());

    list.deleteAll();
    EXPECT_EQ(list.itemCount(), 0);
    list.addRow(row(0, 0));
    EXPECT_EQ(list.cellText(0, 0), QStringLiteral("0"));
    EXPECT_EQ(list.cellText(0, 4), QStringLiteral("0.0"));
}

// A row is as high as a report view makes it for the list's font: its cell
// (13) and a pixel. The list scrolls by whole rows: at the end the last row
// is whole and so is the top one, and the wheel, even a touchpad's small
// step, moves by rows.
TEST(ListPane, RowsAreTheFontsCellAndAPixelHighAndScrollWhole)
{
    Clist list;
    list.initialUpdate({449, 200});
    list.show();
    for (int i = 0; i < 100; ++i)
        list.addRow(row(400, 200));
    QTableView *table = list.table();
    EXPECT_EQ(table->rowHeight(0), 14);
    QScrollBar *bar = table->verticalScrollBar();
    const QRect last = table->visualRect(table->model()->index(99, 0));
    EXPECT_LE(last.bottom(), table->viewport()->height() - 1);
    EXPECT_EQ(bar->value() % 14, 0);
    const QPoint at = table->viewport()->rect().center();
    const struct {
        int delta, rowsUp;
    } wheels[] = {{120, 3}, {15, 1}, {-15, -1}, {-120, -3}};
    for (const auto &w : wheels) {
        const int before = bar->value();
        QWheelEvent wheel(at, table->viewport()->mapToGlobal(at), QPoint(), QPoint(0, w.delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(table->viewport(), &wheel);
        EXPECT_EQ(before - bar->value(), w.rowsUp * 14) << w.delta;
    }
}

// Rows are appended by repainting only the new one over the scrolled
// picture; what is on screen must still be the list as a fresh paint draws
// it: while it fills, when it starts to scroll, and long after.
TEST(ListPane, AppendedRowsLookAsTheListPaintedAfresh)
{
    Clist list;
    list.initialUpdate({449, 200});
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QWidget *viewport = list.table()->viewport();
    const QPoint at = viewport->mapTo(&list, QPoint(0, 0));
    auto appendAndCompare = [&](int i) {
        list.addRow(row(std::uint32_t(400 + i), std::int16_t(i * 7)));
        QCoreApplication::processEvents();
        const QImage shown = QGuiApplication::primaryScreen()
                                 ->grabWindow(list.winId(), at.x(), at.y(), viewport->width(), viewport->height())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        const QImage fresh = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return shown == fresh;
    };
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(appendAndCompare(i)) << "after row " << i;
    // RESET, and the list fills again from the top.
    list.deleteAll();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(appendAndCompare(i)) << "after row " << i << " past the reset";
}

} // namespace
