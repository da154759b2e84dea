// LoadImageA with LR_LOADFROMFILE: one file per BMP encoding family the loader must accept,
// built here byte by byte and read back through a memory context; and files it must refuse.
#include "platform/hosts/headless.h"
#include "tests/support/bmp_corpus.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace zod {
namespace {

using test::PutLe;
using test::TempDir;
using test::WriteFileBytes;

constexpr int kW = 3; // odd: every form but 32 bits needs row padding
constexpr int kH = 2;

COLORREF PaletteColour(int i) {
    return RGB(i * 16 + 1, 255 - i * 15, (i * 37) & 255);
}
COLORREF Direct(int x, int y) {
    return RGB(x * 50 + 10, y * 80 + 20, (x + y) * 30 + 5);
}

// One file per row: its header fields and its pixel bytes in hex, which hold pixel (x, y) as
// palette index (x + 3y) % colours, or as Direct(x, y) under the masks. Rows are padded with
// 0xEE, which a decoder must skip; RLE forms give runs of one and end each row.
struct Form {
    const char* name;
    int headerSize; // 12 (OS/2 core), 40, 108 (V4) or 124 (V5)
    int height;     // negative: top-down
    int bpp;
    uint32_t compression;        // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
    int colours;                 // palette entries
    std::vector<uint32_t> masks; // red, green, blue; written for BITFIELDS
    const char* pixels;
};

const std::vector<uint32_t> kNone, k565 = {0xF800, 0x07E0, 0x001F}, kBgr = {0xFF, 0xFF00, 0xFF0000};

const Form kForms[] = {
    {"Indexed1", 40, kH, 1, 0, 2, kNone, "a0eeeeee40eeeeee"},
    {"Rle8", 40, kH, 8, 1, 16, kNone, "01030104010500000100010101020001"},
    {"Rle4", 40, kH, 4, 2, 16, kNone, "01330144015500000100011101220001"},
    {"Rgb555", 40, kH, 16, 0, 0, kNone, "8405881d8b35eeee4004441c4834eeee"},
    {"Bitfields565", 40, kH, 16, 3, 0, k565, "240b283b2b6beeeea008a438a868eeee"},
    {"Rgb24TopDown", 40, -kH, 24, 0, 0, kNone, "05140a23143c41146eeeeeee23640a41643c5f646eeeeeee"},
    {"Os2Indexed4", 12, kH, 4, 0, 16, kNone, "3450eeee0120eeee"},
    {"V4Indexed8TopDown", 108, -kH, 8, 0, 16, kNone, "000102ee030405ee"},
    {"V5Bitfields32", 124, kH, 32, 3, 0, kBgr, "0a6423003c6441006e645f000a1405003c1423006e144100"},
};

std::string BmpFile(const Form& f) {
    std::string pixels;
    for (const char* h = f.pixels; *h; h += 2)
        pixels += char(std::stoi(std::string(h, 2), nullptr, 16));
    std::string header;
    const int side = f.headerSize == 12 ? 2 : 4; // the OS/2 header has 16-bit sizes
    PutLe(header, uint32_t(f.headerSize), 4);
    PutLe(header, kW, side);
    PutLe(header, uint32_t(f.height), side);
    PutLe(header, 1, 2);
    PutLe(header, uint32_t(f.bpp), 2);
    if (f.headerSize > 12) {
        // A full palette is given as 0 colours used, as most files do.
        const uint32_t used = f.bpp <= 8 && f.colours == 1 << f.bpp ? 0 : uint32_t(f.colours);
        for (uint32_t v : {f.compression, uint32_t(pixels.size()), 2835u, 2835u, used, 0u})
            PutLe(header, v, 4);
        if (f.compression == 3) // in the V4/V5 header, or just after a 40-byte one
            for (uint32_t mask : f.masks)
                PutLe(header, mask, 4);
        header.resize(std::max(header.size(), size_t(f.headerSize)), '\0'); // V4/V5: zeros
    }
    for (int i = 0; i < f.colours; ++i) {
        const COLORREF c = PaletteColour(i);
        header += {char(GetBValue(c)), char(GetGValue(c)), char(GetRValue(c))};
        if (f.headerSize != 12)
            header += '\0';
    }
    std::string file = "BM";
    PutLe(file, uint32_t(14 + header.size() + pixels.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, uint32_t(14 + header.size()), 4);
    return file + header + pixels;
}

TEST(LoadImage, DecodesEachEncodingFamily) {
    HeadlessHost host(16, 16);
    TempDir dir;
    for (const Form& f : kForms) {
        SCOPED_TRACE(f.name);
        const std::string path = dir.File(std::string(f.name) + ".bmp");
        WriteFileBytes(path, BmpFile(f));
        HBITMAP bitmap = static_cast<HBITMAP>(
            LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        BITMAP info{};
        ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), int(sizeof info));
        EXPECT_EQ(std::pair(info.bmWidth, info.bmHeight), std::pair(LONG(kW), LONG(kH)));
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        const COLORREF kept = f.bpp == 16 ? 0xF8F8F8 : 0xFFFFFF; // bits the form holds
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const COLORREF want =
                    f.colours ? PaletteColour((x + 3 * y) % f.colours) : Direct(x, y);
                EXPECT_EQ(GetPixel(dc, x, y) & kept, want & kept) << x << "," << y;
            }
        SelectObject(dc, old);
        DeleteDC(dc);
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// Resident memory now and at its peak since ResetPeak(), in KiB; -1 where unknown.
long StatusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
}
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    return bool(clear << "5" << std::flush);
}

// The corpus holds every encoding, bad fields of every kind, truncations, RLE overruns,
// and files whose few bytes claim gigabytes of pixels. Each, accepted or refused, costs
// little more memory than its headers and pixels: none makes the loader allocate what a few
// bytes claim.
TEST(LoadImage, AcceptsAndRefusesTheCorpusCheaply) {
    HeadlessHost host(16, 16);
    const bool peaks = ResetPeak();
    if (!peaks)
        printf("[  SKIPPED ] /proc/self/clear_refs is not writable: no peak is measured\n");
    for (const test::CorpusBmp& bmp : test::ReadBmpCorpus(ZOD_BMP_CORPUS)) {
        SCOPED_TRACE(bmp.path);
        const long before = StatusKib("VmRSS:");
        ASSERT_EQ(ResetPeak(), peaks);
        HBITMAP bitmap = static_cast<HBITMAP>(
            LoadImageA(nullptr, bmp.path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        EXPECT_TRUE(!peaks || StatusKib("VmHWM:") - before < 64 * 1024);
        EXPECT_EQ(bitmap != nullptr, bmp.weAccept);
        BITMAP info{};
        if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
            EXPECT_EQ(std::pair(info.bmWidth, info.bmHeight), std::pair(bmp.width, bmp.height));
        }
        DeleteObject(bitmap);
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

TEST(LoadImage, RefusesOtherFormatsAndMissingFiles) {
    HeadlessHost host(16, 16);
    TempDir dir;
    const std::string png = dir.File("png.bmp");
    WriteFileBytes(png, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(40, '\0'));
    for (const std::string& path : {png, dir.File("missing.bmp")})
        EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
