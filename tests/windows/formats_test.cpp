// formats/ against the real GDI and file system of Windows. The Linux tests cover the
// logic in depth; these prove it holds on a genuine memory device context, with GDI's own
// clip box, and that Windows' own loader reads the files written.
#include "formats/bmp_writer.h"
#include "formats/tvq_reader.h"

#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace zod::test;

const COLORREF kSentinel = RGB(0x12, 0x34, 0x56); // no TVQ word at these factors gives it

// A memory DC on a bitmap of its own, every pixel the sentinel so that stray and missing
// writes both show.
struct Surface {
    Surface(int width, int height) {
        HDC screen = GetDC(NULL);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(NULL, screen);
        old = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(kSentinel);
        const RECT all = {0, 0, width, height};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF Pixel(int x, int y) const { return GetPixel(dc, x, y); }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

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
        Surface surface(width + 4, height + 3);
        IntersectClipRect(surface.dc, c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
        const ImageExtent extent = DrawTvqFile(path.c_str(), surface.dc, c.factor);
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
    Surface surface(64, 48);
    const ImageExtent extent = DrawTvqFile(dir.File("huge.tvq").c_str(), surface.dc, 3);
    EXPECT_EQ(std::make_pair(extent.width, extent.height), std::make_pair(32767, 32767));
    EXPECT_EQ(surface.Pixel(0, 0), AmplifiedColour(first, 3));
    EXPECT_EQ(surface.Pixel(1, 0), AmplifiedColour(last, 3));
    EXPECT_EQ(surface.Pixel(63, 47), AmplifiedColour(last, 3));
}

// Windows' own loader reads back every pixel, for each amount of row padding.
TEST(WindowsFormats, WindowsLoadsTheWrittenFilePixelForPixel) {
    TempDir dir;
    const std::string path = dir.File("out.bmp");
    const struct { int width, height; } sizes[] = {{2, 3}, {3, 2}, {4, 4}, {5, 7}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        const size_t stride = size_t(BitmapRowStride(size.width));
        std::vector<uint8_t> rows(stride * size_t(size.height), 0xEE); // bottom row first
        std::vector<COLORREF> want, got;
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                const COLORREF colour = RGB(x * y * 17 + 5, 200 - y * 30, x * 40 + y);
                uint8_t* pixel = &rows[size_t(size.height - 1 - y) * stride + size_t(x) * 3];
                pixel[0] = GetBValue(colour), pixel[1] = GetGValue(colour);
                pixel[2] = GetRValue(colour);
                want.push_back(colour);
            }
        ASSERT_TRUE(WriteBitmapFile(path.c_str(), size.width, size.height, rows.data()));

        HBITMAP loaded = static_cast<HBITMAP>(LoadImageA(NULL, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                         LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        ASSERT_NE(loaded, nullptr);
        BITMAP info = {};
        GetObjectA(loaded, sizeof info, &info);
        EXPECT_EQ(std::make_pair(info.bmWidth, info.bmHeight),
                  std::make_pair(LONG(size.width), LONG(size.height)));
        HDC dc = CreateCompatibleDC(NULL);
        HGDIOBJ old = SelectObject(dc, loaded);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                got.push_back(GetPixel(dc, x, y));
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(loaded);
        EXPECT_EQ(got, want);
    }
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
