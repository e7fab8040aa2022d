// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The graph's arithmetic: paging, scales, label texts and the height of every
// plotted value. Pure functions of the page state, the latest reading and the
// stored frame fields; the painter only draws what these compute.

#include "Reading.h"

#include <QString>
#include <cstdint>

struct PageState {
    std::uint32_t pageCount = 0;   // pages the recording spans, 0 before the first sample
    std::uint32_t currentPage = 0; // 1-based page shown, 0 when none
};

// Plot geometry, in back-buffer pixels. Point k of a page lies at x = 40 + k.
inline constexpr std::uint32_t kSamplesPerPage = 350;
inline constexpr int kPlotLeft = 40;
inline constexpr int kPlotTop = 30;
inline constexpr int kPlotRight = 390;
inline constexpr int kPlotBottom = 290;
inline constexpr int kPlotHeight = kPlotBottom - kPlotTop; // 260
inline constexpr int kGridLines = 9;                       // each way
inline constexpr int kGridRowStep = 26;
inline constexpr int kGridColumnStep = 35;
inline constexpr int kAxisLabels = 11;    // per axis, label 0 at the bottom
inline constexpr int kPagePoints = 351;   // a page ends with the next page's first sample

// ---- Paging ----------------------------------------------------------------

// After a sample was stored: the page count follows the store length (bytes),
// and a view showing the last page moves on to the new one.
PageState pagesAfterSample(PageState pages, std::uint32_t storeLength);

// Navigation; each leaves the state alone while there is no page.
PageState firstPageOf(PageState pages);
PageState previousPageOf(PageState pages);
PageState nextPageOf(PageState pages);
PageState lastPageOf(PageState pages);

// First sample of the page shown; 0 when none is.
std::uint32_t pageStartSample(const PageState &pages);

// How many points of the shown page's curves are stored (0 … 351). A curve
// needs two; none when the page's first sample is not stored.
int storedPagePoints(const PageState &pages, std::uint32_t storeLength);

// "current / count".
QString pageText(const PageState &pages);

// ---- Scales ----------------------------------------------------------------

// Mode 1 draws air flow; every other mode draws wind speed.
bool graphShowsAirFlow(const Reading &latest);
// The unit index of the scale: the reading's unit when its table has it, else 0.
std::uint8_t graphUnitIndex(const Reading &latest);
// Wind full scale by unit index: 40 m/s in that unit, truncated (0 beyond the table).
std::uint32_t windFullScale(std::uint8_t unit);
// Flow full scale: the flow at 40 m/s through 10 area units.
double flowFullScale(std::uint8_t flowUnit, bool areaInFeet);

// ---- Titles and labels -----------------------------------------------------
// Label i counts from the bottom of its axis (0 … 10); sample label k from the
// left (0 … 10).

QString leftTitle(const Reading &latest);
QString leftLabel(const Reading &latest, int i);
QString temperatureTitle(bool fahrenheit);
QString temperatureLabel(bool fahrenheit, int i);
QString humidityTitle();
QString humidityLabel(int i);
QString sampleLabel(const PageState &pages, int k);

inline constexpr int axisLabelTop(int i) { return 283 - 26 * i; }
inline constexpr int sampleLabelLeft(int k) { return kPlotLeft + 35 * k; }
inline constexpr int kSampleLabelTop = 295;

// ---- Heights ---------------------------------------------------------------
// y of a stored field on its scale; 290 is the bottom of the plot, 30 its top.

int humidityY(std::uint16_t humidity);       // tenths of %RH, 0 … 100 %
int temperatureY(std::int16_t temperature);  // tenths of °C, −10 … 60 °C
int speedY(std::uint16_t speed);             // hundredths of m/s, whole m/s 0 … 40

// The air-flow scale of one page: the area of the page's first sample, the
// air-flow factor and the full scale of the latest reading's units.
struct FlowScale {
    double area = 0;      // area units
    double factor = 0;
    double fullScale = 0; // F
};
FlowScale flowScaleOf(const Reading &latest, std::uint32_t firstAreaBcd);
// Point 0 limits the speed to 40 m/s; later points limit the flow to F.
int flowY(const FlowScale &scale, std::uint16_t speed, bool firstPoint);
