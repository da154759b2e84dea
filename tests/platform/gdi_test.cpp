// Device contexts, bitmaps, BitBlt and painting. Targets are filled with a sentinel first,
// so that a stray write anywhere shows.
#include "common/types.h" // kMenuBarRows
#include "platform/hosts/headless.h"
#include "tests/support/gdi_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

namespace zod {
namespace {

using test::Box;
using test::FillDc;
using test::MemorySurface;

constexpr int kScreenW = 48;
constexpr int kScreenH = 40;
constexpr COLORREF kSentinel = RGB(0x5A, 0xA5, 0x3C);

COLORREF Pattern(int x, int y) {
    return RGB(x * 3 + 1, y * 5 + 2, (x ^ y) + 3);
}

class Gdi : public ::testing::Test {
  protected:
    Gdi() {
        // Maximised with its menu bar: the client area is (0, 18)-(48, 40).
        window = test::PlainWindow(WS_POPUP, 0, 0, 9, 9, "TVQ_MENU",
                                   static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ShowWindow(window, SW_MAXIMIZE);
        screen = GetDC(nullptr);
        FillDc(screen, kScreenW, kScreenH, [](int, int) { return kSentinel; });
    }
    ~Gdi() override {
        ReleaseDC(nullptr, screen);
        DestroyWindow(window);
        EXPECT_EQ(LiveResourceHandles(), 0);
    }

    HeadlessHost host{kScreenW, kScreenH};
    HWND window;
    HDC screen;
};

// However the sides multiply out, a bitmap beyond the pixel cap is refused.
TEST_F(Gdi, OversizedBitmapsAreRefused) {
    for (auto [w, h] : {std::pair{-1, 5}, {16385, 16384}, {INT_MAX, INT_MAX}})
        EXPECT_EQ(CreateCompatibleBitmap(screen, w, h), nullptr) << w << "x" << h;
}

// SetPixel keeps what it needs of the last context it drew on: a deleted context, or one
// whose bitmap was swapped, must never be drawn through that copy.
TEST_F(Gdi, SetPixelFollowsDeletedAndReselectedContexts) {
    HDC stale = CreateCompatibleDC(screen);
    HBITMAP kept = CreateCompatibleBitmap(screen, 4, 4);
    SelectObject(stale, kept);
    EXPECT_EQ(SetPixel(stale, 1, 1, RGB(9, 9, 9)), RGB(9, 9, 9));
    DeleteDC(stale); // with the bitmap still selected
    EXPECT_EQ(SetPixel(stale, 1, 1, RGB(9, 9, 9)), CLR_INVALID);
    DeleteObject(kept);
    MemorySurface second(4, 4, kSentinel); // may take the freed slot
    EXPECT_EQ(SetPixel(stale, 2, 2, RGB(9, 9, 9)), CLR_INVALID);
    EXPECT_EQ(second.Pixel(2, 2), kSentinel);

    HBITMAP larger = CreateCompatibleBitmap(screen, 6, 5);
    EXPECT_EQ(SetPixel(second.dc(), 3, 3, RGB(6, 6, 6)), RGB(6, 6, 6));
    HGDIOBJ small = SelectObject(second.dc(), larger);
    EXPECT_EQ(SetPixel(second.dc(), 5, 4, RGB(7, 7, 7)), RGB(7, 7, 7)); // beyond the old clip
    EXPECT_EQ(SetPixel(second.dc(), 3, 3, RGB(8, 8, 8)), RGB(8, 8, 8));
    SelectObject(second.dc(), small);
    EXPECT_EQ(second.Pixel(3, 3), RGB(6, 6, 6)); // the old bitmap was left alone
    for (POINT p : {POINT{4, 3}, POINT{3, 4}})   // inside the larger bitmap, just outside this one
        EXPECT_EQ(SetPixel(second.dc(), p.x, p.y, RGB(7, 7, 7)), CLR_INVALID);
    DeleteObject(larger);
}

// BitBlt on 8 x 6 bitmaps against a per-pixel model: a target pixel changes only when it is
// inside the rectangle and its source pixel inside the source bitmap.
TEST_F(Gdi, BlitCopiesOnlyTheClippedRectangle) {
    struct Case {
        int x, y, w, h, sx, sy;
        bool sameDc; // overlapping copy within one bitmap
    } const cases[] = {
        {0, 0, 8, 6, 0, 0, false},       {-2, -1, 5, 4, 0, 0, false},
        {6, 4, 5, 5, 0, 0, false},       {1, 1, 6, 4, -3, -2, false},
        {0, 0, 8, 6, 5, 4, false},       {0, 0, 0, 5, 0, 0, false},
        {INT_MAX, 0, 5, 5, 0, 0, false}, {0, 0, INT_MAX, INT_MAX, INT_MIN, 0, false},
        {2, 1, 5, 4, 0, 0, true},        {0, 0, 5, 4, 2, 1, true},
        {1, 0, 6, 6, 0, 0, true},        {0, 0, 8, 5, 0, 1, true},
    };
    for (const Case& c : cases) {
        MemorySurface from(8, 6, kSentinel), to(8, 6, kSentinel);
        FillDc(from.dc(), 8, 6, Pattern);
        HDC target = c.sameDc ? from.dc() : to.dc();
        EXPECT_TRUE(BitBlt(target, c.x, c.y, c.w, c.h, from.dc(), c.sx, c.sy, SRCCOPY));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const int64_t u = int64_t(c.sx) + x - c.x, v = int64_t(c.sy) + y - c.y;
                const bool copied = x >= c.x && x < int64_t(c.x) + c.w && y >= c.y &&
                                    y < int64_t(c.y) + c.h && u >= 0 && u < 8 && v >= 0 && v < 6;
                const COLORREF unchanged = c.sameDc ? Pattern(x, y) : kSentinel;
                ASSERT_EQ(GetPixel(target, x, y), copied ? Pattern(int(u), int(v)) : unchanged)
                    << "case " << &c - cases << " at " << x << "," << y;
            }
    }
}

// Parts of the client area invalidated in turn are painted as one rectangle inside it,
// erased by the class brush; nothing else on the screen changes.
TEST_F(Gdi, BeginPaintErasesAndClipsToTheUpdateArea) {
    UpdateWindow(window); // validates everything
    FillDc(screen, kScreenW, kScreenH, [](int, int) { return kSentinel; });
    for (const RECT& r : {RECT{-5, -5, 3, 4}, RECT{40, 10, 90, 15}})
        InvalidateRect(window, &r, TRUE);
    PAINTSTRUCT paint;
    RECT clip{-1, -1, -1, -1};
    GetClipBox(BeginPaint(window, &paint), &clip);
    const RECT want{0, 0, kScreenW, 15}; // clipped on three sides
    EXPECT_FALSE(paint.fErase);          // the class brush has done it
    EXPECT_EQ(Box(paint.rcPaint), Box(want));
    EXPECT_EQ(Box(clip), Box(want));
    EXPECT_TRUE(EndPaint(window, &paint));
    EXPECT_EQ(GetPixel(paint.hdc, 0, 0), CLR_INVALID); // released
    test::ExpectScreen(kScreenW, kScreenH, [&](int, int y) {
        return y >= kMenuBarRows && y < kMenuBarRows + want.bottom ? 0 : kSentinel;
    });
}

} // namespace
} // namespace zod
