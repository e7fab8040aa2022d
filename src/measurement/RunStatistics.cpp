// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunStatistics.h"

#include "DisplayText.h"
#include "RowFields.h"

#include <algorithm>
#include <cmath>

void Accumulator::add(double x)
{
    ++count;
    if (count == 1) {
        min = max = mean = x;
        m2 = 0;
        return;
    }
    min = std::min(min, x);
    max = std::max(max, x);
    const double delta = x - mean;
    mean += delta / double(count);
    m2 += delta * (x - mean);
}

double Accumulator::sd() const { return count > 0 ? std::sqrt(std::max(0.0, m2) / double(count)) : 0.0; }

namespace {

// The numbers as the list and the recording file show them, without making
// their texts (a row's statistics cost a fraction of a microsecond). The
// divisors match the decimals shown, so dividing gives the shown number.
std::optional<double> shownValue(const Reading &r)
{
    if (const std::uint8_t divisor = valueDivisor(r.mode, r.unit))
        return double(r.value) / divisor;
    return std::nullopt;
}

double shownTemperature(const Reading &r)
{
    if (!r.fahrenheit)
        return r.temperature / 10.0;
    // Tenths of °F are (18 t + 3200) / 10 for t tenths of °C: never a half,
    // so rounding that exactly is rounding the shown one-decimal text.
    return std::round((18.0 * r.temperature + 3200.0) / 10.0) / 10.0;
}

} // namespace

int RunStatistics::valueSlot(Quantity mode, int unit, int hold)
{
    return ((mode == Quantity::flow ? 1 : 0) * kUnitSlots + unit) * kHolds + hold;
}

void RunStatistics::add(const Reading &r, const Timestamp &time)
{
    if (rows_ == 0)
        first_ = time;
    last_ = time;
    ++rows_;
    const int hold = int(r.hold);
    if (const std::optional<double> value = shownValue(r))
        value_[valueSlot(r.mode, r.unit, hold)].add(*value);
    speed_[hold].add(r.speed / 100.0);
    if (const std::optional<double> flow = flowM3hOf(r))
        flow_[hold].add(*flow);
    temperature_[(r.fahrenheit ? kMarkers : 0) + int(r.marker)].add(shownTemperature(r));
    rh_.add(r.humidity / 10.0);
}

std::optional<Timestamp> RunStatistics::first() const
{
    return rows_ > 0 ? std::optional(first_) : std::nullopt;
}

std::optional<Timestamp> RunStatistics::last() const
{
    return rows_ > 0 ? std::optional(last_) : std::nullopt;
}

double RunStatistics::durationSeconds() const { return rows_ > 0 ? (last_.unixMs - first_.unixMs) / 1000.0 : 0.0; }

std::vector<StatGroup> RunStatistics::groups() const
{
    std::vector<StatGroup> out;
    const auto put = [&](const Accumulator &a, StatGroup g) {
        if (a.count > 0) {
            g.numbers = a;
            out.push_back(g);
        }
    };
    for (const Quantity mode : {Quantity::speed, Quantity::flow})
        for (int unit = 0; unit < kUnitSlots; ++unit)
            for (int hold = 0; hold < kHolds; ++hold)
                put(value_[valueSlot(mode, unit, hold)],
                    {StatField::value, mode, std::uint8_t(unit), Hold(hold), Marker::none, {}});
    for (int hold = 0; hold < kHolds; ++hold)
        put(speed_[hold], {StatField::speed, Quantity::none, 0, Hold(hold), Marker::none, {}});
    for (int hold = 0; hold < kHolds; ++hold)
        put(flow_[hold], {StatField::flowM3h, Quantity::none, 0, Hold(hold), Marker::none, {}});
    for (int f = 0; f < 2; ++f)
        for (int marker = 0; marker < kMarkers; ++marker)
            put(temperature_[f * kMarkers + marker],
                {StatField::temperature, Quantity::none, std::uint8_t(f), Hold::current, Marker(marker), {}});
    put(rh_, {StatField::rh, Quantity::none, 0, Hold::current, Marker::none, {}});
    return out;
}
