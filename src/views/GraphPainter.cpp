// SPDX-License-Identifier: GPL-3.0-or-later
#include "GraphPainter.h"

#include "Fonts.h"
#include "SampleStore.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QStaticText>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kCyan(0, 255, 255);
const QColor kYellow(255, 255, 0);

constexpr QPoint kPageTextAt(215, 0);
constexpr QPoint kLeftTitleAt(0, 0);
constexpr QPoint kTemperatureTitleAt(360, 0);
constexpr QPoint kHumidityTitleAt(420, 0);
constexpr int kLeftLabelsLeft = 0;
constexpr int kTemperatureLabelsLeft = 395;
constexpr int kHumidityLabelsLeft = 430;

// A text laid out once, with the cell its opaque background covers.
struct PlacedText {
    QStaticText text;
    QRect cell;
};

// Texts of one font, laid out for one value of their key.
struct TextGroup {
    bool valid = false;
    std::uint64_t key = 0;
    std::vector<PlacedText> texts;
};

QPen onePixelPen(const QColor &colour, Qt::PenStyle style)
{
    QPen pen(colour, 1, style);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

struct GraphTextCache {
    QFont titleFont, axisFont, defaultFont;
    TextGroup page, leftTitle, leftLabels, temperatureTitle, temperatureLabels, humidityTitle, humidityLabels,
        sampleLabels;

    // A font change in the style invalidates every layout.
    void useFonts(const GraphStyle &style)
    {
        if (style.titleFont == titleFont && style.axisFont == axisFont && style.defaultFont == defaultFont)
            return;
        titleFont = style.titleFont;
        axisFont = style.axisFont;
        defaultFont = style.defaultFont;
        for (TextGroup *g : {&page, &leftTitle, &leftLabels, &temperatureTitle, &temperatureLabels, &humidityTitle,
                             &humidityLabels, &sampleLabels})
            g->valid = false;
    }
};

namespace {

// Lays out `count` texts of `font` when the key differs from the group's;
// `make(i)` gives text i and its top-left corner.
template <class Make>
void refresh(TextGroup &group, std::uint64_t key, const QFont &font, int count, Make make)
{
    if (group.valid && group.key == key)
        return;
    const QFontMetricsF metrics(font);
    const int cellHeight = static_cast<int>(std::ceil(metrics.ascent() + metrics.descent()));
    // Texts are placed by their top; the baseline goes where the layout's
    // face has it.
    const QPoint baseline(0, layoutAscent(font) - qRound(metrics.ascent()));
    group.texts.clear();
    group.texts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto [at, string] = make(i);
        PlacedText placed{QStaticText(string), {}};
        placed.text.setTextFormat(Qt::PlainText);
        placed.text.prepare(QTransform(), font);
        const int width = static_cast<int>(std::ceil(placed.text.size().width()));
        placed.cell = QRect(at + baseline, QSize(width, cellHeight));
        group.texts.push_back(std::move(placed));
    }
    group.key = key;
    group.valid = true;
}

// Texts are opaque: each cell is filled with the background first.
void drawGroup(QPainter &p, const TextGroup &group, const QFont &font, const QColor &colour)
{
    p.setFont(font);
    p.setPen(colour);
    for (const PlacedText &t : group.texts) {
        p.fillRect(t.cell, p.background());
        p.drawStaticText(t.cell.topLeft(), t.text);
    }
}

std::uint64_t pageKey(const PageState &pages) { return (std::uint64_t{pages.currentPage} << 32) | pages.pageCount; }

std::uint64_t leftScaleKey(const Reading &latest)
{
    return (graphShowsAirFlow(latest) ? 0x10000u : 0u) | (std::uint64_t{graphUnitIndex(latest)} << 8) |
           (graphShowsAirFlow(latest) && latest.areaInFeet ? 1u : 0u);
}

} // namespace

GraphStyle makeGraphStyle()
{
    GraphStyle style;
    style.titleFont = makeFont(QStringLiteral("SimSun"), 20, 6);
    style.axisFont = makeFont(QStringLiteral("Arial"), 14, 5);
    style.defaultFont = QFont();
    style.humidityPen = onePixelPen(kCyan, Qt::SolidLine);
    style.temperaturePen = onePixelPen(kGreen, Qt::SolidLine);
    style.airPen = onePixelPen(kRed, Qt::SolidLine);
    style.framePen = onePixelPen(kWhite, Qt::SolidLine);
    style.gridPen = onePixelPen(kWhite, Qt::DotLine);
    style.textCache = std::make_shared<GraphTextCache>();
    return style;
}

