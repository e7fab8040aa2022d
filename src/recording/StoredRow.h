// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row as the sample table keeps it, and its checksum. Two forms of one
// shape: StoredRow owns its texts (made on the owner's thread from the row's
// fields, the shared vocabulary of RowFields, and written by a thread
// without Qt); StoredColumns views the database's own buffers, so a million
// rows read back are verified without copying their texts.

#include "RowRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

template <class Text>
struct BasicStoredRow {
    std::int64_t seq = 0;
    std::int64_t unixMs = 0;
    Text time;
    std::array<std::uint8_t, SampleFrame::kSize> frame{};
    Text mode;
    std::optional<double> value;
    std::optional<Text> unit;
    double rh = 0;
    double temperature = 0;
    Text temperatureUnit;
    std::optional<Text> marker;
    Text hold;
    double speed = 0;
    double area = 0;
    double temperatureC = 0;
    std::optional<double> flowM3h;

    // CRC-32 of every column above, in this order (docs/recording-file.md
    // gives the byte form).
    std::uint32_t checksum() const;
};

using StoredRow = BasicStoredRow<std::string>;
using StoredColumns = BasicStoredRow<std::string_view>;

extern template struct BasicStoredRow<std::string>;
extern template struct BasicStoredRow<std::string_view>;

StoredRow storedRow(const RowRecord &row);
