// Device contexts, bitmaps, BitBlt and GetDIBits. Targets are filled with a sentinel first,
// so that a stray write anywhere shows.
#include "platform/hosts/headless.h"

#include <gtest/gtest.h>

#include <climits>
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

// Records what the host is told changed on the screen.
struct WatchingHost : HeadlessHost {
    WatchingHost() : HeadlessHost(kScreenW, kScreenH) {}
    void ScreenChanged(const RECT& r) override { changed.push_back(r); }
    std::vector<RECT> changed;
};

class Gdi : public ::testing::Test {
  protected:
    Gdi() {
        WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        c.lpszMenuName = "TVQ_MENU";
        c.lpszClassName = "GdiTest";
        RegisterClassA(&c);
        // Maximised with its menu bar: the client area is (0, 18)-(48, 40).
        window = CreateWindowExA(0, "GdiTest", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr,
                                 nullptr);
        ShowWindow(window, SW_MAXIMIZE);
        screen = GetDC(nullptr);
        Fill(screen, kScreenW, kScreenH, [](int, int) { return kSentinel; });
    }
    ~Gdi() override {
        ReleaseDC(nullptr, screen);
        DestroyWindow(window);
        EXPECT_EQ(LiveResourceHandles(), 0);
    }

    HBITMAP Memory(HDC& dc, int width, int height) {
        dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        SelectObject(dc, bitmap);
        return bitmap;
    }
    void Free(HDC dc, HBITMAP bitmap) {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }

    WatchingHost host;
    HWND window;
    HDC screen;
};

TEST_F(Gdi, WindowAndScreenContexts) {
    struct Case {
        HDC dc;
        HWND owner;
        RECT clip;
        int originY; // screen row of logical y 0
    };
    const Case cases[] = {
        {GetDC(window), window, {0, 0, kScreenW, kScreenH - kMenuBarHeight}, kMenuBarHeight},
        {GetDC(nullptr), nullptr, {0, 0, kScreenW, kScreenH}, 0},
        {GetWindowDC(nullptr), nullptr, {0, 0, kScreenW, kScreenH}, 0},
    };
    for (const Case& c : cases) {
        RECT box{-9, -9, -9, -9};
        EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
        EXPECT_EQ(Box(box), Box(c.clip));
        EXPECT_EQ(GetDeviceCaps(c.dc, HORZRES), kScreenW);
        EXPECT_EQ(GetDeviceCaps(c.dc, VERTRES), kScreenH);
        for (POINT p : {POINT{0, 0}, POINT{box.right - 1, box.bottom - 1}}) {
            EXPECT_EQ(SetPixel(c.dc, p.x, p.y, RGB(1, 2, 3)), RGB(1, 2, 3));
            EXPECT_EQ(GetPixel(c.dc, p.x, p.y), RGB(1, 2, 3));
            EXPECT_EQ(ScreenPixel(p.x, p.y + c.originY), RGB(1, 2, 3));
            SetPixel(c.dc, p.x, p.y, kSentinel);
        }
        for (POINT p : {POINT{-1, 0}, POINT{0, -1}, POINT{box.right, 0}, POINT{0, box.bottom},
                        POINT{INT_MIN, INT_MIN}, POINT{INT_MAX, INT_MAX}}) {
            EXPECT_EQ(SetPixel(c.dc, p.x, p.y, RGB(9, 9, 9)), CLR_INVALID) << p.x << "," << p.y;
            EXPECT_EQ(GetPixel(c.dc, p.x, p.y), CLR_INVALID) << p.x << "," << p.y;
        }
        EXPECT_EQ(ReleaseDC(c.owner, c.dc), 1);
        EXPECT_EQ(GetClipBox(c.dc, &box), ERROR);
    }
    ShowWindow(window, SW_HIDE); // a hidden window's context draws nothing
    HDC hidden = GetDC(window);
    RECT box;
    EXPECT_EQ(GetClipBox(hidden, &box), NULLREGION);
    EXPECT_EQ(SetPixel(hidden, 0, 0, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(ReleaseDC(window, hidden), 1);
    for (int y = 0; y < kScreenH; ++y)
        for (int x = 0; x < kScreenW; ++x)
            ASSERT_EQ(ScreenPixel(x, y), kSentinel) << x << "," << y;
}

TEST_F(Gdi, MemoryContextsAndBitmapSelection) {
    HDC a = CreateCompatibleDC(screen), b = CreateCompatibleDC(nullptr);
    RECT box;
    EXPECT_EQ(GetClipBox(a, &box), SIMPLEREGION);
    EXPECT_EQ(Box(box), Box(RECT{0, 0, 1, 1})); // the default 1 x 1 bitmap
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    HGDIOBJ original = SelectObject(a, bitmap);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(original, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(Box(RECT{info.bmWidth, info.bmHeight, 0, 0}), Box(RECT{1, 1, 0, 0}));
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
}

TEST_F(Gdi, CompatibleBitmapSizes) {
    struct Case {
        int width, height;
        LONG expectedW, expectedH; // 0: refused
    } const cases[] = {
        {3, 2, 3, 2},         {0, 0, 1, 1},
        {0, 5, 1, 1},         {7, 0, 1, 1},
        {-1, 5, 0, 0},        {5, -1, 0, 0},
        {16385, 16384, 0, 0}, {65536, 4097, 0, 0},
        {INT_MAX, 2, 0, 0},   {INT_MAX, INT_MAX, 0, 0},
        {INT_MIN, 1, 0, 0},
    };
    for (const Case& c : cases) {
        HBITMAP bitmap = CreateCompatibleBitmap(screen, c.width, c.height);
        BITMAP info{};
        EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), c.expectedW ? int(sizeof info) : 0);
        EXPECT_EQ(info.bmWidth, c.expectedW) << c.width << "x" << c.height;
        EXPECT_EQ(info.bmHeight, c.expectedH) << c.width << "x" << c.height;
        EXPECT_EQ(GetObjectA(bitmap, sizeof info - 1, &info), 0);
        DeleteObject(bitmap);
    }
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 2, 2), nullptr);
}