void drawGraph(QImage &backBuffer, const SampleStore &store, const PageState &pages, const Reading &latest,
               const GraphStyle &style)
{
    if (backBuffer.isNull())
        return;
    std::optional<GraphTextCache> uncached;
    GraphTextCache &texts = style.textCache ? *style.textCache : uncached.emplace();
    texts.useFonts(style);

    // One length for the whole paint: every slot below it is complete.
    const std::uint32_t storeLength = store.length();
    const int W = backBuffer.width();
    const int H = backBuffer.height();

    QPainter p(&backBuffer);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(0, 0, W, H - H / 3), kBlack);
    // Texts go on black cells; the gaps of the dotted grid stay transparent
    // so that the grid leaves the frame whole where it meets it.
    p.setBackground(kBlack);
    p.setBackgroundMode(Qt::TransparentMode);

    p.setPen(style.framePen);
    const QPoint frame[] = {{kPlotLeft, kPlotTop},
                            {kPlotRight, kPlotTop},
                            {kPlotRight, kPlotBottom},
                            {kPlotLeft, kPlotBottom},
                            {kPlotLeft, kPlotTop}};
    p.drawPolyline(frame, 5);

    refresh(texts.page, pageKey(pages), style.defaultFont, 1,
            [&](int) { return std::pair{kPageTextAt, pageText(pages)}; });
    drawGroup(p, texts.page, style.defaultFont, kWhite);

    p.setPen(style.gridPen);
    for (int i = 0; i < kGridLines; ++i) {
        const int y = kPlotTop + kGridRowStep * (i + 1);
        p.drawLine(kPlotLeft, y, kPlotRight, y);
    }
    for (int j = 0; j < kGridLines; ++j) {
        const int x = kPlotLeft + kGridColumnStep * (j + 1);
        p.drawLine(x, kPlotTop, x, kPlotBottom);
    }

    const std::uint64_t leftKey = leftScaleKey(latest);
    refresh(texts.leftTitle, leftKey, style.titleFont, 1,
            [&](int) { return std::pair{kLeftTitleAt, leftTitle(latest)}; });
    drawGroup(p, texts.leftTitle, style.titleFont, kRed);
    refresh(texts.leftLabels, leftKey, style.axisFont, kAxisLabels,
            [&](int i) { return std::pair{QPoint(kLeftLabelsLeft, axisLabelTop(i)), leftLabel(latest, i)}; });
    drawGroup(p, texts.leftLabels, style.axisFont, kRed);

    const bool fahrenheit = latest.fahrenheit;
    refresh(texts.temperatureTitle, fahrenheit, style.titleFont, 1,
            [&](int) { return std::pair{kTemperatureTitleAt, temperatureTitle(fahrenheit)}; });
    drawGroup(p, texts.temperatureTitle, style.titleFont, kGreen);
    refresh(texts.temperatureLabels, fahrenheit, style.axisFont, kAxisLabels, [&](int i) {
        return std::pair{QPoint(kTemperatureLabelsLeft, axisLabelTop(i)), temperatureLabel(fahrenheit, i)};
    });
    drawGroup(p, texts.temperatureLabels, style.axisFont, kGreen);

    refresh(texts.humidityTitle, 0, style.titleFont, 1,
            [&](int) { return std::pair{kHumidityTitleAt, humidityTitle()}; });
    drawGroup(p, texts.humidityTitle, style.titleFont, kCyan);
    refresh(texts.humidityLabels, 0, style.axisFont, kAxisLabels,
            [&](int i) { return std::pair{QPoint(kHumidityLabelsLeft, axisLabelTop(i)), humidityLabel(i)}; });
    drawGroup(p, texts.humidityLabels, style.axisFont, kCyan);

    refresh(texts.sampleLabels, pages.currentPage, style.axisFont, kAxisLabels,
            [&](int k) { return std::pair{QPoint(sampleLabelLeft(k), kSampleLabelTop), sampleLabel(pages, k)}; });
    drawGroup(p, texts.sampleLabels, style.axisFont, kYellow);

    // The curves: one pixel per sample, from the page's first sample on.
    const int points = storedPagePoints(pages, storeLength);
    if (points < 2)
        return;
    const std::uint32_t first = pageStartSample(pages);
    std::array<QPoint, kPagePoints> line;
    const auto pass = [&](const QPen &pen, auto yOf) {
        for (int k = 0; k < points; ++k)
            line[static_cast<std::size_t>(k)] = QPoint(kPlotLeft + k, yOf(store.slot(first + k), k));
        p.setPen(pen);
        p.drawPolyline(line.data(), points);
    };
    pass(style.humidityPen, [](const SampleFrame &f, int) { return humidityY(storedHumidity(f)); });
    pass(style.temperaturePen,
         [](const SampleFrame &f, int) { return temperatureY(storedTemperature(f)); });
    if (graphShowsAirFlow(latest)) {
        // The page's first sample gives the area for the whole page.
        const FlowScale scale = flowScaleOf(latest, storedArea(store.slot(first)));
        pass(style.airPen,
             [&](const SampleFrame &f, int k) { return flowY(scale, storedSpeed(f), k == 0); });
    } else {
        pass(style.airPen, [](const SampleFrame &f, int) { return speedY(storedSpeed(f)); });
    }
}
