// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One row as every output receives it: its number in the run, its full
// timestamp, the 16 stored frame bytes and the decoded reading. The list's
// cell texts are made from it by ReadingListModel::cellTextOf.

#include "Reading.h"
#include "ReadingListModel.h"
#include "Frame.h"
#include "Timestamp.h"

#include <array>

struct RowRecord {
    int seq = 0;
    Timestamp time;
    SampleFrame frame;
    Reading reading;
};

// The row's eight cells as the list shows them.
inline std::array<QString, ReadingListModel::kColumns> cellsOf(const RowRecord &row)
{
    std::array<QString, ReadingListModel::kColumns> cells;
    for (int c = 0; c < ReadingListModel::kColumns; ++c)
        cells[std::size_t(c)] = ReadingListModel::cellTextOf(row.seq, row.reading, row.time, c);
    return cells;
}
