#include "formats/bmp_writer.h"

#include "tests/support/temp_dir.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using zod::test::CountFilesIn;
using zod::test::ReadFileBytes;
using zod::test::TempDir;
using zod::test::WriteFileBytes;

// Bits per row rounded up to whole 32-bit words: the stride worked out another way.
uint64_t ExpectedStride(int64_t width) {
    return width <= 0 ? 0 : (uint64_t(width) * 24 + 31) / 32 * 4;
}

uint32_t U32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 4; i-- > 0;)
        v = v << 8 | uint8_t(b[at + i]);
    return v;
}

// A pixel array whose every byte, padding included, is distinct enough to spot a shift.
std::string PixelArray(int32_t width, int32_t height) {
    std::string bytes(ExpectedStride(width) * uint64_t(height > 0 ? height : 0), '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + 3);
    return bytes;
}

TEST(WriteBitmapFile, LaysOutHeadersAndPixelsForEachSize) {
    for (int32_t width : {-1, 0, 1, 2, 4, 5, INT32_MAX})
        EXPECT_EQ(BitmapRowStride(width), ExpectedStride(width)) << width;
    struct Case {
        int32_t width, height;
        uint32_t fileSize;
    } cases[] = {{4, 2, 78}, {1, 1, 58}, {2, 3, 78}}; // rows padded by 0, 1 and 2 bytes
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const std::string pixels = PixelArray(c.width, c.height), path = dir.File("out.bmp");
        ASSERT_TRUE(WriteBitmapFile(path.c_str(), c.width, c.height, pixels.data()));
        const std::string file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), c.fileSize);
        EXPECT_EQ(file.substr(0, 2), "BM");
        EXPECT_EQ(U32(file, 2), c.fileSize);
        EXPECT_EQ(U32(file, 6), 0u); // both reserved fields
        EXPECT_EQ(U32(file, 10), 54u);
        EXPECT_EQ(U32(file, 14), 40u);
        EXPECT_EQ(U32(file, 18), uint32_t(c.width));
        EXPECT_EQ(U32(file, 22), uint32_t(c.height));
        EXPECT_EQ(U32(file, 26), 1u | 24u << 16); // planes, bits per pixel
        EXPECT_EQ(file.substr(30, 24), std::string(24, '\0'));
        EXPECT_EQ(file.substr(54), pixels); // handed over untouched
    }
    EXPECT_EQ(CountFilesIn(dir.path()), 1); // no temporary file left
}

TEST(WriteBitmapFile, IndependentReaderSeesTheSamePixels) {
    TempDir dir;
    const int width = 33, height = 17; // rows padded by 1 byte
    const std::string pixels = PixelArray(width, height), path = dir.File("round.bmp");
    ASSERT_TRUE(WriteBitmapFile(path.c_str(), width, height, pixels.data()));
    GError* error = nullptr;
    GdkPixbuf* image = gdk_pixbuf_new_from_file(path.c_str(), &error);
    ASSERT_NE(image, nullptr) << (error ? error->message : "");
    EXPECT_EQ(gdk_pixbuf_get_width(image), width);
    EXPECT_EQ(gdk_pixbuf_get_height(image), height);
    const int channels = gdk_pixbuf_get_n_channels(image);
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        // Stored bottom row first, blue-green-red; the reader gives top row first, RGB.
        const char* stored = pixels.data() + uint64_t(height - 1 - y) * ExpectedStride(width);
        const guchar* shown =
            gdk_pixbuf_get_pixels(image) + size_t(y) * size_t(gdk_pixbuf_get_rowstride(image));
        for (int x = 0; x < width; ++x, shown += channels)
            wrong += shown[0] != uint8_t(stored[3 * x + 2]) ||
                     shown[1] != uint8_t(stored[3 * x + 1]) || shown[2] != uint8_t(stored[3 * x]);
    }
    EXPECT_EQ(wrong, 0);
    g_object_unref(image);
}

// Limits the size of files this process writes, as a full disk would; writes past it fail
// with EFBIG instead of raising SIGXFSZ.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    rlimit saved{};
    void (*previous)(int) = nullptr;
};

// Failures the program's own runs cannot cause: the disk filling up during the write, and a
// file too large for its size field. Either way the old file stays and no temporary is left.
TEST(WriteBitmapFile, OnFailureKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string old(5000, 'x');
    for (bool diskFull : {true, false}) {
        SCOPED_TRACE(diskFull ? "disk full" : "too large");
        TempDir dir;
        const std::string path = dir.File("a.bmp");
        WriteFileBytes(path, old);
        const std::string pixels = PixelArray(60, 40); // never read past when refused
        std::optional<FileSizeLimit> limit;
        if (diskFull)
            limit.emplace(1000);
        // 30000 x 50000: a stride of 90000 bytes makes the file too large for its size field.
        EXPECT_FALSE(WriteBitmapFile(path.c_str(), diskFull ? 60 : 30000, diskFull ? 40 : 50000,
                                     pixels.data()));
        limit.reset();
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(CountFilesIn(dir.path()), 1);
    }
}

} // namespace
