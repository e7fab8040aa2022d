// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clist.h"

#include "ControlIds.h"
#include "Fonts.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace {

// The list's font: SimSun with a cell 13 pixels high, 8 wide.
constexpr int kFontHeight = 13;
constexpr int kFontWidth = 8;
// A report-view list control makes every row as high as its font's cell
// (the text-metric height, ascent plus descent) and one pixel more, with
// grid lines or without: they are drawn within the row. The cell is the
// height the font was asked for, not its stand-in's taller line.
constexpr int kRowHeight = kFontHeight + 1;

// The list's table. Rows are only ever appended at the bottom (RESET empties
// the model at once). After an append the rows in view have only moved up,
// and scrolling to the end moves their pixels, yet a table view lays itself
// out afresh and repaints every visible row, for every sample. Here the
// layout of an append only updates the scroll range, and the new row alone
// is repainted.
class ListTable : public QTableView {
public:
    using QTableView::QTableView;

    void appendRow(ReadingListModel &model, const Reading &row, const Timestamp &time, int seq)
    {
        const int before = model.itemCount();
        // Only when the view last laid out exactly the rows before this one:
        // anything else (a reset, say) gets the full layout.
        appending_ = before == laidOutRows_;
        model.addRow(row, time, seq);
        scrollToBottom();
        appending_ = false;
        laidOutRows_ = model.itemCount();
        // The new row is the last one. Its place comes from the list's
        // length: asking for a row's position makes the header work out the
        // positions of all rows again, which costs as much as the list is long.
        const int height = rowHeight(before);
        const int top = verticalHeader()->length() - height - verticalHeader()->offset();
        viewport()->update(QRect(0, top, viewport()->width(), height));
    }

    // Scrolled as a report view scrolls, by whole rows: the top row is
    // always whole, and at the end the last row is whole, with the room of
    // a part row left empty below it. The range ends on a row, and a value
    // between rows (a touchpad's small steps, a dragged thumb) goes on to
    // the next row in the direction it moved.
    void updateGeometries() override
    {
        QTableView::updateGeometries();
        QScrollBar *bar = verticalScrollBar();
        bar->setRange(0, (bar->maximum() + kRowHeight - 1) / kRowHeight * kRowHeight);
        bar->setSingleStep(kRowHeight);
        bar->setPageStep(std::max(kRowHeight, viewport()->height() / kRowHeight * kRowHeight));
    }

    void snapToRow(int value)
    {
        if (value % kRowHeight != 0) {
            const int row = value / kRowHeight + (value > top_ ? 1 : 0);
            verticalScrollBar()->setValue(std::min(row * kRowHeight, verticalScrollBar()->maximum()));
            return;
        }
        top_ = value;
    }

    void doItemsLayout() override
    {
        if (appending_) {
            updateGeometries();
            return;
        }
        QTableView::doItemsLayout();
        laidOutRows_ = model() ? model()->rowCount() : 0;
    }

private:
    bool appending_ = false;
    int laidOutRows_ = -1;
    int top_ = 0; // the scroll value last on a row
};

} // namespace

Clist::Clist(QWidget *parent) : QWidget(parent) {}

void Clist::initialUpdate(QSize client)
{
    auto *table = new ListTable(this);
    table_ = table;
    table_->setObjectName(controlName(control_id::readingList));
    table_->setFont(makeFont(QStringLiteral("SimSun"), kFontHeight, kFontWidth));
    table_->setGeometry(0, 0, client.width(), client.height());
    table_->setModel(&model_);
    table_->setShowGrid(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Uniform row heights keep a list of a million rows cheap to scroll.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    table_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    // Scrolled by rows, the view works out the position of every row again
    // to scroll to the end after each append, a pass over the whole list;
    // scrolled by pixels it does not, so an append costs the same at any
    // length.
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(table_->verticalScrollBar(), &QScrollBar::valueChanged, table, &ListTable::snapToRow);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->horizontalHeader()->setStretchLastSection(false);

    const int W = client.width();
    const int widths[ReadingListModel::kColumns] = {W / 8,  W / 8 + 25, W / 8 + 10, W / 8,
                                                    W / 8,  W / 16,     W / 8 + 1,  W / 16 + 25};
    for (int c = 0; c < ReadingListModel::kColumns; ++c)
        table_->setColumnWidth(c, widths[c]);
    table_->show();

    // One repaint shortly after the build, as the list settles.
    QTimer::singleShot(200, this, [this] { update(); });
}

void Clist::endAppending()
{
    model_.endAppending();
    if (table_)
        table_->scrollToBottom();
}

void Clist::addRow(const Reading &row, const Timestamp &time, int seq)
{
    if (table_ && !model_.appending())
        static_cast<ListTable *>(table_)->appendRow(model_, row, time, seq);
    else
        model_.addRow(row, time, seq);
}
