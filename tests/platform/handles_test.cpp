// Global memory, handle counting, and stale or wrong-kind handles refused.
#include "platform/hosts/headless.h"
#include "tests/support/gdi_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace zod {
namespace {

HWND NewWindow() {
    return test::PlainWindow(WS_POPUP | WS_VISIBLE, 0, 0, 8, 8);
}

TEST(GlobalMemory, CapLocksAndFree) {
    HeadlessHost host(8, 8);
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, (SIZE_T(1) << 30) + 1), nullptr); // past the cap
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, SIZE_MAX), nullptr);
    for (auto [flags, size] : {std::pair{UINT(GMEM_FIXED), SIZE_T(0)},
                               {UINT(GMEM_FIXED | GMEM_ZEROINIT), SIZE_T(4099)}}) {
        HGLOBAL block = GlobalAlloc(flags, size);
        auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
        ASSERT_NE(bytes, nullptr); // even for zero bytes
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), std::vector<uint8_t>(size));
        std::memset(bytes, 0xA5, size); // the whole block is ours (ASan checks the end)
        EXPECT_EQ(GlobalLock(block), bytes);
        EXPECT_TRUE(GlobalUnlock(block));  // still locked once
        EXPECT_FALSE(GlobalUnlock(block)); // now unlocked
        EXPECT_FALSE(GlobalUnlock(block)); // was not locked
        EXPECT_EQ(GlobalFree(block), nullptr);
        EXPECT_EQ(GlobalFree(block), block); // twice: refused
        EXPECT_EQ(GlobalLock(block), nullptr);
    }
}

// Live handles are counted per kind; shared and stock objects are not, and deleting a stock
// object is harmless.
TEST(Handles, CountsGoUpAndDownPerKind) {
    HeadlessHost host(16, 16);
    auto counts = [] {
        std::vector<int> n;
        for (int k = 0; k < int(HandleKind::Count); ++k)
            n.push_back(LiveHandles(HandleKind(k)));
        return n;
    };
    const std::vector<int> none(size_t(HandleKind::Count), 0);
    EXPECT_NE(LoadIconA(nullptr, "TVQ_BIG"), nullptr);
    HGDIOBJ brush = GetStockObject(BLACK_BRUSH);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(GetStockObject(BLACK_BRUSH), brush);
    EXPECT_EQ(counts(), none);
    HWND window = NewWindow();
    HDC memory = CreateCompatibleDC(nullptr), client = GetDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(client, 4, 4);
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, 16);
    EXPECT_EQ(counts(), (std::vector<int>{1, 2, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(LiveResourceHandles(), 4);
    GlobalFree(block);
    DeleteObject(bitmap);
    ReleaseDC(window, client);
    DeleteDC(memory);
    DestroyWindow(window);
    EXPECT_EQ(counts(), none);
}

// One stale and one wrong-kind handle each for a drawing, a GDI object and a window call:
// refused, and without harm to the live handles.
TEST(Handles, StaleAndWrongKindHandlesAreRefused) {
    HeadlessHost host(16, 16);
    HWND window = NewWindow(), destroyed = NewWindow();
    DestroyWindow(destroyed);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(nullptr);
    HDC deletedDc = CreateCompatibleDC(nullptr);
    DeleteDC(deletedDc);
    HBITMAP deleted = CreateCompatibleBitmap(screen, 2, 2);
    DeleteObject(deleted);
    HBITMAP live = CreateCompatibleBitmap(screen, 3, 3); // likely in the freed slot
    BITMAP info;
    for (HDC dc : {deletedDc, reinterpret_cast<HDC>(live)})
        EXPECT_EQ(SetPixel(dc, 0, 0, 1), CLR_INVALID);
    for (HGDIOBJ object : {HGDIOBJ(deleted), HGDIOBJ(memory)}) {
        EXPECT_EQ(GetObjectA(object, sizeof info, &info), 0);
        EXPECT_FALSE(DeleteObject(object));
    }
    for (HWND w : {destroyed, reinterpret_cast<HWND>(live)}) {
        EXPECT_FALSE(PostMessageA(w, WM_COMMAND, 1, 0));
        EXPECT_FALSE(DestroyWindow(w));
    }
    EXPECT_EQ(GetObjectA(live, sizeof info, &info), int(sizeof info));
    EXPECT_TRUE(DeleteObject(live));
    EXPECT_TRUE(DeleteDC(memory));
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
