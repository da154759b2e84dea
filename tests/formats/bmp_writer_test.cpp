#include "formats/bmp_writer.h"

#include "tests/support/temp_dir.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
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

uint32_t U16(const std::string& b, size_t at) {
    return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8;
}

uint32_t U32(const std::string& b, size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

// A pixel array whose every byte, padding included, is distinct enough to spot a shift.
std::vector<uint8_t> PixelArray(int32_t width, int32_t height) {
    std::vector<uint8_t> bytes(ExpectedStride(width) * uint64_t(height));
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + 3);
    return bytes;
}

std::string AsString(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(BitmapRowStride, PadsThreeBytesPerPixelToFourByteRows) {
    const int32_t widths[] = {INT32_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 639, 640, 32767, INT32_MAX};
    for (int32_t width : widths)
        EXPECT_EQ(BitmapRowStride(width), ExpectedStride(width)) << width;
    EXPECT_EQ(BitmapRowStride(3), 12u);
    EXPECT_EQ(BitmapRowStride(4), 12u);
    EXPECT_EQ(BitmapRowStride(INT32_MAX), 6442450944u); // needs 64 bits
}

TEST(WriteBitmapFile, LaysOutHeadersAndPixelsForEachSize) {
    struct Case {
        int32_t width;
        int32_t height;
        uint32_t fileSize;
    } cases[] = {
        {0, 0, 54}, {0, 5, 54},  {5, 0, 54}, {1, 1, 58},     {3, 2, 78},
        {4, 2, 78}, {5, 3, 102}, {7, 1, 78}, {640, 3, 5814},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        std::vector<uint8_t> pixels = PixelArray(c.width, c.height);
        std::string path = dir.File("out.bmp");
        ASSERT_TRUE(WriteBitmapFile(path.c_str(), c.width, c.height, pixels.data()));
        std::string file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), c.fileSize);
        EXPECT_EQ(file.size(), 54 + ExpectedStride(c.width) * uint64_t(c.height));
        EXPECT_EQ(file.substr(0, 2), "BM");
        EXPECT_EQ(U32(file, 2), c.fileSize);
        EXPECT_EQ(U32(file, 6), 0u); // both reserved fields
        EXPECT_EQ(U32(file, 10), 54u);
        EXPECT_EQ(U32(file, 14), 40u);
        EXPECT_EQ(U32(file, 18), uint32_t(c.width));
        EXPECT_EQ(U32(file, 22), uint32_t(c.height));
        EXPECT_EQ(U16(file, 26), 1u);
        EXPECT_EQ(U16(file, 28), 24u);
        for (size_t at = 30; at < 54; at += 4)
            EXPECT_EQ(U32(file, at), 0u) << "offset " << at;
        EXPECT_EQ(file.substr(54), AsString(pixels)); // handed over untouched
    }
    EXPECT_EQ(CountFilesIn(dir.path()), 1); // no temporary file left
}

TEST(WriteBitmapFile, NegativeSizeWritesAnEmptyImage) {
    const int32_t sizes[][2] = {{-3, 2}, {3, -2}, {-1, -1}, {INT32_MIN, 5}};
    TempDir dir;
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        std::string path = dir.File("empty.bmp");
        ASSERT_TRUE(WriteBitmapFile(path.c_str(), size[0], size[1], nullptr));
        std::string file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), 54u);
        EXPECT_EQ(U32(file, 2), 54u);
        EXPECT_EQ(U32(file, 18), 0u);
        EXPECT_EQ(U32(file, 22), 0u);
    }
}

