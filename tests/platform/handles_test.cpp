// Global memory, handle counting, and stale or wrong-kind handles refused by every call.
#include "platform/hosts/headless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace zod {
namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND NewWindow() {
    WNDCLASSA c{};
    c.lpfnWndProc = PlainProc;
    c.lpszClassName = "HandleTest";
    RegisterClassA(&c);
    return CreateWindowExA(0, "HandleTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr,
                           nullptr, nullptr);
}

TEST(GlobalMemory, SizesLocksAndFree) {
    HeadlessHost host(8, 8);
    struct Case {
        UINT flags;
        SIZE_T bytes;
        bool ok;
    };
    const Case cases[] = {
        {GMEM_FIXED, 0, true},
        {GMEM_FIXED, 1, true},
        {GMEM_FIXED | GMEM_ZEROINIT, 4099, true},
        {GMEM_FIXED, 1 << 20, true},
        {GMEM_FIXED, (SIZE_T(1) << 30) + 1, false},
        {GMEM_FIXED, SIZE_MAX, false},
        {GMEM_FIXED | GMEM_ZEROINIT, SIZE_MAX / 2, false},
    };
    std::vector<void*> pointers;
    for (const Case& c : cases) {
        HGLOBAL block = GlobalAlloc(c.flags, c.bytes);
        ASSERT_EQ(block != nullptr, c.ok) << c.bytes;
        if (!block)
            continue;
        EXPECT_EQ(LiveHandles(HandleKind::Memory), 1);
        auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
        ASSERT_NE(bytes, nullptr);
        for (void* p : pointers)
            EXPECT_NE(p, bytes); // a zero-byte block has a pointer of its own
        pointers.push_back(bytes);
        if (c.flags & GMEM_ZEROINIT) {
            for (SIZE_T i = 0; i < c.bytes; ++i)
                ASSERT_EQ(bytes[i], 0) << i;
        }
        std::memset(bytes, 0xA5, c.bytes); // the whole block is ours (ASan checks the end)
        EXPECT_EQ(GlobalLock(block), bytes);
        EXPECT_TRUE(GlobalUnlock(block));  // still locked once
        EXPECT_FALSE(GlobalUnlock(block)); // now unlocked
        EXPECT_FALSE(GlobalUnlock(block)); // was not locked
        EXPECT_EQ(GlobalFree(block), nullptr);
        EXPECT_EQ(LiveHandles(HandleKind::Memory), 0);
        EXPECT_EQ(GlobalFree(block), block); // twice: refused
        EXPECT_EQ(GlobalLock(block), nullptr);
    }
}

