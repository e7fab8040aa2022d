// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fonts.h"
#include "GraphPainter.h"
#include "SampleStore.h"

#include <QFontMetricsF>
#include <QImage>
#include <QRawFont>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr int W = 465, H = 480, kGraphHeight = H - H / 3;
constexpr QRgb kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kCyan = 0xFF00FFFF, kGreen = 0xFF00FF00, kRed = 0xFFFF0000;

struct Sample {
    std::uint16_t humidity = 200;    // y 238
    std::int16_t temperature = 200;  // y 178
    std::uint16_t speed = 1000;      // y 225
    std::uint16_t area = 0x1000;     // 1.000
};

SampleFrame frameOf(const Sample &s)
{
    SampleFrame f;
    f.bytes[0] = SampleFrame::kSync1;
    f.bytes[1] = SampleFrame::kSync2;
    f.setU16(frame_field::humidity, s.humidity);
    f.setU16(frame_field::temperature, static_cast<std::uint16_t>(s.temperature));
    f.setU16(frame_field::speed, s.speed);
    f.setU16(frame_field::area, s.area);
    return f;
}

class GraphPainting : public ::testing::Test {
protected:
    std::unique_ptr<SampleStore> store = std::make_unique<SampleStore>();
    PageState pages;
    Reading latest;
    GraphStyle style = makeGraphStyle();
    QImage image{W, H, QImage::Format_RGB32};

    // Appends as the per-sample hand-off does: store, then page update.
    void record(const Sample &s, int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            store->append(frameOf(s));
            pages = pagesAfterSample(pages, store->length());
        }
    }
    const QImage &draw()
    {
        drawGraph(image, *store, pages, latest, style);
        return image;
    }
    // The one y in column x of the plot that has exactly `colour`; -1 for
    // none, -2 for more than one.
    int curveY(int x, QRgb colour) const
    {
        int found = -1;
        for (int y = 28; y <= 292; ++y)
            if (image.pixel(x, y) == colour)
                found = found == -1 ? y : -2;
        return found;
    }
    int pixelsOf(QRgb colour, QRect area = QRect(0, 0, W, kGraphHeight)) const
    {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += image.pixel(x, y) == colour;
        return n;
    }
};

TEST_F(GraphPainting, FrameIsWholeAndGridDotted)
{
    draw();
    for (int x = 40; x <= 390; ++x) {
        EXPECT_EQ(image.pixel(x, 30), kWhite) << x;
        EXPECT_EQ(image.pixel(x, 290), kWhite) << x;
        EXPECT_EQ(image.pixel(x, 29), kBlack) << x;
        EXPECT_EQ(image.pixel(x, 291), kBlack) << x;
    }
    for (int y = 30; y <= 290; ++y) {
        EXPECT_EQ(image.pixel(40, y), kWhite) << y;
        EXPECT_EQ(image.pixel(390, y), kWhite) << y;
        EXPECT_EQ(image.pixel(39, y), kBlack) << y;
        EXPECT_EQ(image.pixel(391, y), kBlack) << y;
    }
    for (int i = 0; i < 9; ++i) {
        const int y = 56 + 26 * i;
        EXPECT_GT(pixelsOf(kWhite, QRect(41, y, 349, 1)), 100) << y;
        EXPECT_GT(pixelsOf(kBlack, QRect(41, y, 349, 1)), 200) << y;
        const int x = 75 + 35 * i;
        EXPECT_GT(pixelsOf(kWhite, QRect(x, 31, 1, 259)), 70) << x;
        EXPECT_GT(pixelsOf(kBlack, QRect(x, 31, 1, 259)), 150) << x;
        // Nothing lit between the grid lines.
        EXPECT_EQ(pixelsOf(kWhite, QRect(x + 1, 31, 33, 25)), 0) << x;
        EXPECT_EQ(pixelsOf(kWhite, QRect(41, y + 1, 33, 25)), 0) << y;
    }
}

