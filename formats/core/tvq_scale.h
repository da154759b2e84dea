// Pictures made smaller while they are decoded, for thumbnails: one sample per output
// pixel, taken at the centre of the source span it stands for, so a reader needs only the
// sampled rows and never the whole picture. Every reader that shrinks (the gdk-pixbuf
// module, the Qt plugin, the Windows thumbnail provider) goes through these functions, so
// a thumbnail is the same picture whichever program asks.
//
// A reader shrinking a picture of width x height to outWidth x outHeight (at most the
// source in each direction, see TvqFitExtent) makes output row j from source row
// TvqSampleIndex(j, outHeight, height). Those rows rise strictly with j, so a reader that
// streams the file keeps the next one it waits for and skips every other row; a reader
// that may seek reads the sampled rows alone (and the file's last word, for pixels past
// its end). Each sampled row then becomes one output row through TvqSampleRow.
#pragma once

#include "common/types.h"
#include "formats/core/tvq_decode.h"

#include <cstddef>
#include <cstdint>

// The source column (or row) that output column `i` of `outLength` samples.
inline int32_t TvqSampleIndex(int32_t i, int32_t outLength, int32_t srcLength) {
    return int32_t((2 * int64_t(i) + 1) * srcLength / (2 * int64_t(outLength)));
}

// The largest extent inside maxWidth x maxHeight with the source's aspect ratio, never
// larger than the source and at least 1 x 1. The source must have pixels.
ImageExtent TvqFitExtent(ImageExtent source, int32_t maxWidth, int32_t maxHeight);

// How many of `outLength` samples of a source `srcLength` long fall on its first `held`
// pixels: the output pixels of a row that take words the file holds.
int32_t TvqSamplesHeld(int32_t held, int32_t outLength, int32_t srcLength);

// One output row of `outWidth` pixels (1 .. width) from a source row of `width` pixels,
// whose first `held` words (0 .. width, little-endian) are at `words`; the pixels past
// them take `pastEnd`'s colour. Each output pixel is `pixelBytes` bytes: 3 gives the
// table's triples; 4 gives whole table entries, whose fourth byte is 0xFF (with a
// blue-first table, the 32-bit 0xFFRRGGBB of a little-endian machine). With outWidth
// equal to width every pixel is copied.
void TvqSampleRow(const TvqTripleTable& table, const uint8_t* words, int32_t held, int32_t width,
                  uint16_t pastEnd, int32_t outWidth, size_t pixelBytes, uint8_t* out);
