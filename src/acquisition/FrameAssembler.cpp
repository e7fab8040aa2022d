#include "FrameAssembler.h"

#include "SampleStore.h"

bool storeFrame(SampleFrame frame, SampleStore &store, std::atomic<std::uint32_t> &pending)
{
    if (pending.load(std::memory_order_acquire) != 0)
        return false;
    correctTemperature(frame);
    store.append(frame);
    pending.store(1, std::memory_order_release);
    return true;
}
