// LoadImageA keeps the last file it decoded: a second load must still show what the file
// holds now, whatever happened to it or to the first bitmap in between.
#include "platform/hosts/headless.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace zod {
namespace {

using test::TempDir;
using test::WriteFileBytes;

constexpr COLORREF kOld = RGB(10, 20, 30), kNew = RGB(200, 100, 50), kDrawn = RGB(1, 2, 3);

// Modified at second `when` of the test's clock, whose 1000 is now.
void WriteAt(const std::string& path, int width, COLORREF colour, int when) {
    static const time_t start = time(nullptr) - 1000;
    WriteFileBytes(path, test::Bmp24Bytes(width, 3, [colour](int, int) { return colour; }));
    const timespec times[2] = {{start + when, 0}, {start + when, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// Pixel (x, 2) of the file as loaded, after `change` ran with the first load's bitmap still
// alive in a memory context; CLR_INVALID when the file does not load.
COLORREF PixelOfSecondLoad(const std::string& path, int x, const std::function<void(HDC)>& change) {
    auto load = [&] {
        return static_cast<HBITMAP>(
            LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    };
    HBITMAP first = load();
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, first);
    change(dc);
    HBITMAP second = load();
    SelectObject(dc, second);
    COLORREF pixel = second ? GetPixel(dc, x, 2) : CLR_INVALID;
    SelectObject(dc, old);
    DeleteObject(first);
    DeleteObject(second);
    DeleteDC(dc);
    return pixel;
}

TEST(BitmapCache, SecondLoadShowsTheFileAsItIsNow) {
    struct Case {
        const char* name;
        int written; // when the first version was written: 1000 is now
        std::function<void(const std::string& path, HDC first)> change;
        int x;
        COLORREF expected;
    };
    const Case cases[] = {
        {"Unchanged", 0, [](const std::string&, HDC) {}, 1, kOld},
        {"FirstBitmapDrawnOn", 0,
         [](const std::string&, HDC first) { SetPixel(first, 1, 2, kDrawn); }, 1, kOld},
        {"RewrittenSameSize", 0, [](const std::string& p, HDC) { WriteAt(p, 2, kNew, 1); }, 1,
         kNew},
        {"RewrittenLarger", 0, [](const std::string& p, HDC) { WriteAt(p, 5, kNew, 0); }, 4, kNew},
        // Both versions within one tick of the file system's clock, as far as it can tell.
        {"RewrittenAsSoonAsWritten", 1000,
         [](const std::string& p, HDC) { WriteAt(p, 2, kNew, 1000); }, 1, kNew},
        {"ReplacedByRename", 0,
         [](const std::string& p, HDC) {
             WriteAt(p + ".new", 2, kNew, 0);
             std::rename((p + ".new").c_str(), p.c_str());
         },
         1, kNew},
        {"Deleted", 0, [](const std::string& p, HDC) { std::remove(p.c_str()); }, 1, CLR_INVALID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost host;
        TempDir dir;
        const std::string path = dir.File("picture.bmp");
        WriteAt(path, 2, kOld, c.written);
        EXPECT_EQ(PixelOfSecondLoad(path, c.x, [&](HDC first) { c.change(path, first); }),
                  c.expected);
        EXPECT_EQ(LiveResourceHandles(), 0);
    }
}

} // namespace
} // namespace zod
