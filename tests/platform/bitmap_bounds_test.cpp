// LoadImageA's work is bounded by what the headers describe: bytes after the pixel data,
// or in a long gap before it, are never read, and a small file that decodes to many pixels
// holds its decoded image about once.
#include "platform/hosts/headless.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace zod {
namespace {

using test::PutLe;
using test::TempDir;
using test::WriteFileBytes;

// A BMP with a 40-byte header, `colours` grey palette entries, `gap` zero bytes before the
// pixel data and the pixel bytes given.
std::string Bmp(int width, int height, int bpp, uint32_t compression, int colours,
                const std::string& pixels, uint32_t gap = 0) {
    std::string info;
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height)})
        PutLe(info, v, 4);
    PutLe(info, 1, 2);
    PutLe(info, uint32_t(bpp), 2);
    for (uint32_t v : {compression, uint32_t(pixels.size()), 2835u, 2835u, uint32_t(colours), 0u})
        PutLe(info, v, 4);
    for (int i = 0; i < colours; ++i)
        info += {char(i), char(i), char(i), '\0'};
    const uint32_t offset = uint32_t(14 + info.size()) + gap;
    std::string file = "BM";
    PutLe(file, offset + uint32_t(pixels.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, offset, 4);
    return file + info + std::string(gap, '\0') + pixels;
}

// 13 x 7 at 24 bits: pixel (x, y), counted from the bottom row, holds blue x, green y.
std::string Rgb24() {
    std::string rows;
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x)
            rows += {char(x), char(y), char(9)};
        rows += '\0'; // 39 bytes, padded to 40
    }
    return rows;
}

const std::string kRle8 = {4, 1, 0, 0, 4, 2, 0, 1}; // two rows of four, then the end

long ProcField(const char* file, const char* field) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
}

HBITMAP Load(const std::string& path) {
    return static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

TEST(LoadImageBounds, ReadsOnlyWhatTheHeadersDescribe) {
    HeadlessHost host(16, 16);
    TempDir dir;
    const long long kMiB = 1 << 20;
    const struct {
        const char* name;
        std::string bytes;
        long long padTo; // the file is extended (sparsely) to this size
        int width, height;
    } cases[] = {
        {"24-bit, 64 MiB after it", Bmp(13, 7, 24, 0, 0, Rgb24()), 64 * kMiB, 13, 7},
        {"24-bit, past 1 GiB", Bmp(13, 7, 24, 0, 0, Rgb24()), 1024 * kMiB + 1, 13, 7},
        {"RLE8, 64 MiB after it", Bmp(4, 2, 8, 1, 4, kRle8), 64 * kMiB, 4, 2},
        {"24-bit after a 64 MiB gap", Bmp(13, 7, 24, 0, 0, Rgb24(), 64 << 20), 0, 13, 7},
        {"RLE8 after a 1 MiB gap", Bmp(4, 2, 8, 1, 4, kRle8, 1 << 20), 0, 4, 2},
        {"RLE8 after a 3-byte gap", Bmp(4, 2, 8, 1, 4, kRle8, 3), 0, 4, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("padded.bmp");
        WriteFileBytes(path, c.bytes);
        if (c.padTo) {
            ASSERT_EQ(truncate(path.c_str(), c.padTo), 0);
        }
        const long before = ProcField("/proc/self/io", "rchar:");
        HBITMAP bitmap = Load(path);
        EXPECT_LT(ProcField("/proc/self/io", "rchar:") - before, 2 * kMiB);
        BITMAP info{};
        if (GetObjectA(bitmap, sizeof info, &info) != int(sizeof info)) {
            ADD_FAILURE() << "refused";
            continue;
        }
        EXPECT_EQ(info.bmWidth * 100 + info.bmHeight, c.width * 100 + c.height);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        if (c.width == 13) {
            EXPECT_EQ(GetPixel(dc, 12, 0), RGB(9, 6, 12)); // the top row is the file's last
            EXPECT_EQ(GetPixel(dc, 0, 6), RGB(9, 0, 0));
        } else {
            EXPECT_EQ(GetPixel(dc, 3, 1), RGB(1, 1, 1));
            EXPECT_EQ(GetPixel(dc, 0, 0), RGB(2, 2, 2));
        }
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// A few megabytes that decode to 64 MiB of pixels: the decoder's image and ours are not
// held whole side by side.
TEST(LoadImageBounds, ASmallFileHoldsItsDecodedImageAboutOnce) {
    HeadlessHost host(16, 16);
    TempDir dir;
    std::string rle; // 4096 rows of 16 runs of 256 pixels, each as 255 + 1
    for (int y = 0; y < 4096; ++y) {
        for (int run = 0; run < 16; ++run)
            rle += {char(255), char(run), char(1), char(run)};
        rle += {0, 0};
    }
    rle += {0, 1};
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"1-bit", Bmp(4096, 4096, 1, 0, 2, std::string(512 * 4096, '\x5a'))},
        {"4-bit", Bmp(4096, 4096, 4, 0, 16, std::string(2048 * 4096, '\x31'))},
        {"RLE8", Bmp(4096, 4096, 8, 1, 16, rle)},
    };
    std::ofstream clear("/proc/self/clear_refs");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("small.bmp");
        WriteFileBytes(path, c.bytes);
        const long before = ProcField("/proc/self/status", "VmRSS:");
        if (!(clear << "5" << std::flush)) {
            printf("[  SKIPPED ] the peak memory cannot be reset here\n");
            return;
        }
        HBITMAP bitmap = Load(path);
        ASSERT_NE(bitmap, nullptr);
        const double decoded = 4096.0 * 4096 * 4 / 1024, file = double(c.bytes.size()) / 1024;
        // Under the sanitizers an eighth more for the shadow of every byte touched, the
        // decoder's image and ours: a quarter of the decoded size at most.
        EXPECT_LT(ProcField("/proc/self/status", "VmHWM:") - before,
                  1.2 * decoded + file + decoded / 4);
        DeleteObject(bitmap);
    }
}

} // namespace
} // namespace zod
