// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of the reading list: each kept compactly as its Reading and
// full timestamp, with the cell texts made on demand. The window shows it in a
// table view; the headless recorder uses it alone. Its public face for the
// exports and RESET is itemCount(), cellText() and deleteAll().

#include "Reading.h"
#include "Timestamp.h"

#include <QAbstractTableModel>
#include <QTime>

#include <array>
#include <memory>
#include <vector>

class ReadingListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 8;
    // "No." "Time" "Value" " " "%RH" " " "Temp" " "
    static const std::array<QString, kColumns> &headers();

    explicit ReadingListModel(QObject *parent = nullptr);
    ~ReadingListModel() override;

    // Appends a row stamped with `time` (the PC's clock when the row is
    // added) and numbered `seq` (its number in its recording; its index
    // when negative); returns its index.
    int addRow(const Reading &row, const Timestamp &time, int seq = -1);
    // The same with only a time of day (kept on 1970-01-01, UTC).
    int addRow(const Reading &row, QTime timeOfDay);

    // Rows added between these two reach the views as one change (a reopened
    // recording of a million rows) rather than one each, and rowAdded() is
    // not emitted for them.
    void beginAppending();
    void endAppending();
    bool appending() const { return appending_; }

    int itemCount() const;
    QString cellText(int row, int column) const;
    void deleteAll();

    const Reading &reading(int row) const;
    Timestamp timestamp(int row) const;

    // The text of `column` for a row numbered `seq`: the one rule by which
    // the list, the exports and every output of a row make its cells.
    static QString cellTextOf(int seq, const Reading &r, const Timestamp &time, int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Memory held per row, for the benchmark.
    static constexpr std::size_t bytesPerRow();

signals:
    // Emitted after every addRow, with the new row's index.
    void rowAdded(int row);

private:
    struct Stored {
        Reading reading;
        Timestamp time;
        int seq;
    };
    static constexpr int kChunkRows = 4096;
    using Chunk = std::array<Stored, kChunkRows>;
    const Stored &stored(int row) const;

    std::vector<std::unique_ptr<Chunk>> chunks_;
    int count_ = 0;
    bool appending_ = false;
};

constexpr std::size_t ReadingListModel::bytesPerRow() { return sizeof(Stored); }
