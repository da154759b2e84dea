// Files made for replacing another, the built-in resources, handle counting,
// and stale or wrong-kind handles refused.
#include "platform/hosts/headless.h"
#include "platform/linux/resources.h"
#include "tests/support/gdi_helpers.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <utility>
#include <vector>

namespace zod {
namespace {

HWND NewWindow() {
    return test::PlainWindow(WS_POPUP | WS_VISIBLE, 0, 0, 8, 8);
}

HANDLE NewFile(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// CreateFileA with CREATE_NEW never opens what already has the name, whether a file or a
// link, and leaves what a link points to alone, even a link that leads nowhere.
TEST(CreateFile, NewOnlyWhereNothingHasTheName) {
    HeadlessHost host;
    test::TempDir dir;
    test::WriteFileBytes(dir.File("file"), "precious");
    ASSERT_EQ(symlink(dir.File("file").c_str(), dir.File("link").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("nowhere").c_str(), dir.File("dangling").c_str()), 0);
    for (const char* name : {"file", "link", "dangling"}) {
        EXPECT_EQ(NewFile(dir.File(name)), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS)) << name;
    }
    EXPECT_EQ(test::ReadFileBytes(dir.File("file")), "precious");
    EXPECT_FALSE(test::FileExists(dir.File("nowhere")));
    HANDLE file = NewFile(dir.File("new"));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "abc", 3, &written, nullptr) && written == 3);
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(test::ReadFileBytes(dir.File("new")), "abc");
}

TEST(Resources, IconAndCursorDecodeWithTheirHotSpot) {
    const Image* cursor = FindCursorResource("tvq_cursor");
    for (const Image* image : {FindIconResource("TVQ_BIG"), cursor}) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(std::pair(image->width, image->height), std::pair(32, 32));
        ASSERT_EQ(image->argb.size(), 32u * 32u);
        EXPECT_EQ(image->argb[0] >> 24, 0u); // the AND mask made the corner transparent
    }
    // The hot spot is where the crosshair's centre is drawn, opaque white.
    EXPECT_EQ(std::pair(cursor->hotX, cursor->hotY), std::pair(17, 16));
    EXPECT_EQ(cursor->argb[16 * 32 + 17], 0xFFFFFFFFu);
    EXPECT_EQ(FindIconResource("TVQ_CURSOR"), nullptr); // kinds are kept apart
}

// Live handles are counted per kind; shared and stock objects are not, and deleting a stock
// object is harmless.
TEST(Handles, CountsGoUpAndDownPerKind) {
    HeadlessHost host(16, 16);
    test::TempDir dir;
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
    HANDLE file = NewFile(dir.File("file"));
    EXPECT_EQ(counts(), (std::vector<int>{1, 2, 1, 1, 0, 0, 0, 1}));
    EXPECT_EQ(LiveResourceHandles(), 5);
    CloseHandle(file);
    GlobalFree(block);
    DeleteObject(bitmap);
    ReleaseDC(window, client);
    DeleteDC(memory);
    DestroyWindow(window);
    EXPECT_EQ(counts(), none);
}

// One stale and one wrong-kind handle each for a drawing, a GDI object, a window and a file
// call: refused, and without harm to the live handles.
TEST(Handles, StaleAndWrongKindHandlesAreRefused) {
    HeadlessHost host(16, 16);
    test::TempDir dir;
    HWND window = NewWindow(), destroyed = NewWindow();
    DestroyWindow(destroyed);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(nullptr);
    HDC deletedDc = CreateCompatibleDC(nullptr);
    DeleteDC(deletedDc);
    HBITMAP deleted = CreateCompatibleBitmap(screen, 2, 2);
    DeleteObject(deleted);
    HBITMAP live = CreateCompatibleBitmap(screen, 3, 3); // likely in the freed slot
    HANDLE closed = NewFile(dir.File("closed"));
    CloseHandle(closed);
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
    for (HANDLE h : {closed, HANDLE(live)})
        EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetObjectA(live, sizeof info, &info), int(sizeof info));
    EXPECT_TRUE(DeleteObject(live));
    EXPECT_TRUE(DeleteDC(memory));
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
