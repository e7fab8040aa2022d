// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Frame assembly by the two sync bytes, and the step that puts a complete
// frame into the store. Both are pure and allocation-free, so the reader
// thread (and a test) can push bytes through them as fast as it likes.

#include "Frame.h"

#include <atomic>
#include <cstdint>

class FrameAssembler {
public:
    // Takes the next byte of the stream. Returns true when it completed a
    // frame; frame() then holds it until the next push().
    //   index 0: 0xEB moves on to 1, anything else is skipped;
    //   index 1: 0xA0 moves on to 2, anything else restarts at 0 (the
    //            rejected byte is not looked at again as a first sync byte);
    //   index 2..15: collected; at 16 the frame is complete.
    // No partial frame ever times out.
    bool push(std::uint8_t byte)
    {
        buffer_.bytes[index_] = byte;
        switch (index_) {
        case 0:
            if (byte == SampleFrame::kSync1)
                index_ = 1;
            return false;
        case 1:
            index_ = (byte == SampleFrame::kSync2) ? 2 : 0;
            return false;
        default:
            if (++index_ == SampleFrame::kSize) {
                index_ = 0;
                return true;
            }
            return false;
        }
    }

    const SampleFrame &frame() const { return buffer_; }
    std::uint32_t index() const { return index_; }
    // Back to looking for the first sync byte (a new run, a reopened port).
    void reset() { index_ = 0; }

private:
    SampleFrame buffer_{};
    std::uint32_t index_ = 0;
};

// Stores a complete frame unless the previous one still waits for its
// hand-off: while `pending` is set the frame is dropped at once. Otherwise
// the temperature is corrected, the frame appended (the store publishes its
// write length with release ordering) and only then `pending` is set
// (release), so whoever sees `pending` also sees the frame and the length.
// The store does the append and the flag in one step with its clear(), so
// RESET never sees a frame appended without its flag, or a flag without its
// frame. Returns true when the frame was stored. `Store` is SampleStore; a
// test puts a stand-in there to watch the order.
template <class Store>
bool storeFrame(SampleFrame frame, Store &store, std::atomic<std::uint32_t> &pending)
{
    if (pending.load(std::memory_order_acquire) != 0)
        return false; // the usual case while a frame waits: no lock taken
    correctTemperature(frame);
    store.append(frame, [&pending] { pending.store(1, std::memory_order_release); });
    return true;
}
