// The encoder as the decoder's inverse: the round-trip laws over random pictures at every
// Level, alpha, dithering and the header.
#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_encode.h"
#include "formats/core/tvq_levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

uint16_t Word(const uint8_t* words, size_t i) {
    return uint16_t(words[2 * i] | words[2 * i + 1] << 8);
}

// The decoded colour of a word as red, green, blue.
void Decode(const TvqPalette& palette, uint16_t word, int32_t rgb[3]) {
    const uint32_t colour = TvqWordColour(palette, word);
    for (int c = 0; c < 3; ++c)
        rgb[c] = int32_t(colour >> (8 * c) & 0xFF);
}

// decode(encode(p)) is within half a factor of p, or saturated; encode(decode(w)) == w for
// every word whose channels times the factor stay within 255.
TEST(TvqEncode, RoundTripsBothWaysAtEveryLevel) {
    std::mt19937 random(17);
    for (const int32_t factor : kTvqLevelFactors) {
        TvqPalette palette;
        MakeTvqPalette(factor, &palette);
        TvqEncodeTable table;
        MakeTvqEncodeTable(factor, &table);
        const uint32_t top = uint32_t(std::min(255 / factor, 31)) + 1;
        for (int n = 0; n < 20000; ++n) {
            const uint16_t word =
                uint16_t(random() % top << 11 | random() % top << 6 | random() % top);
            int32_t rgb[3];
            Decode(palette, word, rgb);
            const uint8_t pixel[3] = {uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2])};
            uint8_t out[2];
            TvqPixelsToWords(table, pixel, 3, 1, out);
            ASSERT_EQ(Word(out, 0), word) << "factor " << factor;
        }
        std::vector<uint8_t> picture(3 * 4096);
        for (uint8_t& byte : picture)
            byte = uint8_t(random());
        std::vector<uint8_t> words(2 * 4096);
        TvqPixelsToWords(table, picture.data(), 3, 4096, words.data());
        for (size_t i = 0; i < 4096; ++i) {
            EXPECT_EQ(Word(words.data(), i) & 0x20, 0) << "bit 5";
            int32_t back[3];
            Decode(palette, Word(words.data(), i), back);
            for (int c = 0; c < 3; ++c) {
                const int32_t p = picture[3 * i + size_t(c)];
                if (p <= 31 * factor)
                    ASSERT_LE(2 * std::abs(back[c] - p), factor) << p << " at " << factor;
                else
                    ASSERT_EQ(back[c], std::min(31 * factor, 255)) << p << " at " << factor;
            }
        }
    }
}

TEST(TvqEncode, QuantisesToTheNearestLevelHalvesUp) {
    const struct {
        int32_t value, factor, level;
    } cases[] = {{0, 8, 0},     {3, 8, 0},     {4, 8, 1},     {11, 8, 1},    {12, 8, 2},
                 {248, 8, 31},  {255, 8, 31},  {1, 2, 1},     {62, 2, 31},   {63, 2, 31},
                 {255, 2, 31},  {4, 3, 1},     {5, 3, 2},     {255, 1, 31},  {30, 1, 30},
                 {127, 255, 0}, {128, 255, 1}, {255, 510, 1}, {255, 511, 0}, {255, INT32_MAX, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TvqQuantise(c.value, c.factor), c.level) << c.value << " / " << c.factor;
}

TEST(TvqEncode, AlphaIsCompositedOverBlack) {
    TvqEncodeTable table;
    MakeTvqEncodeTable(8, &table);
    const struct {
        uint8_t rgba[4];
        uint16_t word;
    } cases[] = {
        {{255, 255, 255, 255}, 0xFFDF},
        {{255, 255, 255, 0}, 0},
        {{255, 0, 0, 128}, 16 << 11},
        {{0, 248, 0, 64}, uint16_t(8 << 6)},
    };
    for (const auto& c : cases) {
        uint8_t out[2];
        TvqPixelsToWords(table, c.rgba, 4, 1, out);
        EXPECT_EQ(Word(out, 0), c.word) << int(c.rgba[3]);
    }
}

TEST(TvqEncode, DitheringKeepsExactColoursAndTheMeanOfOthers) {
    const int32_t width = 64, rows = 64;
    for (const int32_t factor : {2, 3, 4, 6, 8, INT32_MAX}) {
        TvqPalette palette;
        MakeTvqPalette(factor, &palette);
        TvqEncodeTable table;
        MakeTvqEncodeTable(factor, &table);
        for (const int32_t grey : {0, 5 * std::min(factor, 51), 100, 201, 255}) {
            std::vector<uint8_t> row(3 * size_t(width), uint8_t(grey));
            std::vector<int32_t> errors(6 * size_t(width + 2), 0);
            std::vector<uint8_t> words(2 * size_t(width)), plain(2 * size_t(width));
            TvqPixelsToWords(table, row.data(), 3, size_t(width), plain.data());
            int64_t sum = 0;
            bool same = true;
            for (int32_t y = 0; y < rows; ++y) {
                TvqDitherRowToWords(table, row.data(), 3, width, errors.data(), words.data());
                same = same && words == plain;
                for (int32_t x = 0; x < width; ++x) {
                    int32_t rgb[3];
                    Decode(palette, Word(words.data(), size_t(x)), rgb);
                    sum += rgb[1];
                }
            }
            const double mean = double(sum) / (width * rows);
            // Above 510 every channel is level 0, dithered or not.
            const bool inRange = factor <= 255 && grey <= 31 * factor;
            if ((grey % factor == 0 && inRange) || factor > 510) {
                EXPECT_TRUE(same) << grey << " at " << factor;
            } else if (inRange) {
                EXPECT_NEAR(mean, grey, 0.5) << grey << " at " << factor;
            }
        }
    }
}

TEST(TvqEncode, HeaderHoldsOnlyTheSize) {
    uint8_t header[kTvqHeaderBytes];
    memset(header, 0xAA, sizeof header);
    TvqWriteHeader(ImageExtent{32767, 300}, header);
    EXPECT_EQ(TvqExtentFromHeader(header).width, 32767);
    EXPECT_EQ(TvqExtentFromHeader(header).height, 300);
    for (size_t i = 0; i < sizeof header; ++i) {
        if (i != 4 && i != 5 && i != 8 && i != 9) {
            EXPECT_EQ(header[i], 0) << i;
        }
    }
}

} // namespace
