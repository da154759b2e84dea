#include "formats/tvq_scale.h"

#include <algorithm>

ImageExtent TvqFitExtent(ImageExtent source, int32_t maxWidth, int32_t maxHeight) {
    const int64_t w = source.width, h = source.height;
    int64_t outW = std::min<int64_t>(w, std::max<int32_t>(maxWidth, 1));
    int64_t outH = std::min<int64_t>(h, std::max<int32_t>(maxHeight, 1));
    // Keep the aspect: shrink whichever side overshoots, rounding to the nearest pixel.
    if (outW * h > outH * w)
        outW = std::max<int64_t>(1, (outH * w + h / 2) / h);
    else
        outH = std::max<int64_t>(1, (outW * h + w / 2) / w);
    return ImageExtent{int32_t(outW), int32_t(outH)};
}
