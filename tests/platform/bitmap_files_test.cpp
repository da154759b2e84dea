// LoadImageA with LR_LOADFROMFILE: one file per BMP encoding family, built here byte by byte,
// the corpus of files to accept or refuse, the work bounded by what the headers describe,
// and the last decoded file kept only while it is unchanged.
#include "platform/hosts/headless.h"
#include "tests/support/bmp_corpus.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zod {
namespace {

using namespace test;

COLORREF PaletteColour(int i) {
    return RGB(i * 16 + 1, 255 - i * 15, (i * 37) & 255);
}

std::string Hex(const char* hex) {
    std::string bytes;
    for (; *hex; hex += 2)
        bytes += char(std::stoi(std::string(hex, 2), nullptr, 16));
    return bytes;
}

struct Form {
    const char* name;
    int headerSize; // 12 (OS/2 core), 40, 108 (V4) or 124 (V5)
    int width;
    int height; // negative: top-down
    int bpp;
    uint32_t compression;        // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
    int colours;                 // palette entries, PaletteColour(i)
    std::vector<uint32_t> masks; // red, green, blue; written for BITFIELDS
    std::string pixels;
    uint32_t gap = 0; // zero bytes between the palette and the pixels
};

std::string BmpFile(const Form& f) {
    std::string header;
    const int side = f.headerSize == 12 ? 2 : 4; // the OS/2 header has 16-bit sizes
    PutLe(header, uint32_t(f.headerSize), 4);
    PutLe(header, uint32_t(f.width), side);
    PutLe(header, uint32_t(f.height), side);
    PutLe(header, 1, 2);
    PutLe(header, uint32_t(f.bpp), 2);
    if (f.headerSize > 12) {
        // A full palette is given as 0 colours used, as most files do.
        const uint32_t used = f.bpp <= 8 && f.colours == 1 << f.bpp ? 0 : uint32_t(f.colours);
        for (uint32_t v : {f.compression, uint32_t(f.pixels.size()), 2835u, 2835u, used, 0u})
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
    const uint32_t offset = uint32_t(14 + header.size()) + f.gap;
    std::string file = "BM";
    PutLe(file, offset + uint32_t(f.pixels.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, offset, 4);
    return file + header + std::string(f.gap, '\0') + f.pixels;
}

HBITMAP Load(const std::string& path) {
    return static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

// The file as LoadImageA decodes it: its size and its pixels row by row; all 0 when refused.
struct Picture {
    LONG width = 0, height = 0;
    std::vector<COLORREF> pixels;
};
Picture LoadPicture(const std::string& path) {
    Picture p;
    HBITMAP bitmap = Load(path);
    BITMAP info{};
    if (GetObjectA(bitmap, sizeof info, &info) != int(sizeof info))
        return p;
    p.width = info.bmWidth, p.height = info.bmHeight;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
    return p;
}

// A number from a /proc/self file ("rchar:", "VmRSS:", "VmHWM:" in KiB), or -1.
long ProcField(const char* file, const char* field) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
}
// Starts measuring the peak of resident memory anew; false where this cannot be done.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    return bool(clear << "5" << std::flush);
}

// 3 x 2 pixels: every form but 32 bits needs row padding, here 0xEE, which a decoder must
// skip. Pixel (x, y) is palette index (x + 3y) % colours, or else Direct(x, y) under the
// masks. RLE forms give runs of one and end each row.
COLORREF Direct(int x, int y) {
    return RGB(x * 50 + 10, y * 80 + 20, (x + y) * 30 + 5);
}
const std::vector<uint32_t> kNone, k565 = {0xF800, 0x07E0, 0x001F}, kBgr = {0xFF, 0xFF00, 0xFF0000};
const Form kForms[] = {
    {"Indexed1", 40, 3, 2, 1, 0, 2, kNone, Hex("a0eeeeee40eeeeee")},
    {"Rle8", 40, 3, 2, 8, 1, 16, kNone, Hex("01030104010500000100010101020001")},
    {"Rle4", 40, 3, 2, 4, 2, 16, kNone, Hex("01330144015500000100011101220001")},
    {"Rgb555", 40, 3, 2, 16, 0, 0, kNone, Hex("8405881d8b35eeee4004441c4834eeee")},
    {"Bitfields565", 40, 3, 2, 16, 3, 0, k565, Hex("240b283b2b6beeeea008a438a868eeee")},
    {"Rgb24TopDown", 40, 3, -2, 24, 0, 0, kNone,
     Hex("05140a23143c41146eeeeeee23640a41643c5f646eeeeeee")},
    {"Os2Indexed4", 12, 3, 2, 4, 0, 16, kNone, Hex("3450eeee0120eeee")},
    {"V4Indexed8TopDown", 108, 3, -2, 8, 0, 16, kNone, Hex("000102ee030405ee")},
    {"V5Bitfields32", 124, 3, 2, 32, 3, 0, kBgr,
     Hex("0a6423003c6441006e645f000a1405003c1423006e144100")},
};

TEST(LoadImage, DecodesEachEncodingFamily) {
    HeadlessHost host(16, 16);
    TempDir dir;
    for (const Form& f : kForms) {
        SCOPED_TRACE(f.name);
        WriteFileBytes(dir.File("form.bmp"), BmpFile(f));
        const Picture p = LoadPicture(dir.File("form.bmp"));
        ASSERT_EQ(std::pair(p.width, p.height), std::pair(LONG(3), LONG(2)));
        const COLORREF kept = f.bpp == 16 ? 0xF8F8F8 : 0xFFFFFF; // bits the form holds
        for (int i = 0; i < 6; ++i) {
            const COLORREF want = f.colours ? PaletteColour(i % f.colours) : Direct(i % 3, i / 3);
            EXPECT_EQ(p.pixels[size_t(i)] & kept, want & kept) << i % 3 << "," << i / 3;
        }
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// The corpus holds every encoding, bad fields of every kind, truncations, RLE overruns,
// and files whose few bytes claim gigabytes of pixels. Each, accepted or refused, costs
// little more memory than its headers and pixels: none makes the loader allocate what a few
// bytes claim. Other formats and missing files are refused too.
TEST(LoadImage, AcceptsAndRefusesTheCorpusCheaply) {
    HeadlessHost host(16, 16);
    const bool peaks = ResetPeak();
    if (!peaks)
        printf("[  SKIPPED ] /proc/self/clear_refs is not writable: no peak is measured\n");
    std::vector<CorpusBmp> corpus = ReadBmpCorpus(ZOD_BMP_CORPUS);
    TempDir dir;
    WriteFileBytes(dir.File("png.bmp"),
                   std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(40, '\0'));
    for (const char* name : {"png.bmp", "missing.bmp"})
        corpus.push_back(CorpusBmp{dir.File(name), false, false, 0, 0, ""});
    for (const CorpusBmp& bmp : corpus) {
        SCOPED_TRACE(bmp.path);
        const long before = ProcField("/proc/self/status", "VmRSS:");
        ASSERT_EQ(ResetPeak(), peaks);
        HBITMAP bitmap = Load(bmp.path);
        EXPECT_TRUE(!peaks || ProcField("/proc/self/status", "VmHWM:") - before < 64 * 1024);
        EXPECT_EQ(bitmap != nullptr, bmp.weAccept);
        BITMAP info{};
        if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
            EXPECT_EQ(std::pair(info.bmWidth, info.bmHeight), std::pair(bmp.width, bmp.height));
        }
        DeleteObject(bitmap);
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// Bytes after the pixel data, or in a long gap before it, are never read.
TEST(LoadImage, ReadsOnlyWhatTheHeadersDescribe) {
    HeadlessHost host(16, 16);
    TempDir dir;
    std::string rgb24; // 13 x 7: pixel (x, y), counted from the bottom row, is blue x, green y
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x)
            rgb24 += {char(x), char(y), char(9)};
        rgb24 += '\0'; // 39 bytes, padded to 40
    }
    const Form rgb = {"", 40, 13, 7, 24, 0, 0, kNone, rgb24};
    const Form rle = {"", 40, 4, 2, 8, 1, 4, kNone, {4, 1, 0, 0, 4, 2, 0, 1}}; // rows of 1, 2
    const long long kMiB = 1 << 20;
    const struct {
        const char* name;
        Form form;
        uint32_t gap;
        long long padTo; // the file is extended (sparsely) to this size
    } cases[] = {
        {"24-bit, 64 MiB after it", rgb, 0, 64 * kMiB},
        {"24-bit, past 1 GiB", rgb, 0, 1024 * kMiB + 1},
        {"RLE8, 64 MiB after it", rle, 0, 64 * kMiB},
        {"24-bit after a 64 MiB gap", rgb, 64 << 20, 0},
        {"RLE8 after a 1 MiB gap", rle, 1 << 20, 0},
        {"RLE8 after a 3-byte gap", rle, 3, 0},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        c.form.gap = c.gap;
        const std::string path = dir.File("padded.bmp");
        WriteFileBytes(path, BmpFile(c.form));
        if (c.padTo) {
            ASSERT_EQ(truncate(path.c_str(), c.padTo), 0);
        }
        const long before = ProcField("/proc/self/io", "rchar:");
        const Picture p = LoadPicture(path);
        EXPECT_LT(ProcField("/proc/self/io", "rchar:") - before, 2 * kMiB);
        ASSERT_EQ(p.pixels.size(), size_t(c.form.width * c.form.height));
        for (int i = 0; i < int(p.pixels.size()); ++i) {
            const int x = i % c.form.width, y = i / c.form.width; // y from the top
            const COLORREF want =
                c.form.bpp == 8 ? PaletteColour(y == 0 ? 2 : 1) : RGB(9, 6 - y, x);
            ASSERT_EQ(p.pixels[size_t(i)], want) << x << "," << y;
        }
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// A few megabytes that decode to 64 MiB of pixels: the decoder's image and ours are not
// held whole side by side.
TEST(LoadImage, ASmallFileHoldsItsDecodedImageAboutOnce) {
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
        Form form;
        int (*index)(int x); // the palette index of column x
    } cases[] = {
        {{"1-bit", 40, 4096, 4096, 1, 0, 2, kNone, std::string(512 * 4096, '\x5a')},
         [](int x) { return 0x5a >> (7 - x % 8) & 1; }},
        {{"4-bit", 40, 4096, 4096, 4, 0, 16, kNone, std::string(2048 * 4096, '\x31')},
         [](int x) { return x % 2 ? 1 : 3; }},
        {{"RLE8", 40, 4096, 4096, 8, 1, 16, kNone, rle}, [](int x) { return x / 256; }},
    };
    if (!ResetPeak()) {
        printf("[  SKIPPED ] the peak memory cannot be reset here\n");
        return;
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form.name);
        const std::string bytes = BmpFile(c.form);
        WriteFileBytes(dir.File("small.bmp"), bytes);
        const long before = ProcField("/proc/self/status", "VmRSS:");
        ResetPeak();
        HBITMAP bitmap = Load(dir.File("small.bmp"));
        ASSERT_NE(bitmap, nullptr);
        const double decoded = 4096.0 * 4096 * 4 / 1024, file = double(bytes.size()) / 1024;
        // Under the sanitizers an eighth more for the shadow of every byte touched, the
        // decoder's image and ours: a quarter of the decoded size at most.
        EXPECT_LT(ProcField("/proc/self/status", "VmHWM:") - before,
                  1.2 * decoded + file + decoded / 4);
        // Given back as it was read, none of it lost.
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        for (int x : {0, 1, 2, 3, 4, 300, 2000, 4095})
            for (int y : {0, 2047, 4095})
                EXPECT_EQ(GetPixel(dc, x, y), PaletteColour(c.index(x))) << x << "," << y;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
}

// LoadImageA keeps the last file it decoded: a second load, with the first one's bitmap
// still alive in a memory context, must show what the file holds now, whatever happened to
// the file or to the first bitmap in between.
TEST(BitmapCache, SecondLoadShowsTheFileAsItIsNow) {
    constexpr COLORREF kOld = RGB(10, 20, 30), kNew = RGB(200, 100, 50);
    // Modified at second `when` of the test's clock, whose 1000 is now.
    auto writeAt = [start = time(nullptr) - 1000](const std::string& path, int width,
                                                  COLORREF colour, int when) {
        WriteFileBytes(path, Bmp24Bytes(width, 3, [colour](int, int) { return colour; }));
        const timespec times[2] = {{start + when, 0}, {start + when, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    const struct {
        const char* name;
        int written; // when the first version was written: 1000 is now
        std::function<void(const std::string& path, HDC first)> change;
        int x; // of the pixel (x, 2) looked at
        COLORREF expected;
    } cases[] = {
        {"Unchanged", 0, [](const std::string&, HDC) {}, 1, kOld},
        {"FirstBitmapDrawnOn", 0,
         [](const std::string&, HDC first) { SetPixel(first, 1, 2, RGB(1, 2, 3)); }, 1, kOld},
        {"RewrittenSameSize", 0, [&](const std::string& p, HDC) { writeAt(p, 2, kNew, 1); }, 1,
         kNew},
        {"RewrittenLarger", 0, [&](const std::string& p, HDC) { writeAt(p, 5, kNew, 0); }, 4, kNew},
        // Both versions within one tick of the file system's clock, as far as it can tell.
        {"RewrittenAsSoonAsWritten", 1000,
         [&](const std::string& p, HDC) { writeAt(p, 2, kNew, 1000); }, 1, kNew},
        {"ReplacedByRename", 0,
         [&](const std::string& p, HDC) {
             writeAt(p + ".new", 2, kNew, 0);
             std::rename((p + ".new").c_str(), p.c_str());
         },
         1, kNew},
        {"Deleted", 0, [](const std::string& p, HDC) { std::remove(p.c_str()); }, 1, CLR_INVALID},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost host;
        TempDir dir;
        const std::string path = dir.File("picture.bmp");
        writeAt(path, 2, kOld, c.written);
        HBITMAP first = Load(path);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, first);
        c.change(path, dc);
        const Picture second = LoadPicture(path);
        EXPECT_EQ(second.pixels.empty() ? CLR_INVALID
                                        : second.pixels[size_t(2 * second.width + c.x)],
                  c.expected);
        SelectObject(dc, old);
        DeleteObject(first);
        DeleteDC(dc);
        EXPECT_EQ(LiveResourceHandles(), 0);
    }
}

} // namespace
} // namespace zod
