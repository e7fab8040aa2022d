// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Frames as tests compare them: their bytes, and what a store holds.

#include "FrameAssembler.h"
#include "Frame.h"
#include "SampleStore.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<std::uint8_t> bytesOf(const SampleFrame &f) { return {f.bytes.begin(), f.bytes.end()}; }

// The frames of `store`, oldest first (a store that has not wrapped).
inline std::vector<SampleFrame> storedFrames(const SampleStore &store)
{
    std::vector<SampleFrame> out;
    for (std::uint32_t i = 0; i < store.sampleCount(); ++i)
        out.push_back(store.slot(i));
    return out;
}

// How many of `stored`, from the first, are frames of `sent` with their
// temperature corrected, in the order sent (frames may be missing between).
inline std::size_t sentInOrder(const std::vector<SampleFrame> &stored, const std::vector<SampleFrame> &sent)
{
    std::size_t next = 0, found = 0;
    for (; found < stored.size(); ++found) {
        SampleFrame expected;
        do {
            if (next == sent.size())
                return found;
            expected = sent[next++];
            correctTemperature(expected);
        } while (expected.bytes != stored[found].bytes);
    }
    return found;
}
