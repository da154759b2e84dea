// The limits every picture reader applies, on both systems, in the same words.
#include "zod-tvq/picture_input.h"

#include "formats/core/tvq_plausible.h"

namespace zod::cli {

std::string PictureSizeRefusal(uint64_t width, uint64_t height, const PictureLimits& limits) {
    char text[kTvqVerdictTextCapacity];
    TvqPictureText(width, height, limits.maxPixels, text, sizeof text);
    return text;
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
