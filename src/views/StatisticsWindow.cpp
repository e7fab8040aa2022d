// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatisticsWindow.h"

#include "Cwave.h"
#include "FunctionSink.h"
#include "GraphMath.h"
#include "ReadingListModel.h"
#include "SampleStore.h"
#include "StatisticsText.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kRefreshMs = 250;

QString section(const QString &title, const RunStatistics &stats)
{
    QString out = title + QStringLiteral(": ") + statisticsHeading(stats) + QLatin1Char('\n');
    if (stats.rows() > 0)
        out += statisticsTable(stats);
    return out;
}

} // namespace

struct StatisticsWindow::Counted {
    RunStatistics stats;
    std::uint64_t changes = 0;
};

StatisticsWindow::StatisticsWindow(Cwave &wave, const ReadingListModel &rows, QWidget *parent)
    : QDialog(parent), wave_(wave), rows_(rows), counted_(std::make_shared<Counted>())
{
    setObjectName(QStringLiteral("statistics"));
    setWindowTitle(QStringLiteral("Statistics"));
    setModal(false);
    wave.session().addSink(std::make_unique<FunctionSink>(
        QStringLiteral("statistics"), [counted = counted_](const RowRecord &row, bool) {
            counted->stats.add(row);
            ++counted->changes;
        }));
    connect(&wave, &Cwave::recordingReset, this, [counted = counted_] {
        counted->stats.clear();
        ++counted->changes;
    });

    view_ = new QPlainTextEdit(this);
    view_->setObjectName(QStringLiteral("statisticsText"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *copyButton = new QPushButton(QStringLiteral("Copy"), this);
    copyButton->setObjectName(QStringLiteral("copy"));
    copyButton->setAutoDefault(false);
    connect(copyButton, &QPushButton::clicked, this, &StatisticsWindow::copy);
    auto *closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copyButton);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
    const QFontMetrics metrics(view_->font());
    resize(metrics.horizontalAdvance(QString(84, QLatin1Char('0'))), metrics.lineSpacing() * 24);

    refresher_ = new QTimer(this);
    connect(refresher_, &QTimer::timeout, this, &StatisticsWindow::refresh);
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::present()
{
    show();
    raise();
    activateWindow();
}

const RunStatistics &StatisticsWindow::whole() const { return counted_->stats; }

RunStatistics StatisticsWindow::page() const
{
    RunStatistics stats;
    const PageState &pages = wave_.pages();
    if (pages.currentPage == 0)
        return stats;
    // The page counts the store's samples, which start again at 0 when a
    // run outgrows the store: the page's rows are the newest with those
    // numbers.
    const std::int64_t count = rows_.itemCount();
    std::int64_t first = pageStartSample(pages);
    if (first < count)
        first += (count - 1 - first) / SampleStore::kSlots * std::int64_t(SampleStore::kSlots);
    const std::int64_t end = std::min<std::int64_t>(count, first + kSamplesPerPage);
    for (std::int64_t r = first; r < end; ++r)
        stats.add(rows_.reading(int(r)), rows_.timestamp(int(r)));
    return stats;
}

QString StatisticsWindow::text() const
{
    const PageState &pages = wave_.pages();
    QString out = section(QStringLiteral("Whole recording"), whole());
    if (pages.currentPage > 0)
        out += QLatin1Char('\n') + section(QStringLiteral("Page ") + pageText(pages), page());
    return out;
}

void StatisticsWindow::refresh()
{
    const PageState &pages = wave_.pages();
    const QString key = QStringLiteral("%1 %2 %3 %4")
                            .arg(counted_->changes)
                            .arg(pages.currentPage)
                            .arg(pages.pageCount)
                            .arg(rows_.itemCount());
    if (key == shownKey_)
        return;
    shownKey_ = key;
    view_->setPlainText(text());
}

void StatisticsWindow::copy() { QGuiApplication::clipboard()->setText(text()); }

void StatisticsWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    shownKey_.clear();
    refresh();
    refresher_->start(kRefreshMs);
}

void StatisticsWindow::hideEvent(QHideEvent *event)
{
    refresher_->stop();
    QDialog::hideEvent(event);
}