// BitBlt on 8 x 6 bitmaps against a per-pixel model: a target pixel changes only when it is
// inside the rectangle and its source pixel inside the source bitmap.
struct BlitCase {
    int x, y, w, h, sx, sy;
    bool sameDc; // overlapping copy within one bitmap
};

const BlitCase kBlits[] = {
    {0, 0, 8, 6, 0, 0, false},       {2, 1, 3, 2, 4, 3, false},
    {-2, -1, 5, 4, 0, 0, false},     {6, 4, 5, 5, 0, 0, false},
    {0, 0, 8, 6, 5, 4, false},       {1, 1, 6, 4, -3, -2, false},
    {0, 0, 4, 4, 8, 0, false},       {0, 0, 0, 5, 0, 0, false},
    {INT_MAX, 0, 5, 5, 0, 0, false}, {0, 0, INT_MAX, INT_MAX, INT_MIN, 0, false},
    {-9, -9, 99, 99, -9, -9, false}, {2, 1, 5, 4, 0, 0, true},
    {0, 0, 5, 4, 2, 1, true},        {1, 0, 6, 6, 0, 0, true},
    {0, 0, 6, 6, 1, 0, true},        {0, 1, 8, 5, 0, 0, true},
    {0, 0, 8, 5, 0, 1, true},        {3, 0, 5, 6, 0, 1, true},
    {0, 1, 5, 5, 3, 0, true},
};

class Blit : public Gdi, public ::testing::WithParamInterface<BlitCase> {};

