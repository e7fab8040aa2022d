// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole recording: a preallocated ring of frames with its write length.
//
// The reader thread appends; the user-interface thread reads slots below the
// write length and empties the store on RESET. Appending and emptying are
// serialised, so an append in flight can never put back a length from before
// an emptying. Readers load the length with acquire ordering and only touch
// slots below it, which the reader finished writing before it published the
// length (release).

#include "Frame.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class SampleStore {
public:
    static constexpr std::uint32_t kSlots = 1048576;
    static constexpr std::uint32_t kBytes = kSlots * SampleFrame::kSize; // 16 MiB

    SampleStore();
    SampleStore(const SampleStore &) = delete;
    SampleStore &operator=(const SampleStore &) = delete;

    // Write length in bytes: the offset of the next slot to be written.
    std::uint32_t length() const { return length_.load(std::memory_order_acquire); }
    // Whole frames below the write length.
    std::uint32_t sampleCount() const { return length() / SampleFrame::kSize; }

    const SampleFrame &slot(std::uint32_t index) const { return slots_[index % kSlots]; }

    // The frame the reader wrote last: just below the write length normally,
    // the last slot right after a wrap, and still the same slot after clear().
    const SampleFrame &newest() const { return slots_[lastSlot_.load(std::memory_order_acquire)]; }

    // Reader side: copy the frame into the slot at the write length and
    // advance it, wrapping to 0 after the last slot.
    void append(const SampleFrame &frame);
    // The same, then `publish()` (the reader raises `pending` there) in one
    // step for clear().
    template <class Publish>
    void append(const SampleFrame &frame, Publish &&publish)
    {
        std::lock_guard lock(writeMutex_);
        appendLocked(frame);
        publish();
    }

    // RESET: the store is empty afterwards; the bytes are left as they are.
    // With `pending`, that flag is cleared in the same step, so no frame
    // stored before can still be waiting afterwards.
    void clear(std::atomic<std::uint32_t> *pending = nullptr);

private:
    void appendLocked(const SampleFrame &frame);

    struct Free {
        void operator()(SampleFrame *p) const noexcept;
    };
    std::unique_ptr<SampleFrame[], Free> slots_;
    std::atomic<std::uint32_t> length_{0};
    std::atomic<std::uint32_t> lastSlot_{kSlots - 1};
    std::mutex writeMutex_;
};
