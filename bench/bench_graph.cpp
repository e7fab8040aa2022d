// SPDX-License-Identifier: GPL-3.0-or-later
// One full paint of the graph view with a whole page of 350 samples (and the
// next page's first point), in each mode of the instrument: the view of the
// shown main window repainted at once, so the figure holds everything a
// sample's repaint costs (the graph drawn into the back buffer, its copy to
// the view, the readout panel and the controls over it).
//
// The baseline is the floor of any paint of that area: a widget of the same
// size whose paint only copies a finished picture of the view.
#include "BenchSupport.h"
#include "OffscreenMain.h"
#include "CMainFrame.h"
#include "CbreezonApp.h"
#include "Cwave.h"
#include "GraphPainter.h"
#include "SampleStore.h"
#include "Simulator.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int kSamples = 400; // page 1 full, page 2 begun

// The main window after a recording of `kSamples` frames in `quantity`,
// handed over one by one as the acquisition does, showing page 1 of 2.
std::unique_ptr<CbreezonApp> recordedWindow(FrameFields::Quantity quantity, std::uint8_t unit)
{
    auto app = std::make_unique<CbreezonApp>(QList<PortEntry>{}, 1920);
    app->show();
    SampleStore &store = app->frame().store();
    Cwave &wave = app->frame().wave();
    for (int i = 0; i < kSamples; ++i) {
        FrameFields f;
        f.quantity = quantity;
        f.unit = unit;
        f.humidity = std::uint16_t(500 + 400 * std::sin(i / 30.0));
        f.temperature = int(200 + 200 * std::cos(i / 50.0));
        f.speed = std::uint16_t(2000 + 1500 * std::sin(i / 20.0));
        f.reading = f.speed;
        f.area = 1500;
        store.append(storedFrame(f));
        wave.onSampleTimer();
    }
    wave.firstPage();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    return app;
}

void viewPaint(benchmark::State &state, FrameFields::Quantity quantity, std::uint8_t unit)
{
    const std::unique_ptr<CbreezonApp> app = recordedWindow(quantity, unit);
    Cwave &wave = app->frame().wave();
    for (auto _ : state)
        wave.repaint();

    // The graph alone, drawn as the view draws it, for the share it takes.
    QImage backBuffer(wave.clientSize(), QImage::Format_RGB32);
    const GraphStyle style = makeGraphStyle();
    drawGraph(backBuffer, app->frame().store(), wave.pages(), wave.latest(), style);
    const int rounds = 200;
    const auto start = bench::Clock::now();
    for (int i = 0; i < rounds; ++i) {
        drawGraph(backBuffer, app->frame().store(), wave.pages(), wave.latest(), style);
        benchmark::DoNotOptimize(backBuffer.constBits());
    }
    state.counters["drawGraph_us"] = bench::secondsSince(start) * 1e6 / rounds;
    state.counters["page"] = wave.pages().currentPage;
    state.counters["pages"] = wave.pages().pageCount;
}
BENCHMARK_CAPTURE(viewPaint, wind_speed, FrameFields::Quantity::WindSpeed, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(viewPaint, air_flow, FrameFields::Quantity::AirFlow, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(viewPaint, neither, FrameFields::Quantity::Neither, 0)->Unit(benchmark::kMicrosecond);

// A widget that only copies a finished picture onto itself.
class Picture : public QWidget {
public:
    explicit Picture(QImage image) : image_(std::move(image))
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(image_.size());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.drawImage(0, 0, image_);
    }

private:
    QImage image_;
};

void copyOnlyPaint(benchmark::State &state)
{
    const std::unique_ptr<CbreezonApp> app = recordedWindow(FrameFields::Quantity::WindSpeed, 0);
    Picture picture(app->frame().wave().grab().toImage().convertToFormat(QImage::Format_RGB32));
    picture.show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    for (auto _ : state)
        picture.repaint();
}
BENCHMARK(copyOnlyPaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return bench::runInOffscreenApplication(argc, argv);
}
