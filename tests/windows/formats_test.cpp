// formats/ against the real GDI and the real file system of Windows: the reader's pixels
// and clipping on a genuine memory device context, and the writer's files as Windows' own
// bitmap loader reads them.
#include "formats/bmp_writer.h"
#include "formats/tvq_reader.h"

#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/gdi_surface.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using zod::test::AmplifiedColour;
using zod::test::GdiSurface;
using zod::test::ReadFileBytes;
using zod::test::TvqBytes;
using zod::test::TvqWord;
using zod::test::WriteFileBytes;

const COLORREF kSentinel = RGB(0x12, 0x34, 0x56); // no TVQ word at these factors gives it

// A word per pixel that differs in every channel, bit 5 set on every other one.
std::vector<uint16_t> PatternWords(int width, int height) {
    std::vector<uint16_t> words;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            words.push_back(uint16_t(TvqWord((x * 7 + y) % 32, (x + y * 5) % 32, (x * y + 3) % 32) |
                                     ((x + y) % 2 ? 0x20 : 0)));
    return words;
}

class WindowsFormatsTest : public ::testing::Test {
  protected:
    std::string Tvq(int16_t width, int16_t height, const std::vector<uint16_t>& words) {
        std::string path = dir.File("image.tvq");
        WriteFileBytes(path, TvqBytes(width, height, words));
        return path;
    }
    zod::test::TempDir dir;
};

TEST_F(WindowsFormatsTest, DrawsEveryPixelAmplifiedAndNothingBelowTheImage) {
    const int width = 13, height = 7;
    const std::vector<uint16_t> words = PatternWords(width, height);
    const std::string path = Tvq(width, height, words);
    for (int factor : {0, 2, 3, 4, 6, 8, 9, 100, -4}) {
        SCOPED_TRACE(factor);
        GdiSurface surface(width + 3, height + 2, kSentinel);
        ASSERT_TRUE(surface.ok());
        const ImageExtent extent = DrawTvqFile(path.c_str(), surface.dc(), factor);
        EXPECT_EQ(extent.width, width);
        EXPECT_EQ(extent.height, height);
        for (int y = 0; y < height + 2; ++y)
            for (int x = 0; x < width + 3; ++x) {
                const bool inside = x < width && y < height;
                const COLORREF expected =
                    inside ? AmplifiedColour(words[size_t(y * width + x)], factor) : kSentinel;
                ASSERT_EQ(surface.At(x, y), expected) << "at " << x << ", " << y;
            }
    }
}

// The reader asks GDI for the clip box; what it sets must be exactly what drawing every
// pixel would have left visible.
TEST_F(WindowsFormatsTest, SetsOnlyThePixelsInsideTheClipBox) {
    const int width = 40, height = 30;
    const std::vector<uint16_t> words = PatternWords(width, height);
    const std::string path = Tvq(width, height, words);
    const RECT clips[] = {{5, 4, 17, 9}, {0, 0, 1, 1}, {39, 29, 40, 30}, {30, 10, 60, 50}};
    for (const RECT& clip : clips) {
        SCOPED_TRACE(testing::Message()
                     << clip.left << "," << clip.top << "-" << clip.right << "," << clip.bottom);
        GdiSurface surface(width + 10, height + 10, kSentinel);
        ASSERT_TRUE(surface.ok());
        IntersectClipRect(surface.dc(), clip.left, clip.top, clip.right, clip.bottom);
        DrawTvqFile(path.c_str(), surface.dc(), 8);
        for (int y = 0; y < height + 10; ++y)
            for (int x = 0; x < width + 10; ++x) {
                const bool visible = x >= clip.left && x < clip.right && y >= clip.top &&
                                     y < clip.bottom && x < width && y < height;
                const COLORREF expected =
                    visible ? AmplifiedColour(words[size_t(y * width + x)], 8) : kSentinel;
                ASSERT_EQ(surface.At(x, y), expected) << "at " << x << ", " << y;
            }
    }
}

// A tiny file claiming the largest size draws the visible part in the colour of its last
// word, and returns the claimed size; it must not try a billion pixels first.
TEST_F(WindowsFormatsTest, AShortFileClaimingAHugeSizeFillsOnlyWhatCanBeSeen) {
    const uint16_t last = TvqWord(31, 0, 16);
    const std::string path = Tvq(32767, 32767, {TvqWord(1, 2, 3), last});
    GdiSurface surface(64, 48, kSentinel);
    ASSERT_TRUE(surface.ok());
    const ImageExtent extent = DrawTvqFile(path.c_str(), surface.dc(), 3);
    EXPECT_EQ(extent.width, 32767);
    EXPECT_EQ(extent.height, 32767);
    EXPECT_EQ(surface.At(0, 0), AmplifiedColour(TvqWord(1, 2, 3), 3));
    EXPECT_EQ(surface.At(1, 0), AmplifiedColour(last, 3));
    EXPECT_EQ(surface.At(63, 47), AmplifiedColour(last, 3));
}

