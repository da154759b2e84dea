// A picture shrunk while its file streams past once, in order, for readers that cannot
// seek at will (gdk-pixbuf's byte feed; a Windows stream, through TvqSampleSource). The
// bytes of each sampled source row (TvqSampleIndex) are kept until the row is whole, when
// TvqSampleRow makes its output rows; every other row passes by. So the memory is one
// source row and the output, and a reader may skip, or need not read, the rows between. At
// the end, the pixels the file does not reach take the colour of its last word. With `out`
// equal to the source every row is made, so a full-size reader goes through here too.
#pragma once

#include "common/types.h"
#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_file.h"
#include "formats/core/tvq_plausible.h"

#include <cstddef>
#include <cstdint>

struct TvqSampler {
    ImageExtent source;
    ImageExtent out;
    const TvqTripleTable* table;
    size_t pixelBytes;  // per output pixel, as TvqSampleRow
    uint8_t* pixels;    // the caller's output rows, top first
    size_t stride;      // bytes from one output row to the next
    uint8_t* row;       // the sampled row's bytes, when they come in pieces
    int32_t rowsMade;   // output rows made so far, top first
    int32_t sampledRow; // the source row that output row `rowsMade` samples
    uint64_t position;  // pixel bytes fed or skipped so far
    uint8_t last[2];    // the bytes just before `position`, the latest in last[1]
    int32_t lastKnown;  // how many of them were fed (a skip forgets them)
};

// Prepares `sampler` for `source` (which must have pixels) sampled to `out`, each output
// row made into `pixels` + row * `stride` from `table` with `pixelBytes` bytes a pixel.
// The table and the rows must outlive the sampler. False, with nothing held, when memory
// runs out.
bool TvqStartSampler(ImageExtent source, ImageExtent out, const TvqTripleTable& table,
                     size_t pixelBytes, uint8_t* pixels, size_t stride, TvqSampler* sampler);
void TvqFreeSampler(TvqSampler* sampler);

// The offset of the next pixel byte that matters, or the image's byte count when every
// output row is made. Bytes before it may be skipped with TvqSkipSamplerBytes instead of
// fed; never more.
uint64_t TvqSamplerWants(const TvqSampler& sampler);
void TvqSkipSamplerBytes(TvqSampler* sampler, uint64_t count);

// The next `count` pixel bytes, from `position` on; bytes past the image are ignored.
// The rows they complete are made at once (rowsMade says how many there are).
void TvqFeedSampler(TvqSampler* sampler, const uint8_t* bytes, size_t count);

// The stream has ended at `position`: the rows not yet made are made, with the past-end
// rule. False, with them unmade, when the file ended inside skipped bytes, so its last
// word is unknown, or held no pixel byte at all.
bool TvqFinishSampler(TvqSampler* sampler);

// Gaps between sampled rows of this many bytes or more are skipped rather than read: a
// skip costs the source a seek (or, where it cannot seek, a read through).
constexpr uint64_t kTvqSkipAtLeast = 256 * 1024;

// Reads `source` once, in rising offsets, into `sampler`: the pixel bytes of a file that
// states `fileBytes`, skipping gaps as above, until every output row is made. A source
// that ends sooner is judged again by the plausibility rule, in `verdict`. False when it
// cannot finish: no memory, or the source ended inside a skipped gap, so its last word is
// unknown.
bool TvqSampleSource(const TvqSource& source, uint64_t fileBytes, TvqSampler* sampler,
                     TvqVerdict* verdict);
