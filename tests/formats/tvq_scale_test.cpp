#include "formats/core/tvq_scale.h"

#include "tests/support/image_files.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using zod::test::AmplifiedColour;
using zod::test::NoiseWords;

// Rows of 7 words of which `held` are there; each output pixel as a COLORREF.
TEST(TvqSampleRow, SamplesHeldWordsAndFillsPastTheEnd) {
    const std::vector<uint16_t> row = NoiseWords(7, 11);
    std::vector<uint8_t> bytes;
    for (uint16_t w : row)
        bytes.insert(bytes.end(), {uint8_t(w), uint8_t(w >> 8)});
    const uint16_t pastEnd = 0x7C1F;
    auto table = std::make_unique<TvqTripleTable>();
    const struct {
        int32_t held, outWidth;
        std::vector<int> columns; // the source column of each output pixel, -1 past the end
    } cases[] = {
        {7, 7, {0, 1, 2, 3, 4, 5, 6}},           {7, 3, {1, 3, 5}},   {7, 1, {3}},
        {4, 7, {0, 1, 2, 3, -1, -1, -1}},        {2, 3, {1, -1, -1}}, {0, 2, {-1, -1}},
        {7, 10, {0, 1, 1, 2, 3, 3, 4, 5, 5, 6}}, // enlarged: pixels repeat
    };
    for (bool bgr : {false, true}) {
        MakeTvqTripleTable(4, bgr ? TVQ_BLUE_FIRST : TVQ_RED_FIRST, table.get());
        for (size_t pixelBytes : {3, 4})
            for (const auto& c : cases) {
                SCOPED_TRACE(std::to_string(&c - cases) + (bgr ? " bgr " : " rgb ") +
                             std::to_string(pixelBytes));
                std::vector<uint8_t> out(pixelBytes * size_t(c.outWidth) + 1, 0xAB);
                TvqSampleRow(*table, bytes.data(), c.held, 7, pastEnd, c.outWidth, pixelBytes,
                             out.data());
                for (int32_t i = 0; i < c.outWidth; ++i) {
                    const int x = c.columns[size_t(i)];
                    const uint32_t want = AmplifiedColour(x < 0 ? pastEnd : row[size_t(x)], 4);
                    const uint8_t* p = &out[pixelBytes * size_t(i)];
                    const uint32_t got = bgr ? uint32_t(p[2] | p[1] << 8 | p[0] << 16)
                                             : uint32_t(p[0] | p[1] << 8 | p[2] << 16);
                    EXPECT_EQ(got, want) << "pixel " << i;
                    if (pixelBytes == 4) {
                        EXPECT_EQ(p[3], 0xFF) << "opaque";
                    }
                }
                EXPECT_EQ(out.back(), 0xAB) << "nothing past the row";
            }
    }
}

TEST(TvqRowWordsHeld, CountsTheWordsOfEachRow) {
    const ImageExtent extent{5, 4};
    const struct {
        int32_t y;
        uint64_t stored;
        int32_t held;
    } cases[] = {{0, 20, 5}, {3, 20, 5}, {2, 12, 2}, {2, 10, 0}, {3, 12, 0}, {0, 1, 1}, {3, 99, 5}};
    for (const auto& c : cases)
        EXPECT_EQ(TvqRowWordsHeld(extent, c.y, c.stored), c.held) << &c - cases;
}

// The samples that fall on the held words are the first ones, as many as the sampling rule
// puts below `held`, shrunk or enlarged.
TEST(TvqSamplesHeld, CountsTheSamplesBelowTheHeldWords) {
    for (int32_t src = 1; src <= 40; ++src)
        for (int32_t out = 1; out <= 45; ++out)
            for (int32_t held = 0; held <= src; ++held) {
                int32_t below = 0;
                while (below < out && TvqSampleIndex(below, out, src) < held)
                    ++below;
                ASSERT_EQ(TvqSamplesHeld(held, out, src), below)
                    << src << " " << out << " " << held;
            }
}

} // namespace
