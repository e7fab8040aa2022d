// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The numbers a technician reports from a run: per quantity and unit the
// count, lowest, highest, mean and standard deviation of the rows, and the
// run's first and last time. Constant memory and constant time per row
// (Welford's method, numerically stable), so a live run of weeks and a
// reopened million rows cost the same per row. No widget: the window, the
// recorder and the benchmarks share it.
//
// The numbers are the ones every output shows for a row (the value rounded
// as the list shows it, the flow in m³/h as the recording file keeps it), so
// a query over the recording file gives the very same statistics. Rows are
// kept apart where averaging them together would mislead: a held maximum or
// minimum from live readings, a dew point or wet bulb from the temperature,
// one unit from another.
//
// The standard deviation is the population's (divided by the count, not by
// one less): it describes the rows of the run, and is 0 for a single row.

#include "Reading.h"
#include "RowRecord.h"
#include "Timestamp.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Count, extremes, mean and spread of a stream of numbers.
struct Accumulator {
    std::int64_t count = 0;
    double min = 0, max = 0, mean = 0;
    double m2 = 0; // sum of squared differences from the mean

    void add(double x);
    double sd() const; // population standard deviation; 0 without rows
};

// The quantities counted, under their names in the recording file.
enum class StatField : std::uint8_t { value, speed, flowM3h, temperature, rh };

// One line of the statistics: which rows it counts, and their numbers.
struct StatGroup {
    StatField field = StatField::value;
    Quantity mode = Quantity::none; // value: the quantity shown
    std::uint8_t unit = 0;          // value: the unit index; temperature: 1 for °F
    Hold hold = Hold::current;      // value, speed, flow
    Marker marker = Marker::none;   // temperature
    Accumulator numbers;
};

class RunStatistics {
public:
    void add(const Reading &reading, const Timestamp &time);
    void add(const RowRecord &row) { add(row.reading, row.time); }
    void clear() { *this = RunStatistics(); }

    std::int64_t rows() const { return rows_; }
    std::optional<Timestamp> first() const;
    std::optional<Timestamp> last() const;
    // From the first row's time to the last's; 0 without rows.
    double durationSeconds() const;
    // Every line that counted a row, in a fixed order: the value by mode,
    // unit and hold, then speed and flow by hold, temperature by unit and
    // marker, humidity.
    std::vector<StatGroup> groups() const;

private:
    static constexpr int kHolds = 3, kMarkers = 3, kUnitSlots = 8;
    static int valueSlot(Quantity mode, int unit, int hold);
    std::int64_t rows_ = 0;
    Timestamp first_, last_;
    std::array<Accumulator, 2 * kUnitSlots * kHolds> value_{}; // [mode][unit][hold]
    std::array<Accumulator, kHolds> speed_{}, flow_{};
    std::array<Accumulator, 2 * kMarkers> temperature_{}; // [°F][marker]
    Accumulator rh_;
};
