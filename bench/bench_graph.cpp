// One full graph paint of a page of 351 stored points (350 samples and the
// next page's first) in every scale the graph has.
#include "GraphPainter.h"
#include "SampleStore.h"

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

const SampleStore &recording()
{
    static const std::unique_ptr<SampleStore> store = [] {
        auto s = std::make_unique<SampleStore>();
        for (int i = 0; i < 400; ++i) {
            SampleFrame f;
            f.bytes[0] = SampleFrame::kSync1;
            f.bytes[1] = SampleFrame::kSync2;
            f.setU16(frame_field::humidity, static_cast<std::uint16_t>(500 + 400 * std::sin(i / 30.0)));
            f.setU16(frame_field::temperature, static_cast<std::uint16_t>(200 + 200 * std::cos(i / 50.0)));
            f.setU16(frame_field::speed, static_cast<std::uint16_t>(2000 + 1500 * std::sin(i / 20.0)));
            f.setU16(frame_field::area, 0x1500);
            s->append(f);
        }
        return s;
    }();
    return *store;
}

void paintPage(benchmark::State &state, std::uint8_t mode, std::uint8_t unit, bool cached)
{
    const SampleStore &store = recording();
    const PageState pages{2, 1};
    LatestReading latest;
    latest.mode = mode;
    latest.unit = unit;
    GraphStyle style = makeGraphStyle();
    if (!cached)
        style.textCache.reset();
    QImage backBuffer(465, 480, QImage::Format_RGB32);
    for (auto _ : state) {
        drawGraph(backBuffer, store, pages, latest, style);
        benchmark::DoNotOptimize(backBuffer.constBits());
    }
}

} // namespace

BENCHMARK_CAPTURE(paintPage, wind_m_s, quantity::windSpeed, 0, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(paintPage, wind_ft_m, quantity::windSpeed, 3, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(paintPage, flow_CMM, quantity::airFlow, 0, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(paintPage, flow_CMS, quantity::airFlow, 1, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(paintPage, flow_CFM, quantity::airFlow, 2, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(paintPage, mode_2, quantity::neither, 0, true)->Unit(benchmark::kMicrosecond);
// The same paint laying every text out afresh, for comparison.
BENCHMARK_CAPTURE(paintPage, wind_m_s_uncached_texts, quantity::windSpeed, 0, false)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