TEST_F(GraphPainting, TextsInTheirColoursAtTheirCorners)
{
    draw();
    // Ink of one colour inside `area`; negative when some lies just above
    // or left of it, which means the text does not start at its corner.
    auto tinted = [&](QRect area, auto isTint, int margin = 3) {
        int n = 0, outside = 0;
        for (int y = area.top() - margin; y <= area.bottom(); ++y)
            for (int x = area.left() - margin; x <= area.right(); ++x)
                if (image.valid(x, y) && isTint(QColor(image.pixel(x, y))))
                    ++(area.contains(x, y) ? n : outside);
        return outside == 0 ? n : -outside; // ink starts at the corner
    };
    auto red = [](QColor c) { return c.red() > 100 && c.green() == 0 && c.blue() == 0; };
    auto green = [](QColor c) { return c.green() > 100 && c.red() == 0 && c.blue() == 0; };
    auto cyan = [](QColor c) { return c.green() > 100 && c.red() == 0 && c.blue() == c.green(); };
    auto yellow = [](QColor c) { return c.red() > 100 && c.green() == c.red() && c.blue() == 0; };
    auto white = [](QColor c) { return c.red() > 100 && c.green() == c.red() && c.blue() == c.red(); };
    EXPECT_GT(tinted(QRect(215, 0, 60, 20), white), 10);
    EXPECT_GT(tinted(QRect(0, 0, 200, 25), red), 50);
    EXPECT_GT(tinted(QRect(360, 0, 60, 25), green), 30);
    EXPECT_GT(tinted(QRect(420, 0, 45, 25), cyan), 30);
    for (int i = 0; i <= 10; ++i) {
        const int margin = i == 10 ? 0 : 3; // the top labels touch the titles
        EXPECT_GT(tinted(QRect(0, 283 - 26 * i, 40, 18), red, margin), 5) << i;
        EXPECT_GT(tinted(QRect(395, 283 - 26 * i, 35, 18), green, margin), 5) << i;
        EXPECT_GT(tinted(QRect(430, 283 - 26 * i, 35, 18), cyan, margin), 5) << i;
        EXPECT_GT(tinted(QRect(40 + 35 * i, 295, 30, 18), yellow), 5) << i;
    }
}

TEST_F(GraphPainting, CachedTextsFollowScalesAndPages)
{
    GraphStyle fresh = style;
    fresh.textCache.reset();
    auto sameAsFresh = [&] {
        const QImage cached = draw().copy();
        drawGraph(image, *store, pages, latest, fresh);
        return cached == image;
    };
    record({}, 400);
    EXPECT_TRUE(sameAsFresh());
    latest.unit = 3;
    EXPECT_TRUE(sameAsFresh());
    latest.mode = Quantity::flow;
    latest.unit = 1;
    latest.areaInFeet = 1;
    latest.fahrenheit = 1;
    EXPECT_TRUE(sameAsFresh());
    pages = firstPageOf(pages);
    EXPECT_TRUE(sameAsFresh());
}

TEST_F(GraphPainting, CurvesAtTheHeightsOfTheirValues)
{
    struct Case {
        Sample sample;
        QRgb colour;
        int y;
    };
    const Case cases[] = {
        {{.humidity = 1000}, kCyan, 30},      {{.humidity = 500}, kCyan, 160},
        {{.humidity = 0}, kCyan, 290},        {{.humidity = 1200}, kCyan, 30},
        {{.temperature = -100}, kGreen, 290}, {{.temperature = 0}, kGreen, 252},
        {{.temperature = 250}, kGreen, 160},  {{.temperature = 599}, kGreen, 30},
        {{.temperature = 900}, kGreen, 30},   {{.speed = 3999}, kRed, 37},
        {{.speed = 4000}, kRed, 30},          {{.speed = 9000}, kRed, 30},
    };
    for (const Case &c : cases) {
        store->clear();
        pages = {};
        record(c.sample, 3);
        draw();
        EXPECT_EQ(curveY(41, c.colour), c.y) << c.y;
    }
    // The temperature curve stays in Celsius and the speed in m/s whatever
    // the labels show.
    store->clear();
    record({}, 3);
    latest.fahrenheit = 1;
    latest.unit = 3;
    draw();
    EXPECT_EQ(curveY(41, kGreen), 178);
    EXPECT_EQ(curveY(41, kRed), 225);
}

TEST_F(GraphPainting, AirFlowUsesTheAreaOfThePagesFirstSample)
{
    latest.mode = Quantity::flow;
    latest.unit = 1; // CMS, square metres
    record({.speed = 5000, .area = 0x1234});
    record({.speed = 2000, .area = 0x2000}, 5);
    draw();
    EXPECT_EQ(curveY(40, kRed), -2); // the segment from point 0 climbs to point 1
    EXPECT_EQ(image.pixel(40, 258), kRed);
    EXPECT_EQ(curveY(43, kRed), 274); // 20 m/s through 1.234 m²
}

