#include "formats/tvq_scale.h"

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

int32_t TvqRowWordsHeld(ImageExtent extent, int32_t y, uint64_t storedWords) {
    const uint64_t first = uint64_t(y) * uint64_t(extent.width);
    if (storedWords <= first)
        return 0;
    return int32_t(std::min<uint64_t>(storedWords - first, uint64_t(extent.width)));
}

void TvqSampleRow(const TvqTripleTable& table, const uint8_t* words, int32_t held, int32_t width,
                  uint16_t pastEnd, int32_t outWidth, size_t pixelBytes, uint8_t* out) {
    const uint8_t* pastEndPixel = table.triple[pastEnd];
    if (outWidth == width && pixelBytes == 3) {
        TvqWordsToTriples(table, words, size_t(held), out);
        for (int32_t x = held; x < width; ++x)
            memcpy(out + 3 * size_t(x), pastEndPixel, 3);
        return;
    }
    for (int32_t i = 0; i < outWidth; ++i, out += pixelBytes) {
        const int32_t x = outWidth == width ? i : TvqSampleIndex(i, outWidth, width);
        memcpy(out, x < held ? table.triple[ReadLe16(words + 2 * size_t(x))] : pastEndPixel,
               pixelBytes);
    }
}