TEST_P(Blit, CopiesOnlyTheClippedRectangle) {
    const BlitCase& c = GetParam();
    HDC from, to;
    HBITMAP fromBitmap = Memory(from, 8, 6), toBitmap = Memory(to, 8, 6);
    Fill(from, 8, 6, Pattern);
    Fill(to, 8, 6, [](int, int) { return kSentinel; });
    HDC target = c.sameDc ? from : to;
    EXPECT_TRUE(BitBlt(target, c.x, c.y, c.w, c.h, from, c.sx, c.sy, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const int64_t u = int64_t(c.sx) + x - c.x, v = int64_t(c.sy) + y - c.y;
            const bool copied = x >= c.x && int64_t(x) < int64_t(c.x) + c.w && y >= c.y &&
                                int64_t(y) < int64_t(c.y) + c.h && u >= 0 && u < 8 && v >= 0 &&
                                v < 6;
            const COLORREF unchanged = c.sameDc ? Pattern(x, y) : kSentinel;
            ASSERT_EQ(GetPixel(target, x, y), copied ? Pattern(int(u), int(v)) : unchanged)
                << x << "," << y;
        }
    EXPECT_FALSE(BitBlt(to, 0, 0, 1, 1, from, 0, 0, 0x00EE0086)); // SRCPAINT: not supported
    Free(from, fromBitmap);
    Free(to, toBitmap);
}

INSTANTIATE_TEST_SUITE_P(Gdi, Blit, ::testing::ValuesIn(kBlits));

// Into the client area: its clip keeps the menu bar and everything else untouched. Out of
// the screen: pixels beyond it leave the target as it was.
TEST_F(Gdi, BlitToWindowAndFromScreenClipsAtBothEnds) {
    HDC memory, client = GetDC(window);
    HBITMAP bitmap = Memory(memory, 8, 6);
    Fill(memory, 8, 6, Pattern);
    const int right = kScreenW - 5, bottom = kScreenH - kMenuBarHeight - 2;
    EXPECT_TRUE(BitBlt(client, -3, -4, 8, 6, memory, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(client, right, bottom, 8, 6, memory, 0, 0, SRCCOPY));
    for (int y = 0; y < kScreenH; ++y)
        for (int x = 0; x < kScreenW; ++x) {
            const int cy = y - kMenuBarHeight;
            COLORREF expected = kSentinel;
            if (cy >= 0 && x < 5 && cy < 2)
                expected = Pattern(x + 3, cy + 4);
            if (x >= right && cy >= bottom)
                expected = Pattern(x - right, cy - bottom);
            ASSERT_EQ(ScreenPixel(x, y), expected) << x << "," << y;
        }
    Fill(memory, 8, 6, [](int, int) { return RGB(7, 7, 7); });
    EXPECT_TRUE(BitBlt(memory, 0, 0, 8, 6, screen, kScreenW - 4, kScreenH - 3, SRCCOPY));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(GetPixel(memory, x, y), x < 4 && y < 3
                                                  ? ScreenPixel(kScreenW - 4 + x, kScreenH - 3 + y)
                                                  : RGB(7, 7, 7))
                << x << "," << y;
    ReleaseDC(window, client);
    Free(memory, bitmap);
}

// Rows laid out independently: bottom-up unless the height is negative, each padded to
// four bytes with zeros, nothing written past the requested lines.
TEST_F(Gdi, GetDIBitsLayout) {
    struct Case {
        int width, bpp;
        UINT start, lines;
        bool topDown;
        int copied;
    };
    const int height = 3;
    std::vector<Case> cases = {{5, 24, 1, 1, false, 1},
                               {5, 24, 1, 1, true, 1},
                               {5, 24, 2, 9, false, 1},
                               {5, 24, 3, 1, false, 0},
                               {5, 32, 1, UINT_MAX, false, 2}};
    for (int width : {1, 2, 3, 4, 5, 37})
        for (int bpp : {24, 32})
            for (bool topDown : {false, true})
                cases.push_back({width, bpp, 0, 3, topDown, 3});
    for (const Case& c : cases) {
        HDC memory;
        HBITMAP bitmap = Memory(memory, c.width, height);
        Fill(memory, c.width, height, Pattern);
        DeleteDC(memory);
        const size_t stride = (size_t(c.width) * (c.bpp / 8) + 3) / 4 * 4;
        std::vector<uint8_t> want(stride * size_t(c.copied) + 16, 0xCC);
        for (int i = 0; i < c.copied; ++i) {
            const int line = int(c.start) + i, row = c.topDown ? line : height - 1 - line;
            uint8_t* out = want.data() + stride * size_t(i);
            std::fill_n(out, stride, 0);
            for (int x = 0; x < c.width; ++x, out += c.bpp / 8) {
                out[0] = GetBValue(Pattern(x, row));
                out[1] = GetGValue(Pattern(x, row));
                out[2] = GetRValue(Pattern(x, row));
            }
        }
        std::vector<uint8_t> buffer(want.size(), 0xCC);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER),
                          c.width,
                          c.topDown ? -height : height,
                          1,
                          WORD(c.bpp),
                          BI_RGB,
                          0,
                          0,
                          0,
                          0,
                          0};
        EXPECT_EQ(GetDIBits(screen, bitmap, c.start, c.lines, buffer.data(), &info, DIB_RGB_COLORS),
                  c.copied);
        EXPECT_EQ(buffer, want) << c.width << " wide, " << c.bpp << " bpp, from " << c.start;
        DeleteObject(bitmap);
    }
}

