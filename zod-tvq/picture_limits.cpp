// The limits every picture reader applies, on both systems, in the same words.
#include "zod-tvq/picture_input.h"

#include "zod-tvq/verdict.h"

namespace zod::cli {

std::string PictureSizeRefusal(uint64_t width, uint64_t height, const PictureLimits& limits) {
    if (width > uint64_t(limits.maxSide) || height > uint64_t(limits.maxSide))
        return std::to_string(width) + " x " + std::to_string(height) +
               " pixels: TVQ holds at most " + std::to_string(limits.maxSide) + " on a side";
    return PictureRefusal({int32_t(width), int32_t(height)}, limits.maxPixels);
}

uint64_t PictureByteLimit(uint64_t maxPixels) {
    const uint64_t kOther = uint64_t(64) << 20;
    return maxPixels > (UINT64_MAX - kOther) / 4 ? UINT64_MAX : 4 * maxPixels + kOther;
}

std::string PictureBytesRefusal(uint64_t maxPixels) {
    return "more than " + std::to_string(PictureByteLimit(maxPixels)) +
           " bytes, more than any picture --max-pixels allows (" + std::to_string(maxPixels) +
           ") takes";
}

} // namespace zod::cli
