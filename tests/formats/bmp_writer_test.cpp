#include "formats/bmp_writer.h"

#include "tests/support/temp_dir.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using zod::test::CountFilesIn;
using zod::test::FileExists;
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
    } cases[] = {{0, 5, 54}, {1, 1, 58}, {4, 2, 78}, {5, 3, 102}, {-3, 2, 54}, {3, -2, 54}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const bool empty = c.width < 0 || c.height < 0; // written as 0 x 0
        const std::string pixels = PixelArray(c.width, c.height), path = dir.File("out.bmp");
        ASSERT_TRUE(WriteBitmapFile(path.c_str(), c.width, c.height, pixels.data()));
        const std::string file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), c.fileSize);
        EXPECT_EQ(file.substr(0, 2), "BM");
        EXPECT_EQ(U32(file, 2), c.fileSize);
        EXPECT_EQ(U32(file, 6), 0u); // both reserved fields
        EXPECT_EQ(U32(file, 10), 54u);
        EXPECT_EQ(U32(file, 14), 40u);
        EXPECT_EQ(U32(file, 18), empty ? 0 : uint32_t(c.width));
        EXPECT_EQ(U32(file, 22), empty ? 0 : uint32_t(c.height));
        EXPECT_EQ(U32(file, 26), 1u | 24u << 16); // planes, bits per pixel
        EXPECT_EQ(file.substr(30, 24), std::string(24, '\0'));
        EXPECT_EQ(file.substr(54), empty ? "" : pixels); // handed over untouched
    }
    EXPECT_EQ(CountFilesIn(dir.path()), 1); // no temporary file left
}

TEST(WriteBitmapFile, IndependentReaderSeesTheSamePixels) {
    TempDir dir;
    for (auto [width, height] : {std::pair{5, 3}, {33, 17}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
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
                         shown[1] != uint8_t(stored[3 * x + 1]) ||
                         shown[2] != uint8_t(stored[3 * x]);
        }
        EXPECT_EQ(wrong, 0);
        g_object_unref(image);
    }
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

TEST(WriteBitmapFile, OverwritesOrOnFailureKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string old(5000, 'x');
    enum Fault { None, TemporaryNameTaken, MissingFolder, DiskFull, TooLargeForTheFormat };
    for (Fault fault : {None, TemporaryNameTaken, MissingFolder, DiskFull, TooLargeForTheFormat}) {
        SCOPED_TRACE(int(fault));
        TempDir dir;
        const std::string path = dir.File(fault == MissingFolder ? "missing/a.bmp" : "a.bmp");
        if (fault != MissingFolder)
            WriteFileBytes(path, old);
        if (fault == TemporaryNameTaken) {
            ASSERT_TRUE(std::filesystem::create_directory(path + ".zod-tmp"));
        }
        const int filesBefore = CountFilesIn(dir.path());
        const std::string pixels = PixelArray(60, 40); // never read past when refused
        // 30000 x 50000: a stride of 90000 bytes makes the file too large for its size field.
        const int width = fault == TooLargeForTheFormat ? 30000 : 60;
        const int height = fault == TooLargeForTheFormat ? 50000 : 40;
        std::optional<FileSizeLimit> limit;
        if (fault == DiskFull)
            limit.emplace(1000);
        const bool written = WriteBitmapFile(path.c_str(), width, height, pixels.data());
        limit.reset();
        EXPECT_EQ(written, fault == None);
        EXPECT_EQ(CountFilesIn(dir.path()), filesBefore);
        if (fault == None) {
            EXPECT_EQ(ReadFileBytes(path).substr(54), pixels);
        } else if (fault == MissingFolder) {
            EXPECT_FALSE(FileExists(path));
        } else {
            EXPECT_EQ(ReadFileBytes(path), old);
        }
        EXPECT_EQ(std::filesystem::is_directory(path + ".zod-tmp"), fault == TemporaryNameTaken);
        EXPECT_FALSE(std::filesystem::is_regular_file(path + ".zod-tmp"));
    }
}

} // namespace