TEST_F(Gdi, GetDIBitsHeaderQueryAndRefusals) {
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 37, 5);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_NE(GetDIBits(screen, bitmap, 0, 5, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(Box(RECT{info.bmiHeader.biWidth, info.bmiHeader.biHeight, 0, 0}),
              Box(RECT{37, 5, 0, 0}));
    uint8_t buffer[600];
    info.bmiHeader.biBitCount = 24;
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, 1, buffer, &info, 1), 0); // DIB_PAL_COLORS
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, 1, buffer, nullptr, DIB_RGB_COLORS), 0);
    info.bmiHeader.biBitCount = 8;
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, 1, buffer, &info, DIB_RGB_COLORS), 0);
    DeleteObject(bitmap);
}

// The host repaints only what it is told changed: every changed pixel must be reported, in
// rectangles inside the screen, by the time the loop waits for input.
TEST_F(Gdi, EveryChangedPixelIsReportedBeforeTheLoopWaits) {
    UpdateWindow(window);
    Fill(screen, kScreenW, kScreenH, [](int, int) { return kSentinel; });
    ReleaseDC(nullptr, screen);
    HDC memory = CreateCompatibleDC(nullptr), client = GetDC(window);
    const std::vector<uint32_t> before(ScreenPixels(), ScreenPixels() + kScreenW * kScreenH);
    host.changed.clear();
    HGDIOBJ old = SelectObject(memory, CreateCompatibleBitmap(client, 8, 6));
    Fill(memory, 8, 6, Pattern);
    SetPixel(client, 3, 4, RGB(1, 1, 1)); // client is kept until the loop waits
    screen = GetWindowDC(nullptr);
    BitBlt(screen, kScreenW - 3, -2, 8, 6, memory, 0, 0, SRCCOPY);
    ReleaseDC(nullptr, screen);
    const RECT invalid{10, 10, 20, 15};
    InvalidateRect(window, &invalid, TRUE);
    host.Then([&] {
        for (const RECT& r : host.changed)
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= kScreenW && r.bottom <= kScreenH &&
                        r.left < r.right && r.top < r.bottom);
        int changed = 0;
        for (int y = 0; y < kScreenH; ++y)
            for (int x = 0; x < kScreenW; ++x) {
                if (ScreenPixel(x, y) == before[size_t(y * kScreenW + x)])
                    continue;
                ++changed;
                bool reported = false;
                for (const RECT& r : host.changed)
                    reported |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                ASSERT_TRUE(reported) << x << "," << y;
            }
        EXPECT_EQ(changed, 1 + 3 * 4 + 10 * 5);
    });
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) // until the host closes the window
        DispatchMessageA(&msg);
    ReleaseDC(window, client);
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    screen = GetDC(nullptr);
}

} // namespace
} // namespace zod
