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

// Other formats' signatures name them, whatever size their first bytes would give; "BM"
// alone does not.
TEST(TvqPlausible, SignaturesNameOtherFormats) {
    const std::pair<std::string, const char*> cases[] = {
        {std::string("BM\x36\x10\x0b\0\0\0\0\0", 10), "BMP"},
        {std::string("BM\0\0\4\0\0\0\4\0", 10), nullptr},
        {"\x89PNG\r\n\x1a\n", "PNG"},
        {"\xff\xd8\xff\xe0", "JPEG"},
        {"GIF87a\x10", "GIF"}};
    for (const auto& [start, format] : cases) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(start.data());
        EXPECT_EQ(TvqCheckStart(bytes, start.size()) == TVQ_OTHER_FORMAT, format != nullptr)
            << start;
        EXPECT_STREQ(TvqOtherFormat(bytes, start.size()), format);
    }
}

} // namespace