// Every call refuses a handle that was released, and a handle of the wrong kind.
TEST(Handles, StaleAndWrongKindHandlesAreRefused) {
    HeadlessHost host(16, 16);
    HWND window = NewWindow();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP live = CreateCompatibleBitmap(screen, 2, 2);
    HGDIOBJ original = SelectObject(memory, live);

    HDC releasedDc = GetDC(window);
    ReleaseDC(window, releasedDc);
    HDC deletedDc = CreateCompatibleDC(nullptr);
    DeleteDC(deletedDc);
    HBITMAP deletedBitmap = CreateCompatibleBitmap(screen, 2, 2);
    DeleteObject(deletedBitmap);
    HBITMAP reused = CreateCompatibleBitmap(screen, 3, 3); // likely in the freed slot
    HGLOBAL freedMemory = GlobalAlloc(GMEM_FIXED, 8);
    GlobalFree(freedMemory);
    HWND destroyed = NewWindow();
    DestroyWindow(destroyed);

    const int before = LiveResourceHandles();
    std::vector<HDC> badDcs = {releasedDc, deletedDc, reinterpret_cast<HDC>(live),
                               reinterpret_cast<HDC>(window), reinterpret_cast<HDC>(0x7FFFFF)};
    for (HDC dc : badDcs) {
        RECT box;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        uint8_t bits[64];
        PAINTSTRUCT paint{};
        paint.hdc = dc;
        EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
        EXPECT_EQ(SetPixel(dc, 0, 0, 1), CLR_INVALID);
        EXPECT_EQ(GetClipBox(dc, &box), ERROR);
        EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 0);
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, memory, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(memory, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
        EXPECT_EQ(SelectObject(dc, reused), nullptr);
        EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
        EXPECT_EQ(CreateCompatibleBitmap(dc, 1, 1), nullptr);
        EXPECT_EQ(GetDIBits(dc, reused, 0, 1, bits, &info, DIB_RGB_COLORS), 0);
        EXPECT_FALSE(EndPaint(window, &paint));
        EXPECT_EQ(ReleaseDC(window, dc), 0);
        EXPECT_FALSE(DeleteDC(dc));
    }
    for (HGDIOBJ bitmap : {HGDIOBJ(deletedBitmap), HGDIOBJ(memory), HGDIOBJ(freedMemory)}) {
        BITMAP info;
        BITMAPINFO dib{};
        EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), 0);
        EXPECT_EQ(
            GetDIBits(screen, static_cast<HBITMAP>(bitmap), 0, 1, nullptr, &dib, DIB_RGB_COLORS),
            0);
        EXPECT_EQ(SelectObject(memory, bitmap), nullptr);
    }
    EXPECT_FALSE(DeleteObject(deletedBitmap));
    EXPECT_FALSE(DeleteObject(memory)); // a context is no GDI object to delete
    for (HWND w : {destroyed, reinterpret_cast<HWND>(live)}) {
        RECT rect;
        POINT point{0, 0};
        PAINTSTRUCT paint;
        EXPECT_FALSE(IsWindow(w));
        EXPECT_FALSE(ShowWindow(w, SW_SHOW));
        EXPECT_FALSE(UpdateWindow(w));
        EXPECT_FALSE(InvalidateRect(w, nullptr, TRUE));
        EXPECT_EQ(GetDC(w), nullptr);
        EXPECT_EQ(GetWindowDC(w), nullptr);
        EXPECT_EQ(BeginPaint(w, &paint), nullptr);
        EXPECT_FALSE(GetClientRect(w, &rect));
        EXPECT_FALSE(ClientToScreen(w, &point));
        EXPECT_FALSE(PostMessageA(w, WM_COMMAND, 1, 0));
        EXPECT_FALSE(DestroyWindow(w));
    }
    // GlobalFree releases memory blocks only.
    for (HANDLE h : {HANDLE(freedMemory), HANDLE(memory), HANDLE(live), HANDLE(window)})
        EXPECT_EQ(GlobalFree(h), h);
    EXPECT_EQ(GlobalLock(freedMemory), nullptr);
    EXPECT_EQ(GlobalLock(memory), nullptr);
    EXPECT_FALSE(GlobalUnlock(freedMemory));

    // Nothing above released or broke a live object.
    EXPECT_EQ(LiveResourceHandles(), before);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(SetPixel(memory, 1, 1, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(SelectObject(memory, original), live);
    EXPECT_TRUE(DeleteObject(live));
    EXPECT_TRUE(DeleteObject(reused));
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(LiveResourceHandles(), 0);
}

TEST(Handles, CountsGoUpAndDownPerKindAndStockObjectsStay) {
    HeadlessHost host(16, 16);
    auto counts = [] {
        std::vector<int> n;
        for (int k = 0; k < int(HandleKind::Count); ++k)
            n.push_back(LiveHandles(HandleKind(k)));
        return n;
    };
    const std::vector<int> none(size_t(HandleKind::Count), 0);
    EXPECT_EQ(counts(), none);
    // Shared and stock objects are not counted.
    EXPECT_NE(LoadIconA(nullptr, "TVQ_BIG"), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, "TVQ_CURSOR"), nullptr);
    HGDIOBJ brush = GetStockObject(BLACK_BRUSH);
    ASSERT_NE(brush, nullptr);
    EXPECT_TRUE(DeleteObject(brush)); // harmless
    EXPECT_EQ(GetStockObject(BLACK_BRUSH), brush);
    HDC memory = CreateCompatibleDC(nullptr); // its 1 x 1 default bitmap is stock too
    EXPECT_EQ(SelectObject(memory, brush), brush);
    std::vector<int> want = none;
    want[int(HandleKind::DeviceContext)] = 1;
    EXPECT_EQ(counts(), want);

    HWND window = NewWindow();
    HDC client = GetDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(client, 4, 4);
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, 16);
    want = {1, 2, 1, 1, 0, 0, 0};
    EXPECT_EQ(counts(), want);
    EXPECT_EQ(LiveResourceHandles(), 4);
    GlobalFree(block);
    DeleteObject(bitmap);
    ReleaseDC(window, client);
    DeleteDC(memory);
    DestroyWindow(window);
    EXPECT_EQ(counts(), none);

    // A new host starts afresh: handles of the old run are gone for good.
    HBITMAP old = CreateCompatibleBitmap(GetDC(nullptr), 1, 1);
    EXPECT_EQ(LiveResourceHandles(), 2);
    HeadlessHost next(8, 8);
    EXPECT_EQ(counts(), none);
    EXPECT_EQ(GetObjectA(old, 0, nullptr), 0);
}

} // namespace
} // namespace zod
