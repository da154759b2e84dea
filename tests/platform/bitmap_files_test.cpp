// LoadImageA with LR_LOADFROMFILE: every BMP form the loader must accept, built here byte by
// byte, decoded pixels read back through a memory context; and the files it must refuse.
#include "platform/hosts/headless.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace zod {
namespace {

using test::TempDir;
using test::WriteFileBytes;

constexpr int kW = 5; // odd: every form needs row padding
constexpr int kH = 3;

COLORREF PaletteColour(int i) {
    return RGB(i * 16 + 1, 255 - i * 15, (i * 37) & 255);
}
COLORREF Direct(int x, int y) {
    return RGB(x * 50 + 10, y * 80 + 20, (x + y) * 30 + 5);
}

void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

struct Form {
    const char* name;
    int headerSize; // 12 (OS/2 core), 40, 108 (V4) or 124 (V5)
    int height;     // negative: top-down
    int bpp;
    uint32_t compression; // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
    int colours;          // palette entries; pixel (x, y) has index (x + 2y) % colours
    std::vector<uint32_t> masks;
    std::function<uint32_t(COLORREF)> pack; // direct forms: one pixel's bits
    COLORREF compareMask;                   // bits that survive the form
};

// Rows in file order, each padded to four bytes.
std::string Rows(const Form& f, int width, int height,
                 const std::function<uint32_t(int, int)>& value) {
    std::string out;
    const int rows = height < 0 ? -height : height;
    for (int i = 0; i < rows; ++i) {
        const int y = height < 0 ? i : rows - 1 - i;
        std::string row;
        uint32_t bits = 0;
        int used = 0;
        for (int x = 0; x < width; ++x) {
            if (f.bpp >= 8) {
                Put(row, value(x, y), f.bpp / 8);
                continue;
            }
            bits = bits << f.bpp | value(x, y);
            if ((used += f.bpp) == 8) {
                row += char(bits);
                bits = used = 0;
            }
        }
        if (used)
            row += char(bits << (8 - used));
        row.resize((row.size() + 3) / 4 * 4, '\0');
        out += row;
    }
    return out;
}

// RLE: each pixel a run of one, each row ended, the last by the end of the bitmap.
std::string Rle(const Form& f, const std::function<uint32_t(int, int)>& index) {
    std::string out;
    for (int y = kH - 1; y >= 0; --y) {
        for (int x = 0; x < kW; ++x)
            out += {char(1), char(f.bpp == 8 ? index(x, y) : index(x, y) * 0x11)};
        out += {char(0), char(y == 0)};
    }
    return out;
}

std::string BmpFile(const Form& f, int width, int height) {
    std::function<uint32_t(int, int)> value = [&](int x, int y) {
        return f.colours ? uint32_t((x + 2 * y) % f.colours) : f.pack(Direct(x, y));
    };
    std::string pixels =
        f.compression == 1 || f.compression == 2 ? Rle(f, value) : Rows(f, width, height, value);
    std::string header;
    const int side = f.headerSize == 12 ? 2 : 4; // the OS/2 header has 16-bit sizes
    Put(header, uint32_t(f.headerSize), 4);
    Put(header, uint32_t(width), side);
    Put(header, uint32_t(height), side);
    Put(header, 1, 2);
    Put(header, uint32_t(f.bpp), 2);
    if (f.headerSize > 12) {
        // A full palette is given as 0 colours used, as most files do.
        const uint32_t used = f.bpp <= 8 && f.colours == 1 << f.bpp ? 0 : uint32_t(f.colours);
        for (uint32_t v : {f.compression, uint32_t(pixels.size()), 2835u, 2835u, used, 0u})
            Put(header, v, 4);
        for (uint32_t mask : f.masks) // in the V4/V5 header, or just after a 40-byte one
            Put(header, mask, 4);
        if (f.headerSize > 40) {
            header.resize(40 + 16, '\0'); // unused masks
            Put(header, 0x73524742, 4);   // 'sRGB'
            header.resize(size_t(f.headerSize), '\0');
        }
    }
    for (int i = 0; i < f.colours; ++i) {
        const COLORREF c = PaletteColour(i);
        header += {char(GetBValue(c)), char(GetGValue(c)), char(GetRValue(c))};
        if (f.headerSize != 12)
            header += '\0';
    }
    std::string file = "BM";
    Put(file, uint32_t(14 + header.size() + pixels.size()), 4);
    Put(file, 0, 4);
    Put(file, uint32_t(14 + header.size()), 4);
    return file + header + pixels;
}

uint32_t Pack555(COLORREF c) {
    return (GetRValue(c) >> 3) << 10 | (GetGValue(c) >> 3) << 5 | GetBValue(c) >> 3;
}
uint32_t Pack565(COLORREF c) {
    return (GetRValue(c) >> 3) << 11 | (GetGValue(c) >> 2) << 5 | GetBValue(c) >> 3;
}
uint32_t PackRgb(COLORREF c) {
    return c;
}
uint32_t PackBgr(COLORREF c) {
    return uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16;
}

uint32_t PackBgra(COLORREF c) {
    return PackBgr(c) | 0xFF000000;
}

constexpr COLORREF kAll = 0xFFFFFF;
const std::vector<uint32_t> kNone, kBgra = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};

