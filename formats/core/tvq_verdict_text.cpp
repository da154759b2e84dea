#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_encode.h"
#include "formats/core/tvq_plausible.h"

#include <cinttypes>
#include <cstdio>

const char* TvqVerdictName(TvqVerdict verdict) {
    switch (verdict) {
    case TVQ_PLAUSIBLE:
        return "plausible";
    case TVQ_TOO_SHORT:
        return "too-short";
    case TVQ_NO_SIZE:
        return "no-size";
    case TVQ_NO_PIXELS:
        return "no-pixels";
    case TVQ_TOO_LARGE:
        return "too-large";
    case TVQ_TOO_SPARSE:
        return "too-sparse";
    case TVQ_OTHER_FORMAT:
        return "other-format";
    }
    return "unknown";
}

void TvqLimitText(ImageExtent extent, uint64_t maxPixels, char* text, size_t capacity) {
    if (capacity > 0)
        snprintf(text, capacity,
                 "%" PRId32 " x %" PRId32 " pixels, larger than --max-pixels allows (%" PRIu64 ")",
                 extent.width, extent.height, maxPixels);
}

void TvqPictureText(uint64_t width, uint64_t height, uint64_t maxPixels, char* text,
                    size_t capacity) {
    if (capacity == 0)
        return;
    text[0] = '\0';
    if (width > uint64_t(kTvqMaxSide) || height > uint64_t(kTvqMaxSide))
        snprintf(text, capacity, "%" PRIu64 " x %" PRIu64 " pixels: TVQ holds at most %" PRId32
                 " on a side", width, height, kTvqMaxSide);
    else if (!TvqWithinLimit({int32_t(width), int32_t(height)}, maxPixels))
        TvqLimitText({int32_t(width), int32_t(height)}, maxPixels, text, capacity);
}

void TvqVerdictText(TvqVerdict verdict, const uint8_t* start, uint64_t fileBytes,
                    uint64_t maxPixels, char* text, size_t capacity) {
    if (capacity == 0)
        return;
    const size_t count = fileBytes < kTvqSizeFieldsBytes ? size_t(fileBytes) : kTvqSizeFieldsBytes;
    const ImageExtent extent =
        count == kTvqSizeFieldsBytes ? TvqExtentFromHeader(start) : ImageExtent{0, 0};
    const int32_t w = extent.width, h = extent.height;
    switch (verdict) {
    case TVQ_OTHER_FORMAT:
        snprintf(text, capacity, "a %s file, not TVQ", TvqOtherFormat(start, count));
        return;
    case TVQ_TOO_SHORT:
        snprintf(text, capacity, "shorter than the size fields (%" PRIu64 " of %zu bytes)",
                 fileBytes, kTvqSizeFieldsBytes);
        return;
    case TVQ_NO_SIZE:
        snprintf(text, capacity, "zero or negative size (%" PRId32 " x %" PRId32 ")", w, h);
        return;
    case TVQ_NO_PIXELS:
        snprintf(text, capacity, "no pixels: the file ends within its %" PRIu64 "-byte header",
                 kTvqPixelsOffset);
        return;
    case TVQ_TOO_LARGE:
        TvqLimitText(extent, maxPixels, text, capacity);
        return;
    case TVQ_TOO_SPARSE:
        snprintf(text, capacity,
                 "claims %" PRId32 " x %" PRId32 " pixels but holds only %" PRIu64
                 " of them (less than 1 in %" PRIu64
                 "): probably not a TVQ image; zod-tvq convert --allow-sparse converts it anyway",
                 w, h, TvqStoredWords(fileBytes), kTvqMaxPixelsPerStoredWord);
        return;
    case TVQ_PLAUSIBLE:
        break;
    }
    text[0] = '\0';
}
