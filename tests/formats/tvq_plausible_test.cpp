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
    };
    for (const auto& c : cases)
        EXPECT_EQ(TvqCheckFile(ImageExtent{c.width, c.height}, c.fileBytes), c.verdict)
            << c.width << " x " << c.height << ", " << c.fileBytes << " bytes";
}

} // namespace