const Form kForms[] = {
    {"Indexed1", 40, kH, 1, 0, 2, kNone, nullptr, kAll},
    {"Indexed4", 40, kH, 4, 0, 16, kNone, nullptr, kAll},
    {"Indexed8", 40, kH, 8, 0, 16, kNone, nullptr, kAll},
    {"Indexed8TopDown", 40, -kH, 8, 0, 16, kNone, nullptr, kAll},
    {"Rle8", 40, kH, 8, 1, 16, kNone, nullptr, kAll},
    {"Rle4", 40, kH, 4, 2, 16, kNone, nullptr, kAll},
    {"Rgb555", 40, kH, 16, 0, 0, kNone, Pack555, 0xF8F8F8},
    {"Bitfields565", 40, kH, 16, 3, 0, {0xF800, 0x07E0, 0x001F}, Pack565, 0xF8FCF8},
    {"Rgb24", 40, kH, 24, 0, 0, kNone, PackBgr, kAll},
    {"Rgb24TopDown", 40, -kH, 24, 0, 0, kNone, PackBgr, kAll},
    {"Rgb32", 40, kH, 32, 0, 0, kNone, PackBgr, kAll},
    {"Bitfields32", 40, kH, 32, 3, 0, {0x000000FF, 0x0000FF00, 0x00FF0000}, PackRgb, kAll},
    {"Os2Indexed4", 12, kH, 4, 0, 16, kNone, nullptr, kAll},
    {"Os2Rgb24", 12, kH, 24, 0, 0, kNone, PackBgr, kAll},
    {"V4Rgb24", 108, kH, 24, 0, 0, kNone, PackBgr, kAll},
    {"V4Indexed8TopDown", 108, -kH, 8, 0, 16, kNone, nullptr, kAll},
    {"V5Bitfields32", 124, kH, 32, 3, 0, kBgra, PackBgra, kAll},
    {"V5Bitfields565", 124, kH, 16, 3, 0, {0xF800, 0x07E0, 0x001F, 0}, Pack565, 0xF8FCF8},
};

class Accepted : public ::testing::TestWithParam<Form> {
  protected:
    HeadlessHost host{16, 16};
    TempDir dir;
};

TEST_P(Accepted, DecodesEveryPixel) {
    const Form& f = GetParam();
    const std::string path = dir.File("form.bmp");
    WriteFileBytes(path, BmpFile(f, kW, f.height));
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, kW);
    EXPECT_EQ(info.bmHeight, kH);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const COLORREF want = f.colours ? PaletteColour((x + 2 * y) % f.colours) : Direct(x, y);
            EXPECT_EQ(GetPixel(dc, x, y) & f.compareMask, want & f.compareMask) << x << "," << y;
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(LiveResourceHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(LoadImage, Accepted, ::testing::ValuesIn(kForms),
                         [](const auto& c) { return std::string(c.param.name); });

std::string Bmp24(int width, int height) {
    return BmpFile(kForms[8], width, height);
}

std::string WithSize(std::string file, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        file[18 + i] = char((width >> (8 * i)) & 0xFF);
        file[22 + i] = char((height >> (8 * i)) & 0xFF);
    }
    return file;
}

std::string Cut(const std::string& file, size_t bytes) {
    return file.substr(0, file.size() - bytes);
}

TEST(LoadImage, RefusesWhatIsNotAnAcceptableBmp) {
    HeadlessHost host(16, 16);
    TempDir dir;
    std::string garbage = "BM";
    for (uint32_t v = 12345; garbage.size() < 300; v = v * 1103515245 + 12345)
        garbage += char(v >> 16);
    const std::string whole = Bmp24(kW, kH);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"Empty", ""},
        {"Png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(40, '\0')},
        {"Gif", "GIF89a" + std::string(60, '\0')},
        {"Truncated", Cut(whole, 7)},
        {"HeaderOnly", whole.substr(0, 54)},
        {"TruncatedRle8", Cut(BmpFile(kForms[4], kW, kH), 5)},
        {"TruncatedRle4", Cut(BmpFile(kForms[5], kW, kH), 3)},
        {"TruncatedOs2", Cut(BmpFile(kForms[12], kW, kH), 1)},
        {"TruncatedBitfields", Cut(BmpFile(kForms[11], kW, kH), 4)},
        {"Garbage", garbage},
        {"TopDownRle8", WithSize(BmpFile(kForms[4], kW, kH), kW, uint32_t(-kH))},
        {"Width65536", Bmp24(65536, 1)},
        {"Height65536", Bmp24(1, 65536)},
        {"TopDownHeight65536", WithSize(Bmp24(1, 65536), 1, uint32_t(-65536))},
        {"NegativeWidth", WithSize(whole, uint32_t(-kW), kH)},
        {"ZeroWidth", WithSize(whole, 0, kH)},
        {"ZeroHeight", WithSize(whole, kW, 0)},
        {"HugeClaim", WithSize(whole, 40000, 40000)},
        {"Os2ZeroWidth", BmpFile(kForms[13], 0, kH)},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File(std::string(c.name) + ".bmp");
        WriteFileBytes(path, c.bytes);
        EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr)
            << c.name;
    }
    EXPECT_EQ(
        LoadImageA(nullptr, dir.File("missing.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
        nullptr);
    EXPECT_EQ(LoadImageA(nullptr, dir.path().c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr); // a folder
    const std::string good = dir.File("good.bmp");
    WriteFileBytes(good, whole);
    EXPECT_EQ(LoadImageA(nullptr, good.c_str(), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, good.c_str(), 1, 0, 0, LR_LOADFROMFILE), nullptr); // icon
    EXPECT_EQ(LoadImageA(nullptr, nullptr, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

TEST(LoadImage, AcceptsTheLargestSide) {
    HeadlessHost host(16, 16);
    TempDir dir;
    for (auto [w, h] : {std::pair{65535, 1}, std::pair{1, 65535}}) {
        const std::string path = dir.File("edge.bmp");
        WriteFileBytes(path, Bmp24(w, h));
        HANDLE bitmap = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        BITMAP info{};
        ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), int(sizeof info)) << w << "x" << h;
        EXPECT_EQ(info.bmWidth, w);
        EXPECT_EQ(info.bmHeight, h);
        DeleteObject(bitmap);
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
