#pragma once
// Frames as tests compare them: their bytes, and what a store holds.

#include "SampleFrame.h"
#include "SampleStore.h"

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
