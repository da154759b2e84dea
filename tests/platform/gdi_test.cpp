// Device contexts, bitmaps, BitBlt and GetDIBits. Targets are filled with a sentinel first,
// so that a stray write anywhere shows.
#include "platform/hosts/headless.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace zod {
namespace {

constexpr int kScreenW = 48;
constexpr int kScreenH = 40;
constexpr COLORREF kSentinel = RGB(0x5A, 0xA5, 0x3C);

std::vector<LONG> Box(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

COLORREF Pattern(int x, int y) {
    return RGB(x * 3 + 1, y * 5 + 2, (x ^ y) + 3);
}

void Fill(HDC dc, int width, int height, const std::function<COLORREF(int, int)>& colour) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(dc, x, y, colour(x, y));
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Gdi : public ::testing::Test {
  public:
    Gdi() : host(kScreenW, kScreenH) {}

    // A maximised window with the menu bar: client area (0, 18) to (48, 40).
    HWND MainWindow() {
        WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        c.lpszMenuName = "TVQ_MENU";
        c.lpszClassName = "GdiTest";
        RegisterClassA(&c);
        HWND w = CreateWindowExA(0, "GdiTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        ShowWindow(w, SW_MAXIMIZE);
        return w;
    }

    void FillScreen(COLORREF colour) {
        HDC screen = GetDC(nullptr);
        Fill(screen, kScreenW, kScreenH, [colour](int, int) { return colour; });
        ReleaseDC(nullptr, screen);
    }

    HeadlessHost host;
};

struct DcCase {
    const char* name;
    std::function<HDC(HWND)> get;
    std::function<void(HWND, HDC)> release;
    RECT clipBox;
    POINT origin; // screen position of (0, 0)
};

const DcCase kDcs[] = {
    {"WindowClient",
     [](HWND w) { return GetDC(w); },
     [](HWND w, HDC dc) { ReleaseDC(w, dc); },
     {0, 0, kScreenW, kScreenH - kMenuBarHeight},
     {0, kMenuBarHeight}},
    {"Screen",
     [](HWND) { return GetDC(nullptr); },
     [](HWND, HDC dc) { ReleaseDC(nullptr, dc); },
     {0, 0, kScreenW, kScreenH},
     {0, 0}},
    {"ScreenWindowDc",
     [](HWND) { return GetWindowDC(nullptr); },
     [](HWND, HDC dc) { ReleaseDC(nullptr, dc); },
     {0, 0, kScreenW, kScreenH},
     {0, 0}},
    {"WholeWindow",
     [](HWND w) { return GetWindowDC(w); },
     [](HWND w, HDC dc) { ReleaseDC(w, dc); },
     {0, 0, kScreenW, kScreenH},
     {0, 0}},
};

class DeviceContexts : public Gdi, public ::testing::WithParamInterface<DcCase> {};

TEST_P(DeviceContexts, OriginAndClip) {
    const DcCase& c = GetParam();
    HWND w = MainWindow();
    FillScreen(kSentinel);
    HDC dc = c.get(w);
    RECT box{-9, -9, -9, -9};
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(Box(box), Box(c.clipBox));
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), kScreenW);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), kScreenH);
    // Just inside each corner of the clip box, and just outside each edge.
    const POINT inside[] = {{box.left, box.top}, {box.right - 1, box.bottom - 1}};
    for (const POINT& p : inside) {
        EXPECT_EQ(SetPixel(dc, p.x, p.y, RGB(1, 2, 3)), RGB(1, 2, 3));
        EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(1, 2, 3));
        EXPECT_EQ(ScreenPixel(p.x + c.origin.x, p.y + c.origin.y), RGB(1, 2, 3));
    }
    const POINT outside[] = {{box.left - 1, box.top}, {box.left, box.top - 1}, {box.right, box.top},
                             {box.left, box.bottom},  {INT_MIN, INT_MIN},      {INT_MAX, INT_MAX}};
    for (const POINT& p : outside) {
        EXPECT_EQ(SetPixel(dc, p.x, p.y, RGB(9, 9, 9)), CLR_INVALID) << p.x << "," << p.y;
        EXPECT_EQ(GetPixel(dc, p.x, p.y), CLR_INVALID) << p.x << "," << p.y;
    }
    int changed = 0;
    for (int y = 0; y < kScreenH; ++y)
        for (int x = 0; x < kScreenW; ++x)
            changed += ScreenPixel(x, y) != kSentinel;
    EXPECT_EQ(changed, 2);
    c.release(w, dc);
    EXPECT_EQ(LiveHandles(HandleKind::DeviceContext), 0);
    EXPECT_EQ(GetClipBox(dc, &box), ERROR);
    DestroyWindow(w);
}

