// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of the frame fuzzer: real frames as the simulated
// instrument sends them, one per quantity, unit, range, hold and marker, and
// streams of several frames with line trouble between them.
//   fuzz_seeds DIR
#include "Simulator.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

bool writeFile(const std::string &path, const Bytes &bytes)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void append(Bytes &out, const FrameFields &fields)
{
    const SampleFrame frame = wireFrame(fields);
    out.insert(out.end(), frame.bytes.begin(), frame.bytes.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<FrameFields> kinds;

    FrameFields base;
    base.humidity = 456;
    base.temperature = 235;
    base.speed = 523;
    base.reading = 523;
    base.area = 250;
    for (std::uint8_t unit = 0; unit < 8; ++unit) { // six known, two beyond the table
        FrameFields f = base;
        f.unit = unit;
        kinds.push_back(f);
    }
    for (std::uint8_t unit = 0; unit < 4; ++unit) {
        FrameFields f = base;
        f.quantity = FrameFields::Quantity::AirFlow;
        f.unit = unit;
        f.areaInFeet = unit % 2 == 1;
        f.reading = 1234;
        kinds.push_back(f);
    }
    for (int multiplier : {10, 100}) {
        FrameFields f = base;
        f.multiplier = multiplier;
        f.reading = 65535;
        kinds.push_back(f);
    }
    {
        FrameFields f = base;
        f.quantity = FrameFields::Quantity::Neither;
        f.hold = FrameFields::Hold::Max;
        f.derived = FrameFields::Derived::DewPoint;
        kinds.push_back(f);
        f.hold = FrameFields::Hold::Min;
        f.derived = FrameFields::Derived::WetBulb;
        f.fahrenheit = true;
        kinds.push_back(f);
    }
    {
        FrameFields cold = base; // -30.0 °C, the wire's lowest
        cold.temperature = -300;
        cold.humidity = 0;
        kinds.push_back(cold);
        FrameFields hot = base;
        hot.temperature = 65535 - 300;
        hot.humidity = 1000;
        hot.area = 9999;
        hot.areaInFeet = true;
        hot.speed = 65535;
        kinds.push_back(hot);
    }

    int written = 0;
    auto save = [&](const char *kind, int n, const Bytes &bytes) {
        char name[64];
        std::snprintf(name, sizeof name, "/%s-%02d", kind, n);
        if (!writeFile(dir + name, bytes)) {
            std::perror((dir + name).c_str());
            return false;
        }
        ++written;
        return true;
    };

    for (std::size_t i = 0; i < kinds.size(); ++i) {
        Bytes one;
        append(one, kinds[i]);
        if (!save("frame", int(i), one))
            return 1;
    }

    // Streams: stray bytes, broken sync pairs and a cut-off frame between
    // whole ones, as a bad line delivers them.
    const Bytes trouble[] = {
        {0x00, 0x55, 0xA0},
        {0xEB, 0x00},
        {0xEB, 0xEB, 0xA0},
        {0xEB, 0x9F},
        {0xEB, 0xA0, 0x01, 0x02, 0x03},
    };
    for (int s = 0; s < 5; ++s) {
        Bytes stream;
        for (std::size_t i = 0; i < kinds.size(); i += std::size_t(s + 2)) {
            const Bytes &t = trouble[(i + std::size_t(s)) % 5];
            stream.insert(stream.end(), t.begin(), t.end());
            append(stream, kinds[i]);
        }
        if (!save("stream", s, stream))
            return 1;
    }
    std::printf("%d seeds in %s\n", written, dir.c_str());
    return 0;
}
