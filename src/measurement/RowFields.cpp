// SPDX-License-Identifier: GPL-3.0-or-later
#include "RowFields.h"

#include "DisplayText.h"

#include <cmath>

namespace {

// m³/h in one unit of each flow unit the instrument shows (CMM, CMS, CFM).
double cubicMetresPerHour(std::uint8_t flowUnit)
{
    constexpr double perUnit[kFlowUnits] = {60.0, 3600.0, 0.028316846592 * 60.0};
    return flowUnit < kFlowUnits ? perUnit[flowUnit] : 0.0;
}

} // namespace

std::optional<double> flowM3hOf(const Reading &r)
{
    if (r.mode != Quantity::flow || !unitKnown(r.mode, r.unit))
        return std::nullopt;
    // The value as the list shows it (its divisor matches its decimals).
    const double shown = double(r.value) / valueDivisor(r.mode, r.unit);
    return std::round(shown * cubicMetresPerHour(r.unit) * 1000.0) / 1000.0;
}

RowFields rowFields(const RowRecord &row)
{
    const Reading &r = row.reading;
    RowFields f;
    f.seq = row.seq;
    f.unixMs = row.time.unixMs;
    f.time = row.time.isoText();
    f.mode = modeName(r.mode);
    f.value = valueText(r.mode, r.unit, r.value);
    f.unit = unitName(r.mode, r.unit);
    f.rh = humidityText(r.humidity);
    f.temperature = temperatureText(r.temperature, r.fahrenheit);
    f.temperatureUnit = r.fahrenheit ? QStringLiteral("F") : QStringLiteral("C");
    f.marker = markerText(r.marker);
    f.hold = holdName(r.hold);
    f.speed = QString::number(r.speed / 100.0, 'f', 2);
    f.area = QString::number(areaValue(r.area), 'f', 3);
    f.temperatureC = temperatureText(r.temperature, false);
    if (const std::optional<double> flow = flowM3hOf(r))
        f.flowM3h = QString::number(*flow, 'f', 3);
    f.frame = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(row.frame.bytes.data()),
                                             qsizetype(row.frame.bytes.size()))
                                      .toHex());
    return f;
}
