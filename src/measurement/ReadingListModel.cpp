// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadingListModel.h"

#include "DisplayText.h"

static_assert(ReadingListModel::bytesPerRow() <= 64, "a row must stay compact");

const std::array<QString, ReadingListModel::kColumns> &ReadingListModel::headers()
{
    static const std::array<QString, kColumns> names = {
        QStringLiteral("No."),  QStringLiteral("Time"), QStringLiteral("Value"), QStringLiteral(" "),
        QStringLiteral("%RH"), QStringLiteral(" "),    QStringLiteral("Temp"),  QStringLiteral(" "),
    };
    return names;
}

ReadingListModel::ReadingListModel(QObject *parent) : QAbstractTableModel(parent) {}

ReadingListModel::~ReadingListModel() = default;

int ReadingListModel::addRow(const Reading &row, QTime timeOfDay)
{
    return addRow(row, Timestamp::ofTimeOfDay(timeOfDay.isValid() ? timeOfDay.msecsSinceStartOfDay() : 0));
}

int ReadingListModel::addRow(const Reading &row, const Timestamp &time, int seq)
{
    const int n = count_;
    if (!appending_)
        beginInsertRows(QModelIndex(), n, n);
    // Rows live in fixed chunks: appending never moves the rows already kept.
    if (n % kChunkRows == 0)
        chunks_.push_back(std::make_unique<Chunk>());
    (*chunks_[n / kChunkRows])[n % kChunkRows] = {row, time, seq < 0 ? n : seq};
    ++count_;
    if (!appending_) {
        endInsertRows();
        emit rowAdded(n);
    }
    return n;
}

void ReadingListModel::beginAppending()
{
    beginResetModel();
    appending_ = true;
}

void ReadingListModel::endAppending()
{
    appending_ = false;
    endResetModel();
}

int ReadingListModel::itemCount() const
{
    return count_;
}

const ReadingListModel::Stored &ReadingListModel::stored(int row) const
{
    return (*chunks_[row / kChunkRows])[row % kChunkRows];
}

const Reading &ReadingListModel::reading(int row) const
{
    static const Reading none{};
    if (row < 0 || row >= count_)
        return none;
    return stored(row).reading;
}

Timestamp ReadingListModel::timestamp(int row) const
{
    if (row < 0 || row >= count_)
        return {};
    return stored(row).time;
}

QString ReadingListModel::cellText(int row, int column) const
{
    if (row < 0 || row >= count_)
        return {};
    const Stored &s = stored(row);
    return cellTextOf(s.seq, s.reading, s.time, column);
}

QString ReadingListModel::cellTextOf(int seq, const Reading &r, const Timestamp &time, int column)
{
    switch (column) {
    case 0:
        return QString::number(seq);
    case 1: {
        const int second = time.secondOfDay();
        return timeText(second / 3600, second / 60 % 60, second % 60);
    }
    case 2:
        return valueText(r.mode, r.unit, r.value);
    case 3:
        return unitName(r.mode, r.unit);
    case 4:
        return humidityText(r.humidity);
    case 5:
        return markerText(r.marker);
    case 6:
        return temperatureText(r.temperature, r.fahrenheit);
    case 7:
        return temperatureUnitSign(r.fahrenheit);
    }
    return {};
}

void ReadingListModel::deleteAll()
{
    beginResetModel();
    chunks_.clear();
    count_ = 0;
    endResetModel();
}

int ReadingListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count_;
}

int ReadingListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant ReadingListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return cellText(index.row(), index.column());
}

QVariant ReadingListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The list has column headers only; rows carry their index in column 0.
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    return headers()[section];
}