INSTANTIATE_TEST_SUITE_P(Gdi, DeviceContexts, ::testing::ValuesIn(kDcs),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(Gdi, HiddenWindowDrawsNothing) {
    HWND w = MainWindow();
    ShowWindow(w, SW_HIDE);
    HDC dc = GetDC(w);
    RECT box{-9, -9, -9, -9};
    EXPECT_EQ(GetClipBox(dc, &box), NULLREGION);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(ScreenPixel(0, kMenuBarHeight), 0u);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0); // not the window's owner
    EXPECT_EQ(ReleaseDC(w, dc), 1);
    DestroyWindow(w);
}

TEST_F(Gdi, MemoryContextsAndBitmapSelection) {
    HDC screen = GetDC(nullptr);
    HDC a = CreateCompatibleDC(screen);
    HDC b = CreateCompatibleDC(nullptr);
    RECT box;
    EXPECT_EQ(GetClipBox(a, &box), SIMPLEREGION);
    EXPECT_EQ(Box(box), Box(RECT{0, 0, 1, 1})); // the default 1 x 1 bitmap
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    HGDIOBJ original = SelectObject(a, bitmap);
    ASSERT_NE(original, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(original, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmHeight, 1);
    EXPECT_EQ(SelectObject(b, bitmap), nullptr); // already in a
    EXPECT_EQ(SelectObject(screen, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap)); // still selected
    EXPECT_FALSE(DeleteDC(screen));     // not a memory context
    EXPECT_EQ(GetClipBox(a, &box), SIMPLEREGION);
    EXPECT_EQ(Box(box), Box(RECT{0, 0, 3, 2}));
    EXPECT_EQ(SelectObject(a, original), bitmap);
    EXPECT_EQ(SelectObject(b, bitmap), original); // free again
    EXPECT_TRUE(DeleteDC(b));                     // releases the selection
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(a));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

TEST_F(Gdi, CompatibleBitmapSizes) {
    struct Case {
        int width, height;
        LONG expectedW, expectedH; // 0: refused
    };
    const Case cases[] = {
        {3, 2, 3, 2},       {0, 0, 1, 1},
        {0, 5, 1, 1},       {7, 0, 1, 1},
        {-1, 5, 0, 0},      {5, -1, 0, 0},
        {-1, -1, 0, 0},     {16385, 16384, 0, 0},
        {INT_MAX, 2, 0, 0}, {INT_MAX, INT_MAX, 0, 0},
        {INT_MIN, 1, 0, 0}, {65536, 4097, 0, 0},
    };
    HDC screen = GetDC(nullptr);
    for (const Case& c : cases) {
        HBITMAP bitmap = CreateCompatibleBitmap(screen, c.width, c.height);
        BITMAP info;
        std::memset(&info, 0xCC, sizeof info);
        if (c.expectedW == 0) {
            EXPECT_EQ(bitmap, nullptr) << c.width << "x" << c.height;
            continue;
        }
        ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), int(sizeof info));
        EXPECT_EQ(info.bmWidth, c.expectedW);
        EXPECT_EQ(info.bmHeight, c.expectedH);
        EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), int(sizeof info));
        EXPECT_EQ(GetObjectA(bitmap, sizeof info - 1, &info), 0);
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 2, 2), nullptr);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// BitBlt between two 8 x 6 memory contexts, against a per-pixel model of clipping.
struct BlitCase {
    int x, y, w, h, sx, sy;
};

const BlitCase kBlits[] = {
    {0, 0, 8, 6, 0, 0},
    {2, 1, 3, 2, 4, 3},
    {-2, -1, 5, 4, 0, 0},
    {6, 4, 5, 5, 0, 0},
    {0, 0, 8, 6, 5, 4},
    {1, 1, 6, 4, -3, -2},
    {0, 0, 4, 4, 8, 0},
    {0, 0, 0, 5, 0, 0},
    {0, 0, 5, -1, 0, 0},
    {INT_MAX, 0, 5, 5, 0, 0},
    {0, 0, INT_MAX, INT_MAX, INT_MIN, 0},
    {-100, -100, 200, 200, -100, -100},
};

