#include "formats/core/tvq_scale.h"

#include "common/little_endian.h"

#include <algorithm>
#include <cstring>

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

int32_t TvqSamplesHeld(int32_t held, int32_t outLength, int32_t srcLength) {
    // Sample i lies on the first `held` pixels when (2i + 1) srcLength < 2 outLength held.
    const int64_t over = 2 * int64_t(outLength) * held - srcLength;
    if (over <= 0)
        return 0;
    return int32_t(std::min<int64_t>(outLength, (over + 2 * int64_t(srcLength) - 1) /
                                                    (2 * int64_t(srcLength))));
}

void TvqSampleRow(const TvqTripleTable& table, const uint8_t* words, int32_t held, int32_t width,
                  uint16_t pastEnd, int32_t outWidth, size_t pixelBytes, uint8_t* out) {
    if (outWidth == width && pixelBytes == 3) {
        TvqRunToTriples(table, words, uint64_t(held), size_t(width), pastEnd, out);
        return;
    }
    auto own = [&table, words, width, outWidth](uint64_t i) {
        const int32_t x =
            outWidth == width ? int32_t(i) : TvqSampleIndex(int32_t(i), outWidth, width);
        return table.triple[ReadLe16(words + 2 * size_t(x))];
    };
    TvqFillRun(uint64_t(TvqSamplesHeld(held, outWidth, width)), uint64_t(outWidth), own,
               table.triple[pastEnd], [out, pixelBytes](uint64_t i, const uint8_t* pixel) {
                   memcpy(out + i * pixelBytes, pixel, pixelBytes);
               });
}
