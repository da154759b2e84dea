#include "formats/bmp_writer.h"

#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

using zod::test::CountFilesIn;
using zod::test::ReadFileBytes;
using zod::test::TempDir;
using zod::test::WriteFileBytes;

// Bits per row rounded up to whole 32-bit words: the stride worked out another way.
uint64_t ExpectedStride(int64_t width) {
    return width <= 0 ? 0 : (uint64_t(width) * 24 + 31) / 32 * 4;
}

// A pixel array whose every byte, padding included, is distinct enough to spot a shift.
std::string PixelArray(int32_t width, int32_t height) {
    std::string bytes(ExpectedStride(width) * uint64_t(height > 0 ? height : 0), '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + 3);
    return bytes;
}

// The program's exports prove the headers and every padding byte; here are the widths they
// do not reach.
TEST(BitmapRowStride, PadsRowsToWholeWords) {
    for (int32_t width : {-1, 0, 1, 2, 4, 5, INT32_MAX})
        EXPECT_EQ(BitmapRowStride(width), ExpectedStride(width)) << width;
}

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
        std::optional<zod::test::FullDisk> full;
        if (diskFull)
            full.emplace(1000);
        // 30000 x 50000: a stride of 90000 bytes makes the file too large for its size field.
        EXPECT_FALSE(WriteBitmapFile(path.c_str(), diskFull ? 60 : 30000, diskFull ? 40 : 50000,
                                     pixels.data()));
        full.reset();
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(CountFilesIn(dir.path()), 1);
    }
}

} // namespace
