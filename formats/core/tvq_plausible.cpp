#include "formats/core/tvq_plausible.h"

#include "formats/core/tvq_decode.h"

#include <cstring>

bool TvqHoldsEnough(ImageExtent extent, uint64_t storedWords) {
    const uint64_t pixels = TvqImageWords(extent);
    return pixels <= kTvqAlwaysPlausiblePixels ||
           storedWords >= (pixels + kTvqMaxPixelsPerStoredWord - 1) / kTvqMaxPixelsPerStoredWord;
}

bool TvqWithinLimit(ImageExtent extent, uint64_t maxPixels) {
    return TvqImageWords(extent) <= maxPixels;
}

TvqVerdict TvqCheckFile(ImageExtent extent, uint64_t fileBytes, uint64_t maxPixels) {
    if (fileBytes < kTvqSizeFieldsBytes)
        return TVQ_TOO_SHORT;
    const uint64_t pixels = TvqImageWords(extent);
    if (pixels == 0)
        return TVQ_NO_SIZE;
    if (fileBytes <= kTvqPixelsOffset)
        return TVQ_NO_PIXELS;
    if (!TvqWithinLimit(extent, maxPixels))
        return TVQ_TOO_LARGE;
    if (!TvqHoldsEnough(extent, TvqStoredWords(fileBytes)))
        return TVQ_TOO_SPARSE;
    return TVQ_PLAUSIBLE;
}

const char* TvqOtherFormat(const uint8_t* start, size_t count) {
    auto startsWith = [&](const char* signature, size_t length) {
        return count >= length && memcmp(start, signature, length) == 0;
    };
    // A BMP file's reserved fields (bytes 6 to 9) are zero: "BM" alone is too common.
    if (startsWith("BM", 2) && count >= 10 && !start[6] && !start[7] && !start[8] && !start[9])
        return "BMP";
    if (startsWith("\x89PNG\r\n\x1a\n", 8))
        return "PNG";
    if (startsWith("\xff\xd8\xff", 3))
        return "JPEG";
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6))
        return "GIF";
    return nullptr;
}

TvqVerdict TvqCheckStart(const uint8_t* start, uint64_t fileBytes, uint64_t maxPixels) {
    const size_t count = fileBytes < kTvqSizeFieldsBytes ? size_t(fileBytes) : kTvqSizeFieldsBytes;
    if (TvqOtherFormat(start, count))
        return TVQ_OTHER_FORMAT;
    const ImageExtent extent =
        count == kTvqSizeFieldsBytes ? TvqExtentFromHeader(start) : ImageExtent{0, 0};
    return TvqCheckFile(extent, fileBytes, maxPixels);
}
