#include "formats/core/tvq_encode.h"

#include "common/little_endian.h"

#include <cstring>

namespace {

// A channel with alpha applied: premultiplied over black, rounded.
inline int32_t OverBlack(const uint8_t* pixel, int channel, int channels) {
    if (channels < 4)
        return pixel[channel];
    return (pixel[channel] * pixel[3] + 127) / 255;
}

inline void PutWord(uint8_t* words, size_t index, uint16_t word) {
    words[2 * index] = uint8_t(word);
    words[2 * index + 1] = uint8_t(word >> 8);
}

} // namespace

void TvqWriteHeader(ImageExtent extent, uint8_t* header) {
    memset(header, 0, kTvqHeaderBytes);
    WriteLe16(header + 4, uint16_t(extent.width));
    WriteLe16(header + 8, uint16_t(extent.height));
}

void MakeTvqEncodeTable(int32_t factor, TvqEncodeTable* table) {
    table->factor = factor;
    for (int32_t c = 0; c < 256; ++c) {
        const uint16_t level = uint16_t(TvqQuantise(c, factor));
        table->red[c] = uint16_t(level << 11);
        table->green[c] = uint16_t(level << 6);
        table->blue[c] = level;
    }
}

void TvqPixelsToWords(const TvqEncodeTable& table, const uint8_t* pixels, int channels,
                      size_t count, uint8_t* words) {
    for (size_t i = 0; i < count; ++i, pixels += channels)
        PutWord(words, i,
                uint16_t(table.red[OverBlack(pixels, 0, channels)] |
                         table.green[OverBlack(pixels, 1, channels)] |
                         table.blue[OverBlack(pixels, 2, channels)]));
}

void TvqDitherRowToWords(const TvqEncodeTable& table, const uint8_t* pixels, int channels,
                         int32_t width, int32_t* errors, uint8_t* words) {
    // Two rows of errors, three channels each, with a spare pixel at either end so that
    // the kernel needs no bounds checks: this row's come in, the next row's go out.
    const size_t rowValues = 3 * (size_t(width) + 2);
    int32_t* here = errors + 3;
    int32_t* below = errors + rowValues + 3;
    static const int kShift[3] = {11, 6, 0};
    for (int32_t x = 0; x < width; ++x, pixels += channels) {
        uint16_t word = 0;
        for (int c = 0; c < 3; ++c) {
            const int32_t i = 3 * x + c;
            const int32_t carried = here[i] >= 0 ? (here[i] + 8) / 16 : (here[i] - 8) / 16;
            int32_t wanted = OverBlack(pixels, c, channels) + carried;
            wanted = wanted < 0 ? 0 : wanted > 255 ? 255 : wanted;
            const int32_t level = TvqQuantise(wanted, table.factor);
            const int64_t amplified = int64_t(level) * table.factor;
            const int32_t shown = amplified > 255 ? 255 : int32_t(amplified);
            const int32_t error = wanted - shown;
            here[i + 3] += 7 * error; // in sixteenths
            below[i - 3] += 3 * error;
            below[i] += 5 * error;
            below[i + 3] += error;
            word = uint16_t(word | level << kShift[c]);
        }
        PutWord(words, size_t(x), word);
    }
    // The next row reads what this one left below, and starts its own below afresh.
    memcpy(errors, errors + rowValues, rowValues * sizeof(int32_t));
    memset(errors + rowValues, 0, rowValues * sizeof(int32_t));
}
