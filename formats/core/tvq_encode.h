// TVQ encoding: pictures to the words the decoder reads, as its exact inverse at a factor.
//
// Each 8-bit channel c becomes clamp(round(c / factor), 0, 31), so decoding gives back c
// within factor / 2 wherever c <= 31 x factor, and every word whose channels times the
// factor stay within 255 (bit 5 clear) survives decode-then-encode unchanged. Bit 5 and
// every header byte but the size fields are written as 0.
#pragma once

#include "common/types.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t kTvqMaxSide = 32767; // the header's fields are signed 16-bit
constexpr size_t kTvqHeaderBytes = 32;

// The header for an image of `extent`, both sides 1 .. kTvqMaxSide.
void TvqWriteHeader(ImageExtent extent, uint8_t* header);

// The five-bit level nearest to `value` (0..255) at `factor` (at least 1, up to INT32_MAX:
// in 64 bits, so that the largest factors give 0 rather than overflow).
inline int32_t TvqQuantise(int32_t value, int32_t factor) {
    const int64_t level = (2 * int64_t(value) + factor) / (2 * int64_t(factor)); // half up
    return level > 31 ? 31 : int32_t(level);
}

// Each channel value's bits of the word at one factor, for whole rows.
struct TvqEncodeTable {
    int32_t factor;
    uint16_t red[256];
    uint16_t green[256];
    uint16_t blue[256];
};
void MakeTvqEncodeTable(int32_t factor, TvqEncodeTable* table);

// `count` pixels of `channels` bytes each (3: RGB, 4: RGBA with alpha composited over
// black, the viewer's background) as little-endian words.
void TvqPixelsToWords(const TvqEncodeTable& table, const uint8_t* pixels, int channels,
                      size_t count, uint8_t* words);

// The same with Floyd-Steinberg error diffusion. Rows go top to bottom, each through this
// call; `errors` holds 6 x (width + 2) values, all 0 before the first row.
void TvqDitherRowToWords(const TvqEncodeTable& table, const uint8_t* pixels, int channels,
                         int32_t width, int32_t* errors, uint8_t* words);
