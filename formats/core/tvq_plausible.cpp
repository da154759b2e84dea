#include "formats/core/tvq_plausible.h"

#include "formats/core/tvq_decode.h"

bool TvqHoldsEnough(ImageExtent extent, uint64_t storedWords) {
    const uint64_t pixels = TvqImageWords(extent);
    return pixels <= kTvqAlwaysPlausiblePixels ||
           storedWords >= (pixels + kTvqMaxPixelsPerStoredWord - 1) / kTvqMaxPixelsPerStoredWord;
}

TvqVerdict TvqCheckFile(ImageExtent extent, uint64_t fileBytes) {
    if (fileBytes < kTvqSizeFieldsBytes)
        return TVQ_TOO_SHORT;
    const uint64_t pixels = TvqImageWords(extent);
    if (pixels == 0)
        return TVQ_NO_SIZE;
    if (fileBytes <= kTvqPixelsOffset)
        return TVQ_NO_PIXELS;
    if (pixels > kTvqMaxPixels)
        return TVQ_TOO_LARGE;
    if (!TvqHoldsEnough(extent, TvqStoredWords(fileBytes)))
        return TVQ_TOO_SPARSE;
    return TVQ_PLAUSIBLE;
}