TEST_F(GraphPainting, OnlyStoredSamplesOfThePageAreDrawn)
{
    draw();
    EXPECT_EQ(pixelsOf(kCyan, QRect(40, 28, 352, 265)), 0);

    record({.humidity = 500});
    draw();
    EXPECT_EQ(pixelsOf(kCyan, QRect(40, 28, 352, 265)), 0);

    record({.humidity = 500});
    draw();
    EXPECT_EQ(image.pixel(40, 160), kCyan);
    EXPECT_EQ(image.pixel(41, 160), kCyan);
    EXPECT_NE(image.pixel(42, 160), kCyan);

    record({.humidity = 500}, 398); // 400 stored: page 2 of 2 shows 50
    draw();
    EXPECT_EQ(image.pixel(89, 160), kCyan);
    EXPECT_NE(image.pixel(90, 160), kCyan);
    pages = firstPageOf(pages); // page 1 ends with sample 350
    draw();
    EXPECT_EQ(image.pixel(390, 160), kCyan);
    EXPECT_NE(image.pixel(391, 160), kCyan);
}

TEST_F(GraphPainting, StoreStartingAgainShowsAnEmptyPage)
{
    record({.humidity = 500}, SampleStore::kSlots);
    ASSERT_EQ(store->length(), 0u);
    EXPECT_EQ(pages.pageCount, 1u);
    EXPECT_EQ(pages.currentPage, 2996u);
    record({.humidity = 500}, 2);
    draw();
    EXPECT_EQ(pixelsOf(kCyan, QRect(40, 28, 352, 265)), 0);
    pages = firstPageOf(pages);
    draw();
    EXPECT_EQ(pixelsOf(kCyan, QRect(40, 28, 352, 265)), 2);
}

} // namespace

// Each font has the cell height and average character width the layout asks
// for, measured on the face that draws it: the cell from its OS/2 table, the
// average as the lowercase-weighted mean of its rendered advances.
TEST(Fonts, CellAndAverageWidthAreTheLayoutsOnTheFaceThatDrawsThem)
{
    auto os2 = [](const QRawFont &face, int offset) {
        return qFromBigEndian<quint16>(face.fontTable("OS/2").constData() + offset);
    };
    const QString weighted = QStringLiteral(" abcdefghijklmnopqrstuvwxyz");
    const int weights[27] = {166, 64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20,
                             56,  56, 17, 4,  49, 56,  71, 31, 10, 18, 3, 18, 2};

    // Arial's stand-in is its metric twin: its tables give Arial's published
    // cell (1854 + 434 of 2048) and average width (904).
    QFont twin(QStringLiteral("Liberation Sans"));
    twin.setPixelSize(10);
    const QRawFont liberation = QRawFont::fromFont(twin);
    ASSERT_EQ(liberation.familyName(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(os2(liberation, 74) + os2(liberation, 76), 2288);
    EXPECT_EQ(int(measureFace(liberation).averagePerEm * 2048), 904);

    const struct {
        const char *family;
        int height, width;
        double cellPerEm; // of the original face
    } cases[] = {{"Arial", 25, 10, 2288.0 / 2048}, {"Arial", 14, 5, 2288.0 / 2048},
                 {"SimSun", 20, 6, 1.0}, {"SimSun", 25, 10, 1.0}, {"SimSun", 13, 8, 1.0}};
    for (const auto &c : cases) {
        const QFont font = makeFont(QString::fromLatin1(c.family), c.height, c.width);
        const double cell = font.pixelSize() * c.cellPerEm;
        EXPECT_LE(std::abs(cell - c.height), c.cellPerEm / 2) << c.family << c.height;
        const QFontMetricsF metrics(font);
        if (c.cellPerEm == 1.0) {
            // SimSun's width is every Latin character's, and its stand-in's
            // descenders end within the cell, on or above SimSun's baseline.
            for (const char *text : {"Wind Value", "Per", "Temp", "0123456789", "13:22:48"})
                EXPECT_NEAR(metrics.horizontalAdvance(QString::fromLatin1(text)), c.width * std::strlen(text), 0.05)
                    << text << " " << c.height;
            EXPECT_LE(layoutAscent(font), std::lround(c.height * 220.0 / 256));
            EXPECT_LE(layoutAscent(font) + metrics.boundingRect(QLatin1Char('p')).bottom(), c.height) << c.height;
            continue;
        }
        // Arial's width is its weighted lowercase average.
        double sum = 0;
        for (int i = 0; i < 27; ++i)
            sum += weights[i] * metrics.horizontalAdvance(weighted.at(i));
        EXPECT_NEAR(sum / 1000, c.width, 0.25) << c.family << c.height;
    }
}