TEST(WriteBitmapFile, IndependentReaderSeesTheSamePixels) {
    const int32_t sizes[][2] = {{1, 1}, {4, 2}, {5, 3}, {33, 17}};
    TempDir dir;
    for (const auto& size : sizes) {
        const int32_t width = size[0], height = size[1];
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        std::vector<uint8_t> pixels = PixelArray(width, height);
        std::string path = dir.File("round.bmp");
        ASSERT_TRUE(WriteBitmapFile(path.c_str(), width, height, pixels.data()));

        GError* error = nullptr;
        GdkPixbuf* image = gdk_pixbuf_new_from_file(path.c_str(), &error);
        ASSERT_NE(image, nullptr) << (error ? error->message : "");
        EXPECT_EQ(gdk_pixbuf_get_width(image), width);
        EXPECT_EQ(gdk_pixbuf_get_height(image), height);
        const int channels = gdk_pixbuf_get_n_channels(image);
        const int rowstride = gdk_pixbuf_get_rowstride(image);
        const guchar* data = gdk_pixbuf_get_pixels(image);
        const uint64_t stride = ExpectedStride(width);
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            // Stored bottom row first, blue-green-red; the reader gives top row first, RGB.
            const uint8_t* stored = pixels.data() + uint64_t(height - 1 - y) * stride;
            const guchar* shown = data + size_t(y) * size_t(rowstride);
            for (int x = 0; x < width; ++x) {
                const guchar* p = shown + x * channels;
                if (p[0] != stored[3 * x + 2] || p[1] != stored[3 * x + 1] ||
                    p[2] != stored[3 * x] || (channels == 4 && p[3] != 255))
                    ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0);
        g_object_unref(image);
    }
}

TEST(WriteBitmapFile, OverwritesAnExistingFile) {
    TempDir dir;
    std::string path = dir.File("old.bmp");
    WriteFileBytes(path, std::string(5000, 'x'));
    std::vector<uint8_t> pixels = PixelArray(2, 2);
    ASSERT_TRUE(WriteBitmapFile(path.c_str(), 2, 2, pixels.data()));
    std::string file = ReadFileBytes(path);
    EXPECT_EQ(file.size(), 54 + 16u);
    EXPECT_EQ(file.substr(54), AsString(pixels));
    EXPECT_EQ(CountFilesIn(dir.path()), 1);
}

// Limits the size of files this process writes, as a full disk would; writes past it fail
// with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(WriteBitmapFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string old = "the old file, which must survive";
    enum class Fault { TemporaryNameTaken, MissingFolder, DiskFull, TooLargeForTheFormat };
    struct Case {
        const char* name;
        Fault fault;
    } cases[] = {
        {"temporary name is a folder", Fault::TemporaryNameTaken},
        {"folder does not exist", Fault::MissingFolder},
        {"disk full", Fault::DiskFull},
        {"size field cannot hold the file", Fault::TooLargeForTheFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string path = dir.File("picture.bmp");
        int width = 60, height = 40;
        if (c.fault == Fault::MissingFolder) {
            path = dir.File("missing/picture.bmp");
        } else {
            WriteFileBytes(path, old);
        }
        if (c.fault == Fault::TemporaryNameTaken) {
            ASSERT_TRUE(std::filesystem::create_directory(path + ".zod-tmp"));
        }
        if (c.fault == Fault::TooLargeForTheFormat) {
            width = 30000; // stride 90000 x 50000 rows is past 4 GiB
            height = 50000;
        }
        const int filesBefore = CountFilesIn(dir.path());
        std::vector<uint8_t> pixels = PixelArray(60, 40); // never read past when refused
        bool written;
        if (c.fault == Fault::DiskFull) {
            FileSizeLimit limit(1000);
            written = WriteBitmapFile(path.c_str(), width, height, pixels.data());
        } else {
            written = WriteBitmapFile(path.c_str(), width, height, pixels.data());
        }
        EXPECT_FALSE(written);
        EXPECT_EQ(CountFilesIn(dir.path()), filesBefore);
        if (c.fault == Fault::MissingFolder) {
            EXPECT_FALSE(FileExists(path));
        } else {
            EXPECT_EQ(ReadFileBytes(path), old);
        }
        if (c.fault == Fault::TemporaryNameTaken) {
            EXPECT_TRUE(std::filesystem::is_directory(path + ".zod-tmp"));
        } else {
            EXPECT_FALSE(FileExists(path + ".zod-tmp"));
        }
    }
}

} // namespace
