// LoadImageA with LR_LOADFROMFILE: the corpus of files to accept or refuse, the work bounded
// by what the headers describe, and the last decoded file kept only while it is unchanged.
// gdk-pixbuf decodes; what is ours is checked here: the headers read, the bytes handed over,
// and the pixels converted.
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

// A BMP file with a 40-byte header, `colours` palette entries PaletteColour(i) and `gap`
// zero bytes between them and the pixels.
struct Form {
    const char* name;
    int width, height, bpp;
    uint32_t compression; // 0 RGB, 1 RLE8
    int colours;
    std::string pixels;
    uint32_t gap = 0;
};

std::string BmpFile(const Form& f) {
    std::string header;
    for (uint32_t v : {40u, uint32_t(f.width), uint32_t(f.height)})
        PutLe(header, v, 4);
    PutLe(header, 1, 2);
    PutLe(header, uint32_t(f.bpp), 2);
    for (uint32_t v :
         {f.compression, uint32_t(f.pixels.size()), 2835u, 2835u, uint32_t(f.colours), 0u})
        PutLe(header, v, 4);
    for (int i = 0; i < f.colours; ++i) {
        const COLORREF c = PaletteColour(i);
        header += {char(GetBValue(c)), char(GetGValue(c)), char(GetRValue(c)), '\0'};
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
        corpus.push_back(CorpusBmp{dir.File(name), false, false, false, 0, 0, ""});
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
    const Form rgb = {"", 13, 7, 24, 0, 0, rgb24};
    const Form rle = {"", 4, 2, 8, 1, 4, {4, 1, 0, 0, 4, 2, 0, 1}}; // rows of 1, 2
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
        {{"1-bit", 4096, 4096, 1, 0, 2, std::string(512 * 4096, '\x5a')},
         [](int x) { return 0x5a >> (7 - x % 8) & 1; }},
        {{"4-bit", 4096, 4096, 4, 0, 16, std::string(2048 * 4096, '\x31')},
         [](int x) { return x % 2 ? 1 : 3; }},
        {{"RLE8", 4096, 4096, 8, 1, 16, rle}, [](int x) { return x / 256; }},
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
