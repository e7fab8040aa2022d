// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target over everything that untrusted line bytes reach: frame
// assembly and storing, decoding, every display text (the list's cells, the
// panel's boxes, the graph's titles, labels and heights), and the text
// export's line building. Besides crashes and sanitizer reports,
// a broken rule below is a finding (abort).
#include "CsvExport.h"
#include "Frame.h"
#include "DisplayText.h"
#include "FrameAssembler.h"
#include "JsonRow.h"
#include "RowFields.h"
#include "GraphMath.h"
#include "ReadingListModel.h"
#include "SampleStore.h"
#include "TextExport.h"

#include <QJsonDocument>
#include <QTime>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "rule broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__);                   \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

namespace {

// The input read front to back as numbers; zeros once it is used up.
struct Input {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at = 0;

    std::uint8_t u8() { return at < size ? data[at++] : 0; }
    std::uint16_t u16() { return std::uint16_t(u8() << 8 | u8()); }
    std::uint32_t u32() { return std::uint32_t(u16()) << 16 | u16(); }
    std::int32_t i32() { return std::int32_t(u32()); }
    bool done() const { return at >= size; }
};

// The fixed-width rule: cells 0 and 1 plus 8 spaces; cells 2-7 padded to
// 10, or followed by a tab when longer; then "\r\n".
qsizetype expectedLineLength(const std::array<QString, 8> &cells)
{
    qsizetype n = 2;
    for (int c = 0; c < 8; ++c) {
        const qsizetype len = cells[std::size_t(c)].size();
        n += c < 2 ? len + 8 : (len <= 10 ? 10 : len + 1);
    }
    return n;
}

void checkLine(const std::array<QString, 8> &cells, const QString &line)
{
    FUZZ_CHECK(line.size() == expectedLineLength(cells));
    FUZZ_CHECK(line.endsWith(QLatin1String("\r\n")));
    const QByteArray bytes = textLineBytes(line);
    FUZZ_CHECK(bytes.size() == 2 * line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t unit = char16_t(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8);
        FUZZ_CHECK(unit == line[i].unicode());
    }
}

// Every text of a reading, its row in the list and that row's lines.
void showReading(const Reading &r, ReadingListModel &model, std::uint32_t msOfDay)
{
    const QString unit = unitName(r.mode, r.unit);
    const QString value = valueText(r.mode, r.unit, r.value);
    FUZZ_CHECK(unitKnown(r.mode, r.unit) == !unit.isEmpty());
    FUZZ_CHECK(unit.isEmpty() == value.isEmpty());
    FUZZ_CHECK(!humidityText(r.humidity).isEmpty());
    FUZZ_CHECK(!temperatureText(r.temperature, r.fahrenheit).isEmpty());
    FUZZ_CHECK(!humidityBoxText(r.humidity).isEmpty());
    FUZZ_CHECK(!temperatureBoxText(r.temperature, r.fahrenheit).isEmpty());
    FUZZ_CHECK(temperatureUnitSign(r.fahrenheit).size() == 1);
    FUZZ_CHECK(markerText(r.marker).size() <= 2);
    FUZZ_CHECK(!holdText(r.hold).isEmpty());
    FUZZ_CHECK(areaThousandths(r.area) <= 15u * 1111u);
    FUZZ_CHECK(areaValue(r.area) >= 0);
    FUZZ_CHECK(airFlow(r.speed, r.area, r.unit, r.areaInFeet) >= 0);

    // The graph's side of the same reading.
    const QString title = leftTitle(r);
    FUZZ_CHECK(title.startsWith(graphShowsAirFlow(r) ? QLatin1String("Wind Flow(") : QLatin1String("Wind Value(")));
    FUZZ_CHECK(graphUnitIndex(r) < (graphShowsAirFlow(r) ? kFlowUnits : kWindUnits));
    for (int i = 0; i < kAxisLabels; ++i)
        FUZZ_CHECK(!leftLabel(r, i).isEmpty() && !temperatureLabel(r.fahrenheit, i).isEmpty());
    FUZZ_CHECK(!temperatureTitle(r.fahrenheit).isEmpty());
    const auto onPlot = [](int y) { return y >= kPlotTop && y <= kPlotBottom; };
    FUZZ_CHECK(onPlot(humidityY(std::uint16_t(r.humidity))));
    FUZZ_CHECK(onPlot(temperatureY(r.temperature)));
    FUZZ_CHECK(onPlot(speedY(std::uint16_t(r.speed))));
    // A flow is limited once its whole part exceeds the full scale, so the
    // curve may peak up to 260 / F (< 8) pixels above the plot; the first
    // point is limited by its speed only and goes off the top for an area
    // beyond 10 units. Neither is ever below the bottom.
    const FlowScale scale = flowScaleOf(r, r.area);
    const int flow = flowY(scale, std::uint16_t(r.speed), false);
    FUZZ_CHECK(flow >= kPlotTop - 8 && flow <= kPlotBottom);
    FUZZ_CHECK(flowY(scale, std::uint16_t(r.speed), true) <= kPlotBottom);

    const int row = model.addRow(r, QTime::fromMSecsSinceStartOfDay(int(msOfDay % 86400000u)));
    std::array<QString, 8> cells;
    for (int c = 0; c < 8; ++c)
        cells[std::size_t(c)] = model.cellText(row, c);
    FUZZ_CHECK(cells[0] == QString::number(row));
    FUZZ_CHECK(cells[1].size() == 8);
    FUZZ_CHECK(cells[2] == value && cells[3] == unit);
    FUZZ_CHECK(model.cellText(row, -1).isEmpty() && model.cellText(row, 8).isEmpty());
    FUZZ_CHECK(model.cellText(row + 1, 0).isEmpty() && model.cellText(-1, 0).isEmpty());
    const QString line = textLine(model, row);
    checkLine(cells, line);
    FUZZ_CHECK(csvRecordOf(QStringList(cells.begin(), cells.end())).endsWith("\r\n"));

    // The machine-readable row is always one valid JSON object.
    RowRecord record;
    record.seq = row;
    record.time = model.timestamp(row);
    record.reading = model.reading(row);
    QJsonParseError error{};
    const QByteArray json = jsonRow(rowFields(record), QStringLiteral("fuzz"), QStringLiteral("host"));
    FUZZ_CHECK(QJsonDocument::fromJson(json, &error).isObject() && error.error == QJsonParseError::NoError);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The 16 MiB store is made once, as the window makes it.
    static SampleStore store;
    static ReadingListModel model;
    if (model.itemCount() > 20000)
        model.deleteAll();

    // 1. The bytes as they come off the line, through assembly and storing.
    Input in{data, size};
    FrameAssembler assembler;
    std::atomic<std::uint32_t> pending{0};
    std::size_t frames = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (!assembler.push(data[i])) {
            FUZZ_CHECK(assembler.index() < SampleFrame::kSize);
            continue;
        }
        const SampleFrame &frame = assembler.frame();
        FUZZ_CHECK(frame.bytes[0] == SampleFrame::kSync1 && frame.bytes[1] == SampleFrame::kSync2);
        FUZZ_CHECK(std::memcmp(frame.bytes.data(), data + i + 1 - SampleFrame::kSize, SampleFrame::kSize) == 0);
        ++frames;

        SampleFrame expected = frame;
        correctTemperature(expected);
        const std::uint32_t length = store.length();
        FUZZ_CHECK(storeFrame(frame, store, pending));
        FUZZ_CHECK(store.newest().bytes == expected.bytes);
        FUZZ_CHECK(store.length() == (length + SampleFrame::kSize) % SampleStore::kBytes);
        // While the hand-off is pending the next frame is dropped.
        FUZZ_CHECK(!storeFrame(frame, store, pending));
        FUZZ_CHECK(store.length() == (length + SampleFrame::kSize) % SampleStore::kBytes);
        pending.store(0);

        showReading(decodeFrame(store.newest()), model, std::uint32_t(i) * 7919u);
    }
    FUZZ_CHECK(frames * SampleFrame::kSize <= size);

