// A thumbnail taken while a TVQ file streams past once, in order: only the words at the
// sample points (TvqSampleIndex) are kept, so the memory is the thumbnail's and a reader
// may skip, or need not read, what lies between them. The short-file rule holds: samples
// the file does not reach take the colour of its last word.
#pragma once

#include "common/types.h"

#include <cstddef>
#include <cstdint>

struct TvqSampler {
    ImageExtent source;
    ImageExtent out;
    int32_t* columns;  // the source column of each output column
    int32_t* rows;     // the source row of each output row
    uint16_t* words;   // out.width x out.height sampled words, top row first
    uint64_t taken;    // samples taken so far, in that order
    uint64_t nextByte; // offset of the next sample's low byte from the first pixel word
    uint64_t position; // pixel bytes fed or skipped so far
    uint8_t last[2];   // the bytes just before `position`, the latest in last[1]
    int32_t lastKnown; // how many of them were fed (a skip forgets them)
};

// Prepares `sampler` for `source` (which must have pixels) sampled to `out` (no larger).
// False, with nothing held, when memory runs out.
bool TvqStartSampler(ImageExtent source, ImageExtent out, TvqSampler* sampler);
void TvqFreeSampler(TvqSampler* sampler);

// The offset of the next byte that matters, or the image's byte count when every sample
// is taken. Bytes before it may be skipped with TvqSkipSamplerBytes instead of fed.
uint64_t TvqSamplerWants(const TvqSampler& sampler);
void TvqSkipSamplerBytes(TvqSampler* sampler, uint64_t count);

// The next `count` pixel bytes, from `position` on.
void TvqFeedSampler(TvqSampler* sampler, const uint8_t* bytes, size_t count);

// The stream has ended at `position`: the samples past it take the past-end word. False
// when the file ended inside skipped bytes, so its last word is unknown.
bool TvqFinishSampler(TvqSampler* sampler);
