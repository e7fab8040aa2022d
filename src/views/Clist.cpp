// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clist.h"

#include "ControlIds.h"
#include "Fonts.h"

#include <QHeaderView>
#include <QTableView>
#include <QTimer>

namespace {

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
};

} // namespace

Clist::Clist(QWidget *parent) : QWidget(parent) {}

void Clist::initialUpdate(QSize client)
{
    table_ = new ListTable(this);
    table_->setObjectName(controlName(control_id::readingList));
    table_->setFont(makeFont(QStringLiteral("SimSun"), 13, 8));
    table_->setGeometry(0, 0, client.width(), client.height());
    table_->setModel(&model_);
    table_->setShowGrid(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Uniform row heights keep a list of a million rows cheap to scroll.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(table_->font()).height() + 4);
    // Scrolled by rows, the view works out the position of every row again
    // to scroll to the end after each append, a pass over the whole list;
    // scrolled by pixels it does not, so an append costs the same at any
    // length.
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
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
