// SPDX-License-Identifier: GPL-3.0-or-later
#include "GraphMath.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

QStringList labels(auto label)
{
    QStringList out;
    for (int i = 0; i < kAxisLabels; ++i)
        out << label(i);
    return out;
}

Reading reading(Quantity mode, std::uint8_t unit, bool feet = false)
{
    Reading r;
    r.mode = mode;
    r.unit = unit;
    r.areaInFeet = feet;
    return r;
}

// The store's write length after `samples` frames.
constexpr std::uint32_t lengthOf(std::uint32_t samples) { return samples * 16; }

} // namespace

TEST(GraphPages, FollowTheNewestPageWhileTheLastOneIsShown)
{
    PageState pages;
    EXPECT_EQ(pageText(pages), "0 / 0");
    pages = pagesAfterSample(pages, lengthOf(1));
    EXPECT_EQ(pageText(pages), "1 / 1");
    pages = pagesAfterSample(pages, lengthOf(349));
    EXPECT_EQ(pageText(pages), "1 / 1");
    // A full page opens the next one before its first sample exists.
    pages = pagesAfterSample(pages, lengthOf(350));
    EXPECT_EQ(pageText(pages), "2 / 2");
    EXPECT_EQ(storedPagePoints(pages, lengthOf(350)), 0);

    // A view moved back stays where it is.
    pages = firstPageOf(pages);
    pages = pagesAfterSample(pages, lengthOf(700));
    EXPECT_EQ(pageText(pages), "1 / 3");
}

TEST(GraphPages, StoreStartingAgainKeepsThePageShown)
{
    PageState pages{2996, 2996};
    pages = pagesAfterSample(pages, 0); // the sample that filled the last slot
    EXPECT_EQ(pageText(pages), "2996 / 1");
    EXPECT_EQ(storedPagePoints(pages, lengthOf(2)), 0);
    EXPECT_EQ(pageText(nextPageOf(pages)), "2996 / 1");
    EXPECT_EQ(pageText(firstPageOf(pages)), "1 / 1");
}

TEST(GraphPages, Navigation)
{
    const PageState none;
    for (auto move : {firstPageOf, previousPageOf, nextPageOf, lastPageOf})
        EXPECT_EQ(move(none).currentPage, 0u);

    const PageState first{3, 1}, last{3, 3};
    EXPECT_EQ(previousPageOf(first).currentPage, 1u);
    EXPECT_EQ(nextPageOf(first).currentPage, 2u);
    EXPECT_EQ(nextPageOf(last).currentPage, 3u);
    EXPECT_EQ(previousPageOf(last).currentPage, 2u);
    EXPECT_EQ(lastPageOf(first).currentPage, 3u);
    EXPECT_EQ(firstPageOf(last).currentPage, 1u);
}

TEST(GraphPages, PointsOfAPageAreTheStoredOnesUpToTheNextPagesFirst)
{
    EXPECT_EQ(storedPagePoints({1, 1}, lengthOf(1)), 1);
    EXPECT_EQ(storedPagePoints({2, 1}, lengthOf(400)), 351);
    EXPECT_EQ(storedPagePoints({2, 2}, lengthOf(400)), 50);
    EXPECT_EQ(pageStartSample({2, 2}), 350u);
    EXPECT_EQ(storedPagePoints({1, 0}, lengthOf(400)), 0);
}

TEST(GraphScale, UnitIndexFallsBackToTheFirstUnit)
{
    EXPECT_EQ(graphUnitIndex(reading(Quantity::flow, 2)), 2);
    EXPECT_EQ(graphUnitIndex(reading(Quantity::flow, 3)), 0);
    EXPECT_EQ(graphUnitIndex(reading(Quantity::speed, 5)), 5);
    EXPECT_EQ(graphUnitIndex(reading(Quantity::speed, 6)), 0);
    EXPECT_EQ(graphUnitIndex(reading(Quantity::none, 4)), 4);
    EXPECT_DOUBLE_EQ(flowFullScale(0, true), 2229.67296);
    EXPECT_DOUBLE_EQ(flowFullScale(1, true), 37.161216);
    EXPECT_NEAR(flowFullScale(2, true), 78740.15748, 1e-6);
    EXPECT_DOUBLE_EQ(flowFullScale(0, false), 24000.0);
    EXPECT_DOUBLE_EQ(flowFullScale(1, false), 400.0);
    EXPECT_DOUBLE_EQ(flowFullScale(2, false), 847552.0);
}

