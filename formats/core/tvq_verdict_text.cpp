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
    }
    return "unknown";
}

void TvqVerdictText(TvqVerdict verdict, ImageExtent extent, uint64_t storedWords, char* text,
                    size_t capacity) {
    if (capacity == 0)
        return;
    const int32_t w = extent.width, h = extent.height;
    switch (verdict) {
    case TVQ_TOO_SHORT:
        snprintf(text, capacity, "shorter than the size fields");
        return;
    case TVQ_NO_SIZE:
        snprintf(text, capacity, "zero or negative size (%" PRId32 " x %" PRId32 ")", w, h);
        return;
    case TVQ_NO_PIXELS:
        snprintf(text, capacity, "no pixel word");
        return;
    case TVQ_TOO_LARGE:
        snprintf(text, capacity,
                 "claims %" PRId32 " x %" PRId32 " pixels, more than %" PRIu64 ": not a TVQ image", w,
                 h, kTvqMaxPixels);
        return;
    case TVQ_TOO_SPARSE:
        snprintf(text, capacity,
                 "claims %" PRId32 " x %" PRId32 " pixels but holds only %" PRIu64
                 " of them (less than 1 in %" PRIu64
                 "): probably not a TVQ image; --allow-sparse converts it anyway",
                 w, h, storedWords, kTvqMaxPixelsPerStoredWord);
        return;
    case TVQ_PLAUSIBLE:
        break;
    }
    text[0] = '\0';
}
