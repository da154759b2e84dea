// Pictures made smaller while they are decoded, for thumbnails: one sample per output
// pixel, taken at the centre of the source span it stands for, so a reader needs only the
// sampled rows and never the whole picture.
#pragma once

#include "common/types.h"

#include <cstdint>

// The source column (or row) that output column `i` of `outLength` samples.
inline int32_t TvqSampleIndex(int32_t i, int32_t outLength, int32_t srcLength) {
    return int32_t((2 * int64_t(i) + 1) * srcLength / (2 * int64_t(outLength)));
}

// The largest extent inside maxWidth x maxHeight with the source's aspect ratio, never
// larger than the source and at least 1 x 1. The source must have pixels.
ImageExtent TvqFitExtent(ImageExtent source, int32_t maxWidth, int32_t maxHeight);