TEST(GraphLabels, Titles)
{
    EXPECT_EQ(leftTitle(reading(Quantity::flow, 1)), "Wind Flow(CMS)");
    EXPECT_EQ(leftTitle(reading(Quantity::speed, 0)), "Wind Value(m/s)");
    EXPECT_EQ(leftTitle(reading(Quantity::none, 5)), "Wind Value(knots)");
    EXPECT_EQ(leftTitle(reading(Quantity::flow, 7)), "Wind Flow(CMM)");
    EXPECT_EQ(temperatureTitle(false), QString::fromUtf8("(℃)Temp"));
    EXPECT_EQ(temperatureTitle(true), QString::fromUtf8("(℉)Temp"));
    EXPECT_EQ(humidityTitle(), "RH(%)");
}

TEST(GraphLabels, LeftAxisByModeAndUnit)
{
    auto left = [](Reading r) { return labels([&](int i) { return leftLabel(r, i); }); };
    EXPECT_EQ(left(reading(Quantity::speed, 3)).join(' '), "0 787 1574 2361 3148 3935 4722 5509 6296 7083 7870");
    EXPECT_EQ(left(reading(Quantity::flow, 1, true)).join(' '), "0 3 7 11 14 18 22 26 29 33 37");
    EXPECT_EQ(left(reading(Quantity::speed, 0)).join(' '),
              "0.00 4.00 8.00 12.00 16.00 20.00 24.00 28.00 32.00 36.00 40.00");
    EXPECT_EQ(left(reading(Quantity::none, 1))[10], "144.00");
    EXPECT_EQ(left(reading(Quantity::speed, 2))[3], "26.70");
    EXPECT_EQ(left(reading(Quantity::flow, 2, false))[10], "847552");
    EXPECT_EQ(left(reading(Quantity::flow, 0, true))[10], "2229");
}

TEST(GraphLabels, TemperatureHumidityAndSampleAxes)
{
    EXPECT_EQ(labels([](int i) { return temperatureLabel(false, i); }).join(' '), "-10 -3 4 11 18 25 32 39 46 53 60");
    EXPECT_EQ(labels([](int i) { return temperatureLabel(true, i); }).join(' '),
              "14.0 26.6 39.2 51.8 64.4 77.0 89.6 102.2 114.8 127.4 140.0");
    EXPECT_EQ(labels(humidityLabel).join(' '), "0 10 20 30 40 50 60 70 80 90 100");
    EXPECT_EQ(labels([](int k) { return sampleLabel({}, k); }).join(' '), "0 35 70 105 140 175 210 245 280 315 350");
    EXPECT_EQ(labels([](int k) { return sampleLabel({2, 2}, k); }).join(' '),
              "350 385 420 455 490 525 560 595 630 665 700");
}

TEST(GraphHeights, ClampedToTheirScales)
{
    EXPECT_EQ(humidityY(1000), 30);
    EXPECT_EQ(humidityY(500), 160);
    EXPECT_EQ(humidityY(0), 290);
    EXPECT_EQ(humidityY(65535), 30);

    EXPECT_EQ(temperatureY(-100), 290);
    EXPECT_EQ(temperatureY(-300), 290);
    EXPECT_EQ(temperatureY(0), 252);
    EXPECT_EQ(temperatureY(250), 160);
    EXPECT_EQ(temperatureY(599), 30);
    EXPECT_EQ(temperatureY(32767), 30);

    EXPECT_EQ(speedY(3999), 37);
    EXPECT_EQ(speedY(4000), 30);
    EXPECT_EQ(speedY(65535), 30);
    EXPECT_EQ(speedY(99), 290);
}

TEST(GraphHeights, FlowLimitsSpeedAtTheFirstPointAndFlowAfterIt)
{
    Reading cms = reading(Quantity::flow, 1);
    const FlowScale small = flowScaleOf(cms, 0x1234); // 1.234 m²
    EXPECT_DOUBLE_EQ(small.area, 1.234);
    EXPECT_EQ(flowY(small, 2500, true), 270);
    EXPECT_EQ(flowY(small, 2500, false), 270);
    EXPECT_EQ(flowY(small, 5000, true), 258); // 50 m/s counts as 40
    EXPECT_EQ(flowY(small, 5000, false), 250);

    const FlowScale large = flowScaleOf(cms, 0x9999);
    EXPECT_EQ(flowY(large, 6000, true), 31);
    EXPECT_EQ(flowY(large, 6000, false), 30);

    const FlowScale feet = flowScaleOf(reading(Quantity::flow, 0, true), 0x0500);
    EXPECT_EQ(flowY(feet, 1000, false), 287);
}
