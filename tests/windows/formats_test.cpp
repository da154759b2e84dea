// formats/ against the real GDI and file system of Windows. The Linux tests cover the
// logic in depth; these prove it holds on a genuine memory device context, with GDI's own
// clip box. That Windows' own loader reads the files written, the end-to-end test shows.
#include "formats/bmp_writer.h"
#include "formats/tvq_draw.h"

#include "tests/support/image_files.h"
#include "tests/support/memory_surface.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace zod::test;

// Fills surfaces, so that stray and missing writes both show; no TVQ word at these factors
// gives it.
const COLORREF kSentinel = RGB(0x12, 0x34, 0x56);

// Every pixel drawn at the factor where the clip box lets it through, and no other pixel
// touched. 9 saturates the upper channel values, 100 nearly all.
TEST(WindowsFormats, DrawsTheVisiblePixelsAmplifiedOnARealDc) {
    const int width = 20, height = 12;
    std::vector<uint16_t> words; // differs in every channel, bit 5 set on every other word
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            words.push_back(uint16_t(TvqWord((x * 7 + y) % 32, (x + y * 5) % 32, (x * y + 3) % 32) |
                                     ((x + y) % 2 ? 0x20 : 0)));
    TempDir dir;
    const std::string path = dir.File("image.tvq");
    WriteFileBytes(path, TvqBytes(width, height, words));
    const struct {
        int factor;
        RECT clip;
    } cases[] = {
        {3, {0, 0, 99, 99}}, {9, {0, 0, 99, 99}}, {100, {5, 4, 17, 9}}, {9, {15, 10, 40, 40}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        MemorySurface surface(width + 4, height + 3, kSentinel);
        IntersectClipRect(surface.dc(), c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
        const ImageExtent extent = DrawTvqFile(path.c_str(), surface.dc(), c.factor);
        EXPECT_EQ(std::make_pair(extent.width, extent.height), std::make_pair(width, height));
        for (int y = 0; y < height + 3; ++y)
            for (int x = 0; x < width + 4; ++x) {
                const POINT at = {x, y};
                const bool drawn = x < width && y < height && PtInRect(&c.clip, at);
                ASSERT_EQ(surface.Pixel(x, y),
                          drawn ? AmplifiedColour(words[size_t(y * width + x)], c.factor)
                                : kSentinel)
                    << "at " << x << ", " << y;
            }
    }
}

// A tiny file claiming the largest size fills the visible part with its last word and
// returns the claimed size, without first walking a billion pixels.
TEST(WindowsFormats, AShortFileClaimingAHugeSizeFinishes) {
    TempDir dir;
    const uint16_t first = TvqWord(1, 2, 3), last = TvqWord(31, 0, 16);
    WriteFileBytes(dir.File("huge.tvq"), TvqBytes(32767, 32767, {first, last}));
    MemorySurface surface(64, 48, kSentinel);
    const ImageExtent extent = DrawTvqFile(dir.File("huge.tvq").c_str(), surface.dc(), 3);
    EXPECT_EQ(std::make_pair(extent.width, extent.height), std::make_pair(32767, 32767));
    EXPECT_EQ(surface.Pixel(0, 0), AmplifiedColour(first, 3));
    EXPECT_EQ(surface.Pixel(1, 0), AmplifiedColour(last, 3));
    EXPECT_EQ(surface.Pixel(63, 47), AmplifiedColour(last, 3));
}

// Failures that Windows itself reports: a missing folder, and a file held open without
// delete sharing, which MoveFileEx refuses to replace. The old file stays as it was, with
// nothing beside it.
TEST(WindowsFormats, AFailedWriteLeavesTheOldFile) {
    TempDir dir;
    const uint8_t rows[8] = {};
    EXPECT_FALSE(WriteBitmapFile(dir.File("no-such-folder/out.bmp").c_str(), 1, 1, rows));
    const std::string path = dir.File("old.bmp");
    WriteFileBytes(path, "old contents");
    HANDLE open = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteBitmapFile(path.c_str(), 1, 1, rows));
    CloseHandle(open);
    EXPECT_EQ(ReadFileBytes(path), "old contents");
    EXPECT_EQ(CountFilesIn(dir.path()), 1);
}

} // namespace
