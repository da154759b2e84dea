// What the picture targets check alike of what encode's reader made of an input.
#pragma once

#include "fuzz/fuzz_support.h"
#include "zod-tvq/picture_input.h"

#include <string>

namespace zod::fuzz {

// True when `picture` was accepted, within `limits`, with 3 or 4 channels; a refusal must
// say why.
inline bool CheckOpenedPicture(const cli::PictureInput* picture, const std::string& reason,
                               const cli::PictureLimits& limits) {
    if (!picture) {
        FUZZ_CHECK(!reason.empty());
        return false;
    }
    const ImageExtent extent = picture->Extent();
    const int channels = picture->Channels();
    FUZZ_CHECK(extent.width >= 1 && extent.height >= 1 && (channels == 3 || channels == 4));
    FUZZ_CHECK(uint64_t(extent.width) * uint64_t(extent.height) <= limits.maxPixels);
    return true;
}

} // namespace zod::fuzz
