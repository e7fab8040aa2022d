// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row as the sample table keeps it: plain data, made on the owner's thread
// from the row's fields (the shared vocabulary of RowFields), so the writer
// can run on a thread of its own without Qt. Also the row's checksum, which
// the reader recomputes from the columns it reads.

#include "RowRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The columns of a stored row as the checksum reads them: views into the
// row, or into the database's own buffers, so reading a million rows back
// copies no text to verify them.
struct StoredColumns {
    std::int64_t seq = 0;
    std::int64_t unixMs = 0;
    std::string_view time;
    const std::uint8_t *frame = nullptr; // SampleFrame::kSize bytes
    std::string_view mode;
    std::optional<double> value;
    std::optional<std::string_view> unit;
    double rh = 0;
    double temperature = 0;
    std::string_view temperatureUnit;
    std::optional<std::string_view> marker;
    std::string_view hold;
    double speed = 0;
    double area = 0;
    double temperatureC = 0;
    std::optional<double> flowM3h;
};

// CRC-32 of every column, in this order (docs/recording-file.md gives the
// byte form).
std::uint32_t checksumOf(const StoredColumns &row);

struct StoredRow {
    std::int64_t seq = 0;
    std::int64_t unixMs = 0;
    std::string time;
    std::array<std::uint8_t, SampleFrame::kSize> frame{};
    std::string mode;
    std::optional<double> value;
    std::optional<std::string> unit;
    double rh = 0;
    double temperature = 0;
    std::string temperatureUnit;
    std::optional<std::string> marker;
    std::string hold;
    double speed = 0;
    double area = 0;
    double temperatureC = 0;
    std::optional<double> flowM3h;

    std::uint32_t checksum() const;
};

StoredRow storedRow(const RowRecord &row);