class Blit : public Gdi, public ::testing::WithParamInterface<BlitCase> {};

TEST_P(Blit, CopiesOnlyTheClippedRectangle) {
    const BlitCase& c = GetParam();
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HGDIOBJ fromOld = SelectObject(from, CreateCompatibleBitmap(screen, 8, 6));
    HGDIOBJ toOld = SelectObject(to, CreateCompatibleBitmap(screen, 8, 6));
    Fill(from, 8, 6, Pattern);
    Fill(to, 8, 6, [](int, int) { return kSentinel; });
    EXPECT_TRUE(BitBlt(to, c.x, c.y, c.w, c.h, from, c.sx, c.sy, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const int64_t u = int64_t(c.sx) + x - c.x, v = int64_t(c.sy) + y - c.y;
            const bool inTarget = x >= c.x && int64_t(x) < int64_t(c.x) + c.w && y >= c.y &&
                                  int64_t(y) < int64_t(c.y) + c.h;
            const bool inSource = u >= 0 && u < 8 && v >= 0 && v < 6;
            ASSERT_EQ(GetPixel(to, x, y),
                      inTarget && inSource ? Pattern(int(u), int(v)) : kSentinel)
                << x << "," << y;
        }
    EXPECT_FALSE(BitBlt(to, 0, 0, 1, 1, from, 0, 0, 0x00EE0086)); // SRCPAINT: not supported
    DeleteObject(SelectObject(from, fromOld));
    DeleteObject(SelectObject(to, toOld));
    DeleteDC(from);
    DeleteDC(to);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Gdi, Blit, ::testing::ValuesIn(kBlits));

// Overlapping copies within one surface, in every direction.
TEST_F(Gdi, OverlappingCopyOnOneSurface) {
    const BlitCase cases[] = {{2, 1, 5, 4, 0, 0}, {0, 0, 5, 4, 2, 1}, {1, 0, 6, 6, 0, 0},
                              {0, 0, 6, 6, 1, 0}, {0, 1, 8, 5, 0, 0}, {0, 0, 8, 5, 0, 1},
                              {3, 0, 5, 6, 0, 1}, {0, 1, 5, 5, 3, 0}};
    HDC dc = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, 8, 6));
    for (const BlitCase& c : cases) {
        Fill(dc, 8, 6, Pattern);
        EXPECT_TRUE(BitBlt(dc, c.x, c.y, c.w, c.h, dc, c.sx, c.sy, SRCCOPY));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool inTarget = x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h;
                const int u = c.sx + x - c.x, v = c.sy + y - c.y;
                const bool inSource = u >= 0 && u < 8 && v >= 0 && v < 6;
                ASSERT_EQ(GetPixel(dc, x, y), inTarget && inSource ? Pattern(u, v) : Pattern(x, y))
                    << "case " << (&c - cases) << " at " << x << "," << y;
            }
    }
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

