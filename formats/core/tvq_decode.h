// TVQ decoding with no window system: the format's rules in one place, for the viewer's
// drawing and for tools that have no window.
//
// TVQ files, as far as they are read (all values little-endian):
//
//   offset  size   field
//   0       4      -        not used
//   4       2      width    signed 16-bit, pixels per row
//   6       2      -        not used
//   8       2      height   signed 16-bit, rows
//   10      22     -        not used
//   32      2 * n  pixels   one word per pixel, top row first, left to right, no row padding
//
//   pixel word:  bits 15..11 red | 10..6 green | 5 unused | 4..0 blue
//
// Each channel is multiplied by the amplification factor and clamped to 0..255.
// Files are often shorter than their header claims. Every pixel past the end takes the
// colour of the file's last word, and a lone last byte is a word whose high byte is 0,
// so any pixel's colour is known without reading the words before it.
#pragma once

#include "common/little_endian.h"
#include "common/types.h"

#include <cstddef>
#include <cstdint>

constexpr uint64_t kTvqPixelsOffset = 32;
constexpr size_t kTvqSizeFieldsBytes = 10; // a file must reach the height field

// --- header ---------------------------------------------------------------------------
// The size fields of a header of at least kTvqSizeFieldsBytes bytes.
ImageExtent TvqExtentFromHeader(const uint8_t* header);
// width x height, or 0 when either is 0 or less.
uint64_t TvqImageWords(ImageExtent extent);
// Words a file of `fileBytes` bytes holds; a lone last byte counts as a word.
uint64_t TvqStoredWords(uint64_t fileBytes);

// --- colours --------------------------------------------------------------------------
// Colours for one factor as 0x00BBGGRR, red in the low byte: red and green together by
// the word's top ten bits (bit 5 is not part of them), blue by its low five.
struct TvqPalette {
    uint32_t redGreen[1024];
    uint32_t blue[32];
};
void MakeTvqPalette(int32_t factor, TvqPalette* palette);

inline uint32_t TvqWordColour(const TvqPalette& palette, uint16_t word) {
    return palette.redGreen[word >> 6] | palette.blue[word & 31];
}

// The word every pixel past a file's end takes, from the file's last `count` bytes
// (1 for a lone byte, else 2).
uint16_t TvqPastEndWord(const uint8_t* last, size_t count);

// How many of the image's words first .. first + count - 1 a file holding `storedWords`
// pixel words has; the rest lie past its end.
inline uint64_t TvqWordsHeld(uint64_t first, uint64_t count, uint64_t storedWords) {
    if (storedWords <= first)
        return 0;
    return storedWords - first < count ? storedWords - first : count;
}

// The past-end fill, the one place it is written: a run of `count` pixels whose first
// `held` the file holds. put(i, own(i)) for each held pixel i in turn, then put(i,
// pastEnd) for each of the rest, `pastEnd` being the past-end word's colour in the
// caller's form, made once. Every reader fills through this.
template <typename Own, typename Value, typename Put>
inline void TvqFillRun(uint64_t held, uint64_t count, Own own, Value pastEnd, Put put) {
    uint64_t i = 0;
    for (; i < held && i < count; ++i)
        put(i, own(i));
    for (; i < count; ++i)
        put(i, pastEnd);
}

// Every word's colour at one factor as the three bytes a reader stores, in its channel
// order, in the first three bytes of each entry, the fourth 0xFF (256 KiB: build one, use
// it for many rows). Red first: gdk-pixbuf, Qt's RGB888, PNG; blue first: BMP rows and
// Windows' 32-bit DIBs (whole entries, 0xFFRRGGBB).
struct TvqTripleTable {
    uint8_t triple[65536][4];
};
enum TvqChannelOrder : int32_t { TVQ_RED_FIRST, TVQ_BLUE_FIRST };
void MakeTvqTripleTable(int32_t factor, TvqChannelOrder order, TvqTripleTable* table);

// A run of `count` pixels as triples of the table's byte order: its first `held` words
// (little-endian) are at `words`, the rest take `pastEnd`'s.
void TvqRunToTriples(const TvqTripleTable& table, const uint8_t* words, uint64_t held, size_t count,
                     uint16_t pastEnd, uint8_t* out);
