// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameAssembler.h"
#include "Frames.h"
#include "SampleStore.h"
#include "Simulator.h"

#include <gtest/gtest.h>

#include <functional>

#include <vector>

namespace {

// Feeds `stream` and returns every frame the assembler completed.
std::vector<SampleFrame> assemble(FrameAssembler &a, const std::vector<std::uint8_t> &stream)
{
    std::vector<SampleFrame> frames;
    for (std::uint8_t b : stream) {
        if (a.push(b))
            frames.push_back(a.frame());
    }
    return frames;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::uint8_t> kFourteen = {0x01, 0x02, 0x01, 0xC8, 0x02, 0x17, 0x04,
                                             0xD2, 0x00, 0xFA, 0x00, 0x00, 0x12, 0x34};

SampleFrame sample(int n)
{
    FrameFields f;
    f.humidity = static_cast<std::uint16_t>(400 + n);
    f.temperature = 200 + n;
    f.speed = static_cast<std::uint16_t>(n);
    f.reading = static_cast<std::uint16_t>(n);
    f.spare = static_cast<std::uint16_t>(n);
    return wireFrame(f);
}

} // namespace

TEST(FrameAssembly, StrayByteBeforeSyncPairGivesOneFrame)
{
    FrameAssembler a;
    const auto frames = assemble(a, std::vector<std::uint8_t>{0x00, 0xEB, 0xA0} + kFourteen);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(bytesOf(frames[0]), (std::vector<std::uint8_t>{0xEB, 0xA0} + kFourteen));
    EXPECT_EQ(a.index(), 0u);
}

TEST(FrameAssembly, WrongSecondSyncByteRestartsAtNextFirstSync)
{
    FrameAssembler a;
    EXPECT_TRUE(assemble(a, std::vector<std::uint8_t>{0xEB, 0x00, 0xA0} + kFourteen).empty());
    // The fourteen bytes hold no 0xEB, so assembly waits at the start.
    EXPECT_EQ(a.index(), 0u);
    const auto frames = assemble(a, bytesOf(sample(1)));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(bytesOf(frames[0]), bytesOf(sample(1)));
}

TEST(FrameAssembly, RejectedFirstSyncByteIsNotTakenAsANewStart)
{
    FrameAssembler a;
    EXPECT_TRUE(assemble(a, std::vector<std::uint8_t>{0xEB, 0xEB, 0xA0} + kFourteen).empty());
    EXPECT_EQ(a.index(), 0u);
}

TEST(FrameAssembly, GarbageSplitAndBackToBackFrames)
{
    FrameAssembler a;
    // Garbage without a first sync byte changes nothing.
    EXPECT_TRUE(assemble(a, {0x00, 0xA0, 0xFF, 0x12, 0xA0, 0xA0}).empty());
    EXPECT_EQ(a.index(), 0u);

    // A frame whose data holds a sync pair is still one frame, and a frame
    // pushed in pieces completes on its last byte, however late.
    FrameFields tricky;
    tricky.reading = 0xEBA0;
    tricky.speed = 0xEBEB;
    const SampleFrame t = wireFrame(tricky);
    const auto whole = bytesOf(t);
    EXPECT_TRUE(assemble(a, {whole.begin(), whole.begin() + 5}).empty());
    EXPECT_EQ(a.index(), 5u);
    auto frames = assemble(a, {whole.begin() + 5, whole.end()});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(bytesOf(frames[0]), whole);

    // Three frames back to back, then garbage, then one more.
    const auto stream = bytesOf(sample(1)) + bytesOf(sample(2)) + bytesOf(sample(3)) +
                        std::vector<std::uint8_t>{0x00, 0xEB, 0x01} + bytesOf(sample(4));
    frames = assemble(a, stream);
    ASSERT_EQ(frames.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bytesOf(frames[static_cast<std::size_t>(i)]), bytesOf(sample(i + 1))) << i;
}

TEST(FrameAssembly, ResetDropsAPartialFrame)
{
    FrameAssembler a;
    const auto whole = bytesOf(sample(7));
    assemble(a, {whole.begin(), whole.begin() + 9});
    a.reset();
    const auto frames = assemble(a, whole);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(bytesOf(frames[0]), whole);
}

TEST(StoreFrame, CorrectsTemperatureModulo65536)
{
    struct Case {
        std::uint16_t wire, stored;
    } cases[] = {{0x0000, 0xFED4}, {0x012C, 0x0000}, {0x0217, 0x00EB}, {0xFFFF, 0xFED3}};
    SampleStore store;
    std::atomic<std::uint32_t> pending{0};
    for (const Case &c : cases) {
        SampleFrame f = sample(1);
        f.setU16(frame_field::temperature, c.wire);
        ASSERT_TRUE(storeFrame(f, store, pending));
        EXPECT_EQ(store.newest().u16(frame_field::temperature), c.stored) << std::hex << c.wire;
        // Everything else is stored as received.
        SampleFrame expected = f;
        expected.setU16(frame_field::temperature, c.stored);
        EXPECT_EQ(bytesOf(store.newest()), bytesOf(expected));
        EXPECT_EQ(pending.load(), 1u);
        pending.store(0);
    }
    EXPECT_EQ(store.length(), 4u * SampleFrame::kSize);
    EXPECT_EQ(store.newest().s16(frame_field::temperature), -301);
}

// Whoever sees `pending` finds the frame stored: the store is written while
// `pending` is still down.
TEST(StoreFrame, FrameIsStoredBeforePendingIsRaised)
{
    std::atomic<std::uint32_t> pending{0};
    struct WatchedStore {
        const std::atomic<std::uint32_t> &pending;
        std::vector<std::uint32_t> pendingAtAppend;
        void append(const SampleFrame &, const std::function<void()> &publish)
        {
            pendingAtAppend.push_back(pending.load());
            publish();
        }
    } store{pending, {}};
    ASSERT_TRUE(storeFrame(sample(1), store, pending));
    EXPECT_EQ(store.pendingAtAppend, std::vector<std::uint32_t>{0});
    EXPECT_EQ(pending.load(), 1u);
}

TEST(StoreFrame, FrameCompletedWhilePendingIsDropped)
{
    SampleStore store;
    std::atomic<std::uint32_t> pending{0};
    ASSERT_TRUE(storeFrame(sample(1), store, pending));
    const auto before = bytesOf(store.slot(0));

    EXPECT_FALSE(storeFrame(sample(2), store, pending));
    EXPECT_EQ(store.length(), SampleFrame::kSize);
    EXPECT_EQ(bytesOf(store.slot(0)), before);
    EXPECT_EQ(bytesOf(store.slot(1)), bytesOf(SampleFrame{}));
    EXPECT_EQ(pending.load(), 1u);

    // Once the hand-off is done the next frame goes in.
    pending.store(0);
    EXPECT_TRUE(storeFrame(sample(3), store, pending));
    EXPECT_EQ(store.length(), 2u * SampleFrame::kSize);
    EXPECT_EQ(store.slot(1).u16(frame_field::spare), 3u);
}

TEST(StoreFrame, RingWrapsAfterTheLastSlot)
{
    SampleStore store;
    std::atomic<std::uint32_t> pending{0};
    FrameAssembler a;
    SampleFrame f = sample(0);
    std::uint32_t stored = 0;
    for (std::uint32_t i = 0; i < SampleStore::kSlots; ++i) {
        f.setU16(frame_field::spare, static_cast<std::uint16_t>(i));
        f.setU16(frame_field::area, static_cast<std::uint16_t>(i >> 16));
        for (std::uint8_t b : f.bytes) {
            if (a.push(b) && storeFrame(a.frame(), store, pending))
                ++stored;
        }
        pending.store(0, std::memory_order_release);
        if (i == SampleStore::kSlots - 2) {
            ASSERT_EQ(store.length(), SampleStore::kBytes - SampleFrame::kSize);
        }
    }
    ASSERT_EQ(stored, SampleStore::kSlots);
    EXPECT_EQ(store.length(), 0u);
    EXPECT_EQ(store.newest().u16(frame_field::spare), 0xFFFFu);
    EXPECT_EQ(store.newest().u16(frame_field::area), 0x000Fu);
    EXPECT_EQ(store.slot(0).u16(frame_field::spare), 0u);

    // The next frame overwrites the oldest, at offset 0.
    f.setU16(frame_field::spare, 0xBEEF);
    for (std::uint8_t b : f.bytes) {
        if (a.push(b)) {
            ASSERT_TRUE(storeFrame(a.frame(), store, pending));
        }
    }
    EXPECT_EQ(store.length(), SampleFrame::kSize);
    EXPECT_EQ(store.slot(0).u16(frame_field::spare), 0xBEEFu);
    EXPECT_EQ(store.slot(1).u16(frame_field::spare), 1u);
}