    // 2. Any 16 bytes as a stored frame: decoding takes whatever the store
    // holds, status bits the instrument never sends included.
    for (std::size_t at = 0; at + SampleFrame::kSize <= size && at < 64 * SampleFrame::kSize;
         at += SampleFrame::kSize) {
        SampleFrame raw;
        std::memcpy(raw.bytes.data(), data + at, SampleFrame::kSize);
        const Reading r = decodeFrame(raw);
        FUZZ_CHECK(r.multiplier == 1 || r.multiplier == 10 || r.multiplier == 100);
        FUZZ_CHECK(r.unit <= 7);
        FUZZ_CHECK(r.value == std::uint32_t(raw.u16(frame_field::reading)) * r.multiplier);
        showReading(r, model, in.u32());
    }

    // 3. The texts on numbers beyond what a frame carries.
    in.at = 0;
    while (!in.done()) {
        switch (in.u8() % 7) {
        case 0: {
            const Quantity mode = Quantity(in.u8() % 3);
            const std::uint8_t unit = in.u8();
            FUZZ_CHECK(valueText(mode, unit, in.u32()).isEmpty() == unitName(mode, unit).isEmpty());
            break;
        }
        case 1:
            FUZZ_CHECK(!humidityText(in.u32()).isEmpty());
            FUZZ_CHECK(!humidityBoxText(in.u32()).isEmpty());
            break;
        case 2: {
            const std::int16_t t = std::int16_t(in.u16());
            const bool f = in.u8() & 1;
            FUZZ_CHECK(!temperatureText(t, f).isEmpty() && !temperatureBoxText(t, f).isEmpty());
            break;
        }
        case 3: {
            const int h = in.i32(), m = in.i32(), s = in.i32();
            const QString text = timeText(h, m, s);
            if (h >= 0 && h <= 99 && m >= 0 && m <= 99 && s >= 0 && s <= 99)
                FUZZ_CHECK(text.size() == 8);
            FUZZ_CHECK(text.size() >= 8);
            break;
        }
        case 4: {
            const std::uint32_t speed = in.u32(), area = in.u32();
            const std::uint8_t unit = in.u8();
            FUZZ_CHECK(airFlow(speed, area, unit, in.u8() & 1) >= 0);
            FUZZ_CHECK(airFlowFactor(unit, false) >= 0);
            break;
        }
        case 5: {
            // Paging over any store length and any page state.
            PageState pages{in.u32(), in.u32()};
            const std::uint32_t length = in.u32();
            pages = pagesAfterSample(pages, length);
            switch (in.u8() % 4) {
            case 0: pages = firstPageOf(pages); break;
            case 1: pages = previousPageOf(pages); break;
            case 2: pages = nextPageOf(pages); break;
            default: pages = lastPageOf(pages); break;
            }
            const int points = storedPagePoints(pages, length);
            FUZZ_CHECK(points >= 0 && points <= kPagePoints);
            FUZZ_CHECK(!pageText(pages).isEmpty());
            for (int k = 0; k < kAxisLabels; ++k)
                FUZZ_CHECK(!sampleLabel(pages, k).isEmpty());
            break;
        }
        default: {
            // 4. A text line from any eight cells, of any length and any
            // UTF-16 code units, lone surrogates included.
            std::array<QString, 8> cells;
            for (QString &cell : cells) {
                const int len = in.u8() % 24;
                for (int k = 0; k < len; ++k)
                    cell.append(QChar(char16_t(in.u16())));
            }
            checkLine(cells, textLineOfCells(cells));
            break;
        }
        }
    }
    return 0;
}
