// LoadImageA with LR_LOADFROMFILE: one file per BMP encoding family the loader must accept,
// built here byte by byte and read back through a memory context; and files it must refuse.
#include "platform/hosts/headless.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
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
    uint32_t compression;        // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
    int colours;                 // palette entries; pixel (x, y) has index (x + 2y) % colours
    std::vector<uint32_t> masks; // red, green, blue of direct forms; written for BITFIELDS
};

// One pixel of a direct form: each channel's top bits placed under its mask.
uint32_t Pack(const Form& f, COLORREF c) {
    uint32_t value = 0;
    for (int i = 0; i < 3; ++i) {
        const uint32_t mask = f.masks[size_t(i)], channel = (c >> (8 * i)) & 0xFF;
        const int bits = __builtin_popcount(mask), shift = __builtin_ctz(mask);
        value |= (channel >> (8 - bits)) << shift;
    }
    return value;
}

std::string Pixels(const Form& f) {
    auto value = [&](int x, int y) {
        return f.colours ? uint32_t((x + 2 * y) % f.colours) : Pack(f, Direct(x, y));
    };
    std::string out;
    if (f.compression == 1 || f.compression == 2) { // runs of one, each row ended
        for (int y = kH - 1; y >= 0; --y) {
            for (int x = 0; x < kW; ++x)
                out += {char(1), char(f.bpp == 8 ? value(x, y) : value(x, y) * 0x11)};
            out += {char(0), char(y == 0)}; // the last ends the bitmap
        }
        return out;
    }
    for (int i = 0; i < kH; ++i) {
        const int y = f.height < 0 ? i : kH - 1 - i;
        std::string row;
        uint32_t bits = 0;
        int used = 0;
        for (int x = 0; x < kW; ++x) {
            if (f.bpp >= 8) {
                Put(row, value(x, y), f.bpp / 8);
            } else if (bits = bits << f.bpp | value(x, y), (used += f.bpp) == 8) {
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

std::string BmpFile(const Form& f) {
    const std::string pixels = Pixels(f);
    std::string header;
    const int side = f.headerSize == 12 ? 2 : 4; // the OS/2 header has 16-bit sizes
    Put(header, uint32_t(f.headerSize), 4);
    Put(header, kW, side);
    Put(header, uint32_t(f.height), side);
    Put(header, 1, 2);
    Put(header, uint32_t(f.bpp), 2);
    if (f.headerSize > 12) {
        // A full palette is given as 0 colours used, as most files do.
        const uint32_t used = f.bpp <= 8 && f.colours == 1 << f.bpp ? 0 : uint32_t(f.colours);
        for (uint32_t v : {f.compression, uint32_t(pixels.size()), 2835u, 2835u, used, 0u})
            Put(header, v, 4);
        if (f.compression == 3) // in the V4/V5 header, or just after a 40-byte one
            for (uint32_t mask : f.masks)
                Put(header, mask, 4);
        if (f.headerSize > 40) {
            header.resize(40 + 16, '\0');
            Put(header, 0x73524742, 4); // 'sRGB'
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

const std::vector<uint32_t> kNone, k555 = {0x7C00, 0x03E0, 0x001F}, k565 = {0xF800, 0x07E0, 0x001F},
                                   k888 = {0xFF0000, 0xFF00, 0xFF};

const Form kForms[] = {
    {"Indexed1", 40, kH, 1, 0, 2, kNone},
    {"Indexed4", 40, kH, 4, 0, 16, kNone},
    {"Indexed8", 40, kH, 8, 0, 16, kNone},
    {"Rle8", 40, kH, 8, 1, 16, kNone},
    {"Rle4", 40, kH, 4, 2, 16, kNone},
    {"Rgb555", 40, kH, 16, 0, 0, k555},
    {"Bitfields565", 40, kH, 16, 3, 0, k565},
    {"Rgb24TopDown", 40, -kH, 24, 0, 0, k888},
    {"Rgb32", 40, kH, 32, 0, 0, k888},
    {"Os2Indexed4", 12, kH, 4, 0, 16, kNone},
    {"V4Indexed8TopDown", 108, -kH, 8, 0, 16, kNone},
    {"V5Bitfields32", 124, kH, 32, 3, 0, {0x000000FF, 0x0000FF00, 0x00FF0000}},
};

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
                    f.colours ? PaletteColour((x + 2 * y) % f.colours) : Direct(x, y);
                EXPECT_EQ(GetPixel(dc, x, y) & kept, want & kept) << x << "," << y;
            }
        SelectObject(dc, old);
        DeleteDC(dc);
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

std::string Bmp24(int width, int height) {
    return test::Bmp24Bytes(width, height, [](int, int) { return RGB(1, 2, 3); });
}

std::string WithSize(std::string file, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        file[size_t(18 + i)] = char((width >> (8 * i)) & 0xFF);
        file[size_t(22 + i)] = char((height >> (8 * i)) & 0xFF);
    }
    return file;
}

TEST(LoadImage, RefusesWhatIsNotAnAcceptableBmp) {
    HeadlessHost host(16, 16);
    TempDir dir;
    const std::string whole = Bmp24(kW, kH), rle8 = BmpFile(kForms[3]);
    const std::string cases[] = {
        "",
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(40, '\0'),
        whole.substr(0, whole.size() - 7),
        rle8.substr(0, rle8.size() - 5),
        WithSize(rle8, kW, uint32_t(-kH)), // RLE cannot be top-down
        Bmp24(65536, 1),
        Bmp24(1, 65536),
        WithSize(whole, 0, kH),
        WithSize(whole, kW, 0),
        WithSize(whole, 40000, 40000), // more pixels than the file holds
    };
    for (const std::string& bytes : cases) {
        const std::string path = dir.File("bad.bmp");
        WriteFileBytes(path, bytes);
        EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr)
            << "case " << &bytes - cases;
    }
    EXPECT_EQ(
        LoadImageA(nullptr, dir.File("missing.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
        nullptr);
    for (auto [w, h] : {std::pair{65535, 1}, std::pair{1, 65535}}) { // the largest side loads
        const std::string path = dir.File("edge.bmp");
        WriteFileBytes(path, Bmp24(w, h));
        HANDLE bitmap = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        EXPECT_NE(bitmap, nullptr) << w << "x" << h;
        DeleteObject(bitmap);
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
