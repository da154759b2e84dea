#include "formats/core/tvq_decode.h"

#include "common/little_endian.h"

#include <cstring>

ImageExtent TvqExtentFromHeader(const uint8_t* header) {
    return ImageExtent{ReadSignedLe16(header + 4), ReadSignedLe16(header + 8)};
}

uint64_t TvqImageWords(ImageExtent extent) {
    if (extent.width <= 0 || extent.height <= 0)
        return 0;
    return uint64_t(extent.width) * uint64_t(extent.height);
}

uint64_t TvqStoredWords(uint64_t fileBytes) {
    return fileBytes > kTvqPixelsOffset ? (fileBytes - kTvqPixelsOffset + 1) / 2 : 0;
}

void MakeTvqPalette(int32_t factor, TvqPalette* palette) {
    uint32_t level[32];
    for (int c = 0; c < 32; ++c) {
        int64_t amplified = int64_t(c) * factor;
        level[c] = uint32_t(amplified < 0 ? 0 : amplified > 255 ? 255 : amplified);
        palette->blue[c] = level[c] << 16;
    }
    for (int i = 0; i < 1024; ++i)
        palette->redGreen[i] = level[i >> 5] | level[i & 31] << 8;
}

uint16_t TvqPastEndWord(const uint8_t* last, size_t count) {
    return count >= 2 ? ReadLe16(last) : last[0];
}

void MakeTvqTripleTable(int32_t factor, TvqChannelOrder order, TvqTripleTable* table) {
    TvqPalette palette;
    MakeTvqPalette(factor, &palette);
    const int first = order == TVQ_BLUE_FIRST ? 16 : 0;
    const int third = order == TVQ_BLUE_FIRST ? 0 : 16;
    for (uint32_t word = 0; word < 65536; ++word) {
        const uint32_t colour = TvqWordColour(palette, uint16_t(word));
        uint8_t* triple = table->triple[word];
        triple[0] = uint8_t(colour >> first);
        triple[1] = uint8_t(colour >> 8);
        triple[2] = uint8_t(colour >> third);
        triple[3] = 0xFF; // opaque, for readers that store whole entries
    }
}

void TvqRunToTriples(const TvqTripleTable& table, const uint8_t* words, uint64_t held, size_t count,
                     uint16_t pastEnd, uint8_t* out) {
    if (count == 0)
        return;
    auto own = [&table, words](uint64_t i) { return table.triple[ReadLe16(words + 2 * i)]; };
    const uint8_t* pastEndTriple = table.triple[pastEnd];
    // Each entry is stored whole, its fourth byte overwritten by the next pixel: one store
    // per pixel. The last pixel gets three bytes, so nothing lands past the triples.
    TvqFillRun(held, count - 1, own, pastEndTriple,
               [out](uint64_t i, const uint8_t* triple) { memcpy(out + 3 * i, triple, 4); });
    const uint64_t last = count - 1;
    memcpy(out + 3 * last, last < held ? own(last) : pastEndTriple, 3);
}
