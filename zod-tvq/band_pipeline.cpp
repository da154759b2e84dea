#include "zod-tvq/band_pipeline.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace zod::cli {

bool BandPipeline::Run(int count, size_t bandBytes, const Stage& fill, const Stage& empty) {
    try {
        for (auto& buffer : buffers_)
            if (buffer.size() < bandBytes)
                buffer.resize(bandBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }

    // One band has nothing to overlap with, and a thread per file costs a batch of small
    // files more than their conversion.
    if (count <= 1)
        return count < 1 || (fill(0, buffers_[0].data()) && empty(0, buffers_[0].data()));

    std::mutex mutex;
    std::condition_variable changed;
    bool full[2] = {false, false};
    bool stop = false; // either side failed

    auto filler = [&] {
        for (int band = 0; band < count; ++band) {
            const int slot = band % 2;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stop || !full[slot]; });
                if (stop)
                    return;
            }
            const bool ok = fill(band, buffers_[slot].data());
            std::lock_guard<std::mutex> lock(mutex);
            full[slot] = ok;
            stop = stop || !ok;
            changed.notify_all();
            if (!ok)
                return;
        }
    };

    std::thread thread;
    try {
        thread = std::thread(filler);
    } catch (const std::system_error&) {
        return false;
    }

    bool ok = true;
    for (int band = 0; band < count && ok; ++band) {
        const int slot = band % 2;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return stop || full[slot]; });
            ok = full[slot];
        }
        ok = ok && empty(band, buffers_[slot].data());
        std::lock_guard<std::mutex> lock(mutex);
        full[slot] = false;
        stop = stop || !ok;
        changed.notify_all();
    }
    thread.join();
    return ok;
}

} // namespace zod::cli