// To the client area: its clip keeps the menu bar and everything outside untouched;
// from the screen: pixels beyond it leave the target as it was.
TEST_F(Gdi, BlitToWindowAndFromScreenClipsAtBothEnds) {
    HWND w = MainWindow();
    FillScreen(kSentinel);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(memory, CreateCompatibleBitmap(screen, 8, 6));
    Fill(memory, 8, 6, Pattern);
    HDC client = GetDC(w);
    EXPECT_TRUE(BitBlt(client, -3, -4, 8, 6, memory, 0, 0, SRCCOPY));
    EXPECT_TRUE(
        BitBlt(client, kScreenW - 5, kScreenH - kMenuBarHeight - 2, 8, 6, memory, 0, 0, SRCCOPY));
    for (int y = 0; y < kScreenH; ++y)
        for (int x = 0; x < kScreenW; ++x) {
            const int cy = y - kMenuBarHeight;
            COLORREF expected = kSentinel;
            if (cy >= 0 && x < 5 && cy < 2)
                expected = Pattern(x + 3, cy + 4);
            if (x >= kScreenW - 5 && cy >= kScreenH - kMenuBarHeight - 2)
                expected = Pattern(x - (kScreenW - 5), cy - (kScreenH - kMenuBarHeight - 2));
            ASSERT_EQ(ScreenPixel(x, y), expected) << x << "," << y;
        }
    // Back from the screen's bottom-right corner, half of it beyond the screen.
    Fill(memory, 8, 6, [](int, int) { return RGB(7, 7, 7); });
    EXPECT_TRUE(BitBlt(memory, 0, 0, 8, 6, screen, kScreenW - 4, kScreenH - 3, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(GetPixel(memory, x, y), x < 4 && y < 3
                                                  ? ScreenPixel(kScreenW - 4 + x, kScreenH - 3 + y)
                                                  : RGB(7, 7, 7))
                << x << "," << y;
    ReleaseDC(w, client);
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DestroyWindow(w);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// GetDIBits rows laid out independently: bottom-up unless the height is negative, each
// row padded to four bytes with zeros.
std::vector<uint8_t> ExpectedDib(int width, int height, int bpp, int first, int count,
                                 bool topDown) {
    const size_t stride = (size_t(width) * (bpp / 8) + 3) / 4 * 4;
    std::vector<uint8_t> out;
    for (int line = first; line < first + count; ++line) {
        const int row = topDown ? line : height - 1 - line;
        std::vector<uint8_t> bytes(stride, 0);
        for (int x = 0; x < width; ++x) {
            const COLORREF c = Pattern(x, row);
            bytes[size_t(x) * (bpp / 8)] = GetBValue(c);
            bytes[size_t(x) * (bpp / 8) + 1] = GetGValue(c);
            bytes[size_t(x) * (bpp / 8) + 2] = GetRValue(c);
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

TEST_F(Gdi, GetDIBitsLayout) {
    struct Case {
        int width, bpp;
        UINT start, lines;
        bool topDown;
        int copied;
    };
    const int height = 3;
    std::vector<Case> cases;
    for (int width : {1, 2, 3, 4, 5, 37})
        for (int bpp : {24, 32}) {
            cases.push_back({width, bpp, 0, 3, false, 3});
            cases.push_back({width, bpp, 0, 3, true, 3});
        }
    cases.push_back({5, 24, 1, 1, false, 1});
    cases.push_back({5, 24, 1, 1, true, 1});
    cases.push_back({5, 24, 2, 9, false, 1});
    cases.push_back({5, 24, 3, 1, false, 0});
    cases.push_back({5, 24, 1, UINT_MAX, false, 2});
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    for (const Case& c : cases) {
        HBITMAP bitmap = CreateCompatibleBitmap(screen, c.width, height);
        HGDIOBJ old = SelectObject(memory, bitmap);
        Fill(memory, c.width, height, Pattern);
        SelectObject(memory, old);
        std::vector<uint8_t> want =
            ExpectedDib(c.width, height, c.bpp, int(c.start), c.copied, c.topDown);
        std::vector<uint8_t> buffer(want.size() + 16, 0xCC);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = c.width;
        info.bmiHeader.biHeight = c.topDown ? -height : height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = WORD(c.bpp);
        info.bmiHeader.biCompression = BI_RGB;
        EXPECT_EQ(GetDIBits(memory, bitmap, c.start, c.lines, buffer.data(), &info, DIB_RGB_COLORS),
                  c.copied);
        want.resize(buffer.size(), 0xCC); // nothing written past the rows
        EXPECT_EQ(buffer, want) << c.width << " wide, " << c.bpp << " bpp, from " << c.start;
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

TEST_F(Gdi, GetDIBitsHeaderQueryAndRefusals) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 37, 5);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_NE(GetDIBits(screen, bitmap, 0, 5, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.bmiHeader.biWidth, 37);
    EXPECT_EQ(info.bmiHeader.biHeight, 5);
    EXPECT_EQ(info.bmiHeader.biPlanes, 1);
    uint8_t buffer[600];
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, 1, buffer, &info, 1), 0); // DIB_PAL_COLORS
    EXPECT_EQ(GetDIBits(nullptr, bitmap, 0, 1, buffer, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(screen, nullptr, 0, 1, buffer, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, 1, buffer, nullptr, DIB_RGB_COLORS), 0);
    info.bmiHeader.biBitCount = 8;
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, 1, buffer, &info, DIB_RGB_COLORS), 0);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}

} // namespace
} // namespace zod
