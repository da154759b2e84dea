// Two threads over two buffers: one fills band i + 1 while the other empties band i.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zod::cli {

class BandPipeline {
  public:
    using Stage = std::function<bool(int band, uint8_t* bytes)>;

    // Runs `fill` for bands 0 .. count - 1 on a second thread and `empty` for each filled
    // band, in order, on this one. Stops at the first stage that returns false, and
    // returns whether every band went through. Buffers of `bandBytes` are kept for the
    // next run. False too when the memory or the thread cannot be had. A single band is
    // filled and emptied on this thread.
    bool Run(int count, size_t bandBytes, const Stage& fill, const Stage& empty);

  private:
    std::vector<uint8_t> buffers_[2];
};

} // namespace zod::cli
