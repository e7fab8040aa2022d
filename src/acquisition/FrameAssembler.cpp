#include "FrameAssembler.h"

#include "SampleStore.h"

bool storeFrame(SampleFrame frame, SampleStore &store, std::atomic<std::uint32_t> &pending)
{
    if (pending.load(std::memory_order_acquire) != 0)
        return false; // the usual case while a frame waits: no lock taken
    correctTemperature(frame);
    return store.appendUnlessPending(frame, pending);
}
