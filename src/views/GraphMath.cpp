// SPDX-License-Identifier: GPL-3.0-or-later
#include "GraphMath.h"

#include "DisplayText.h"
#include "Frame.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t kWindFullScales[kWindUnits] = {40, 144, 89, 7874, 131, 77};
constexpr std::uint8_t kFeetPerMinuteUnit = 3;
constexpr double kSpeedLimit = 40.0; // m/s at the top of the speed scale

} // namespace

// ---- Paging ----------------------------------------------------------------

PageState pagesAfterSample(PageState pages, std::uint32_t storeLength)
{
    const std::uint32_t samples = storeLength / SampleFrame::kSize;
    const std::uint32_t count = samples / kSamplesPerPage + 1;
    if (count != pages.pageCount) {
        pages.pageCount = count;
        // Follow the newest page only when the last one was on show.
        if (pages.pageCount == pages.currentPage + 1)
            pages.currentPage = pages.pageCount;
    }
    return pages;
}

PageState firstPageOf(PageState pages)
{
    if (pages.pageCount != 0)
        pages.currentPage = 1;
    return pages;
}

PageState previousPageOf(PageState pages)
{
    if (pages.pageCount != 0 && pages.currentPage > 1)
        --pages.currentPage;
    return pages;
}

PageState nextPageOf(PageState pages)
{
    if (pages.pageCount != 0 && pages.currentPage < pages.pageCount)
        ++pages.currentPage;
    return pages;
}

PageState lastPageOf(PageState pages)
{
    if (pages.pageCount != 0)
        pages.currentPage = pages.pageCount;
    return pages;
}

std::uint32_t pageStartSample(const PageState &pages)
{
    return pages.currentPage >= 1 ? (pages.currentPage - 1) * kSamplesPerPage : 0;
}

int storedPagePoints(const PageState &pages, std::uint32_t storeLength)
{
    if (pages.currentPage < 1 || pages.pageCount < 1)
        return 0;
    const std::uint64_t stored = storeLength / SampleFrame::kSize;
    const std::uint64_t first = pageStartSample(pages);
    if (first >= stored)
        return 0;
    return static_cast<int>(std::min<std::uint64_t>(stored - first, kPagePoints));
}

QString pageText(const PageState &pages)
{
    return QString::asprintf("%d / %d", static_cast<int>(pages.currentPage), static_cast<int>(pages.pageCount));
}

// ---- Scales ----------------------------------------------------------------

bool graphShowsAirFlow(const Reading &latest) { return latest.mode == Quantity::flow; }

std::uint8_t graphUnitIndex(const Reading &latest)
{
    const int units = graphShowsAirFlow(latest) ? kFlowUnits : kWindUnits;
    return latest.unit < units ? latest.unit : 0;
}

std::uint32_t windFullScale(std::uint8_t unit) { return unit < kWindUnits ? kWindFullScales[unit] : 0; }

double flowFullScale(std::uint8_t flowUnit, bool areaInFeet)
{
    return 400.0 * airFlowFactor(flowUnit, areaInFeet);
}

// ---- Titles and labels -----------------------------------------------------

QString leftTitle(const Reading &latest)
{
    const std::uint8_t u = graphUnitIndex(latest);
    if (graphShowsAirFlow(latest))
        return QStringLiteral("Wind Flow(") + QString::fromUtf16(flowUnitNames[u]) + QLatin1Char(')');
    return QStringLiteral("Wind Value(") + QString::fromUtf16(windUnitNames[u]) + QLatin1Char(')');
}

QString leftLabel(const Reading &latest, int i)
{
    const std::uint8_t u = graphUnitIndex(latest);
    if (graphShowsAirFlow(latest)) {
        // The full scale goes through single precision first, as the
        // instrument's own scale does.
        const float step = static_cast<float>(flowFullScale(u, latest.areaInFeet)) / 10;
        return QString::asprintf("%d", static_cast<int>(step * static_cast<float>(i)));
    }
    if (u == kFeetPerMinuteUnit)
        return QString::asprintf("%d", static_cast<int>(windFullScale(u) / 10 * static_cast<std::uint32_t>(i)));
    return QString::asprintf("%0.2f", windFullScale(u) / 10.0 * i);
}

QString temperatureTitle(bool fahrenheit)
{
    return QLatin1Char('(') + temperatureUnitSign(fahrenheit) + QStringLiteral(")Temp");
}

QString temperatureLabel(bool fahrenheit, int i)
{
    if (fahrenheit) {
        // −10 … 60 °C in seven-degree steps is 14 … 140 °F in steps of 12.6;
        // the step is kept at its single-precision value.
        const double step = static_cast<double>(12.6f);
        return QString::asprintf("%0.1f", 14 + step * i);
    }
    return QString::asprintf("%d", -10 + 7 * i);
}

QString humidityTitle() { return QStringLiteral("RH(%)"); }

QString humidityLabel(int i) { return QString::asprintf("%d", 10 * i); }

QString sampleLabel(const PageState &pages, int k)
{
    // Ten label steps of 35 samples per page, counted from the recording's start.
    const std::uint32_t pageSteps = pages.currentPage >= 1 ? 10 * (pages.currentPage - 1) : 0;
    return QString::asprintf("%d", static_cast<int>(35 * (static_cast<std::uint32_t>(k) + pageSteps)));
}

// ---- Heights ---------------------------------------------------------------

int humidityY(std::uint16_t humidity)
{
    const int h = std::min<int>(humidity, 1000);
    return kPlotBottom - (h * kPlotHeight) / 1000;
}

int temperatureY(std::int16_t temperature)
{
    const int t = std::clamp<int>(temperature, -100, 600);
    return static_cast<int>(kPlotBottom - (t + 100) * kPlotHeight / 700.0);
}

int speedY(std::uint16_t speed)
{
    const int v = std::min(speed / 100, 40);
    return kPlotBottom - (v * kPlotHeight) / 40;
}

FlowScale flowScaleOf(const Reading &latest, std::uint32_t firstAreaBcd)
{
    const std::uint8_t u = graphUnitIndex(latest);
    const bool feet = latest.areaInFeet;
    return {areaValue(firstAreaBcd), airFlowFactor(u, feet), flowFullScale(u, feet)};
}

int flowY(const FlowScale &scale, std::uint16_t speed, bool firstPoint)
{
    if (!(scale.fullScale > 0))
        return kPlotBottom;
    double s = speed / 100.0;
    if (firstPoint) {
        if (std::trunc(s) > kSpeedLimit)
            s = kSpeedLimit;
        return kPlotBottom - static_cast<int>(std::trunc(scale.area * scale.factor * s * kPlotHeight / scale.fullScale));
    }
    double q = s * scale.area * scale.factor;
    if (std::trunc(q) > scale.fullScale)
        q = scale.fullScale;
    else if (q < 0)
        q = 0;
    return kPlotBottom - static_cast<int>(std::trunc(q * kPlotHeight / scale.fullScale));
}
