// Whether a JPEG's bytes reached its end marker. The system's JPEG loader fills the rows of
// a file cut short with grey and calls it whole; following the markers tells the two apart.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zod::cli {

class JpegEnd {
  public:
    // The next `size` bytes of the file, from its first.
    void Feed(const uint8_t* bytes, size_t size);
    // The end marker has gone by: nothing after it belongs to the picture.
    bool Reached() const { return state_ == State::kEnded; }

  private:
    enum class State {
        kBetween,
        kMarker,
        kLengthHigh,
        kLengthLow,
        kSegment,
        kScan,
        kScanFF,
        kEnded
    };
    void Marker(uint8_t code);

    State state_ = State::kBetween;
    uint8_t code_ = 0;
    uint32_t left_ = 0; // bytes of the segment still to skip
};

} // namespace zod::cli
