// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleStore.h"

#include <cstdlib>
#include <new>

// Zeroed by calloc: the system hands out zero pages as they are first
// touched, where writing 16 MiB of zeros up front made every start wait for
// all of them.
SampleStore::SampleStore() : slots_(static_cast<SampleFrame *>(std::calloc(kSlots, sizeof(SampleFrame))))
{
    if (!slots_)
        throw std::bad_alloc();
}

void SampleStore::Free::operator()(SampleFrame *p) const noexcept { std::free(p); }

void SampleStore::append(const SampleFrame &frame)
{
    std::lock_guard lock(writeMutex_);
    appendLocked(frame);
}

void SampleStore::appendLocked(const SampleFrame &frame)
{
    const std::uint32_t offset = length_.load(std::memory_order_relaxed);
    const std::uint32_t index = offset / SampleFrame::kSize;
    slots_[index] = frame;
    lastSlot_.store(index, std::memory_order_release);
    std::uint32_t next = offset + SampleFrame::kSize;
    if (next >= kBytes)
        next = 0;
    length_.store(next, std::memory_order_release);
}

void SampleStore::clear(std::atomic<std::uint32_t> *pending)
{
    std::lock_guard lock(writeMutex_);
    length_.store(0, std::memory_order_release);
    if (pending)
        pending->store(0, std::memory_order_release);
}
