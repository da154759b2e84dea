// The one rule for "is this a TVQ image at all", at its edges.
#include "formats/core/tvq_plausible.h"

#include <gtest/gtest.h>

namespace {

TEST(TvqPlausible, VerdictsAtTheEdgesOfEachRule) {
    constexpr uint64_t kHeader = 32;
    const struct {
        int32_t width, height;
        uint64_t fileBytes;
        TvqVerdict verdict;
        uint64_t maxPixels = kTvqMaxPixels;
    } cases[] = {
        {4, 4, 9, TVQ_TOO_SHORT},
        {4, 4, 10, TVQ_NO_PIXELS},
        {4, 0, 1000, TVQ_NO_SIZE},
        {-3, 5, 1000, TVQ_NO_SIZE},
        {4, 4, kHeader, TVQ_NO_PIXELS},
        {4, 4, kHeader + 1, TVQ_PLAUSIBLE},       // a lone byte is a word; the rest repeat it
        {4096, 4096, kHeader + 1, TVQ_PLAUSIBLE}, // 2^24 pixels: any length will do
        {4097, 4096, kHeader + 2 * 262207, TVQ_TOO_SPARSE},
        {4097, 4096, kHeader + 2 * 262208, TVQ_PLAUSIBLE},          // one word per 64 pixels
        {8260, 31343, kHeader + 288022, TVQ_TOO_SPARSE},            // a renamed text file
        {16384, 16384, kHeader + 2 * 16384 * 16384, TVQ_PLAUSIBLE}, // 2^28
        {16385, 16384, kHeader + 2 * 16385 * 16384, TVQ_TOO_LARGE},
        {32767, 32767, kHeader + 2, TVQ_TOO_LARGE},
        {16385, 16384, kHeader + 2 * 16385 * 16384, TVQ_PLAUSIBLE, 16385 * 16384},
        {4, 4, 1000, TVQ_TOO_LARGE, 15},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TvqCheckFile(ImageExtent{c.width, c.height}, c.fileBytes, c.maxPixels), c.verdict)
            << c.width << " x " << c.height << ", " << c.fileBytes << " bytes";
}

// Other formats' signatures, whatever size their first bytes would give.
TEST(TvqPlausible, SignaturesNameOtherFormats) {
    const struct {
        std::string start;
        TvqVerdict verdict;
        const char* text;
    } cases[] = {
        {std::string("BM\x36\x10\x0b\0\0\0\0\0", 10), TVQ_OTHER_FORMAT, "a BMP file, not TVQ"},
        {std::string("BM\0\0\4\0\0\0\4\0", 10), TVQ_PLAUSIBLE, ""}, // "BM" alone: TVQ
        {std::string("\x89PNG\r\n\x1a\n\0\0", 10), TVQ_OTHER_FORMAT, "a PNG file, not TVQ"},
        {std::string("\xff\xd8\xff\xe0\0\x10JFIF", 10), TVQ_OTHER_FORMAT, "a JPEG file, not TVQ"},
        {std::string("GIF87a\x10\0\x10\0", 10), TVQ_OTHER_FORMAT, "a GIF file, not TVQ"},
        {"GIF89", TVQ_TOO_SHORT, "shorter than the size fields (5 of 10 bytes)"},
    };
    for (const auto& c : cases) {
        const auto* start = reinterpret_cast<const uint8_t*>(c.start.data());
        const TvqVerdict verdict = TvqCheckStart(start, c.start.size() < 10 ? 5 : 1000);
        char text[kTvqVerdictTextCapacity];
        TvqVerdictText(verdict, start, c.start.size() < 10 ? 5 : 1000, kTvqMaxPixels, text,
                       sizeof text);
        EXPECT_EQ(verdict, c.verdict) << c.text;
        EXPECT_STREQ(text, c.text);
    }
}

} // namespace