TEST_F(WindowsFormatsTest, AMissingFileDrawsNothing) {
    GdiSurface surface(8, 8, kSentinel);
    ASSERT_TRUE(surface.ok());
    const ImageExtent extent = DrawTvqFile(dir.File("absent.tvq").c_str(), surface.dc(), 3);
    EXPECT_EQ(extent.width, 0);
    EXPECT_EQ(extent.height, 0);
    EXPECT_EQ(surface.At(0, 0), kSentinel);
}

// Bottom-up rows of blue-green-red bytes, each padded to 4 bytes with a sentinel byte.
std::vector<uint8_t> PixelRows(int width, int height, uint64_t stride) {
    std::vector<uint8_t> rows(size_t(stride) * size_t(height), 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = &rows[size_t(y) * size_t(stride) + size_t(x) * 3];
            pixel[0] = uint8_t(x * 40 + y);
            pixel[1] = uint8_t(200 - y * 30);
            pixel[2] = uint8_t(x * y * 17 + 5);
        }
    return rows;
}

// Windows' own loader must read back every pixel that was written, for widths that need
// each amount of row padding.
TEST_F(WindowsFormatsTest, WindowsLoadsTheWrittenFilePixelForPixel) {
    const struct { int width, height; } sizes[] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 7}, {33, 9}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        const uint64_t stride = (uint64_t(size.width) * 3 + 3) / 4 * 4;
        ASSERT_EQ(BitmapRowStride(size.width), stride);
        const std::vector<uint8_t> rows = PixelRows(size.width, size.height, stride);
        const std::string path = dir.File("out.bmp");
        ASSERT_TRUE(WriteBitmapFile(path.c_str(), size.width, size.height, rows.data()));
        EXPECT_EQ(ReadFileBytes(path).size(), 54 + stride * uint64_t(size.height));

        HBITMAP loaded = static_cast<HBITMAP>(LoadImageA(NULL, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                         LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        ASSERT_NE(loaded, nullptr);
        BITMAP info = {};
        GetObjectA(loaded, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, size.width);
        EXPECT_EQ(info.bmHeight, size.height);

        BITMAPINFO request = {};
        request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        request.bmiHeader.biWidth = size.width;
        request.bmiHeader.biHeight = size.height;
        request.bmiHeader.biPlanes = 1;
        request.bmiHeader.biBitCount = 24;
        request.bmiHeader.biCompression = BI_RGB;
        std::vector<uint8_t> back(rows.size());
        HDC screen = GetDC(NULL);
        const int lines =
            GetDIBits(screen, loaded, 0, UINT(size.height), back.data(), &request, DIB_RGB_COLORS);
        ReleaseDC(NULL, screen);
        DeleteObject(loaded);
        ASSERT_EQ(lines, size.height);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width * 3; ++x) {
                const size_t at = size_t(y) * size_t(stride) + size_t(x);
                ASSERT_EQ(back[at], rows[at]) << "row " << y << " byte " << x;
            }
    }
}

TEST_F(WindowsFormatsTest, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    const std::string path = dir.File("out.bmp");
    WriteFileBytes(path, std::string(5000, 'x'));
    const std::vector<uint8_t> rows = PixelRows(2, 2, 8);
    ASSERT_TRUE(WriteBitmapFile(path.c_str(), 2, 2, rows.data()));
    EXPECT_EQ(ReadFileBytes(path).size(), 54u + 16u);
    EXPECT_EQ(zod::test::CountFilesIn(dir.path()), 1);
}

// Failures that Windows itself reports: a missing folder, and a folder standing where the
// file should go (MoveFileEx refuses to replace it). Nothing is left behind.
TEST_F(WindowsFormatsTest, AFailedWriteSaysSoAndLeavesTheFolderAsItWas) {
    const std::vector<uint8_t> rows = PixelRows(2, 2, 8);
    EXPECT_FALSE(WriteBitmapFile(dir.File("no-such-folder/out.bmp").c_str(), 2, 2, rows.data()));

    const std::string blocked = dir.File("blocked.bmp");
    ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), NULL));
    EXPECT_FALSE(WriteBitmapFile(blocked.c_str(), 2, 2, rows.data()));
    EXPECT_EQ(GetFileAttributesA(blocked.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(zod::test::CountFilesIn(dir.path()), 1);
}

} // namespace
