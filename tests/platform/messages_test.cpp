// Windows and the message queue at their edges, and what BeginPaint erases and clips.
#include "common/types.h" // kMenuBarRows
#include "platform/hosts/headless.h"
#include "tests/support/gdi_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zod {
namespace {

using test::Box;

constexpr COLORREF kSentinel = RGB(0x5A, 0xA5, 0x3C);

struct Proc {
    std::string log;
    char quirk = 0; // 'F': WM_CREATE fails, 'd': DestroyWindow again in WM_DESTROY
    std::vector<PAINTSTRUCT> paints;
    std::vector<RECT> clips; // GetClipBox of each paint
    void Log(const std::string& s) { log += (log.empty() ? "" : " ") + s; }
} proc;

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        proc.Log(IsWindow(hwnd) ? "create" : "create-without-window");
        return proc.quirk == 'F' ? -1 : 0;
    case WM_DESTROY:
        proc.Log("destroy");
        if (proc.quirk == 'd')
            DestroyWindow(hwnd); // a common mistake; must not recurse
        return 0;
    case WM_PAINT: {
        proc.Log("paint");
        PAINTSTRUCT paint;
        RECT clip{-1, -1, -1, -1};
        GetClipBox(BeginPaint(hwnd, &paint), &clip);
        proc.paints.push_back(paint);
        proc.clips.push_back(clip);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_COMMAND:
        proc.Log("cmd" + std::to_string(wParam));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Messages : public ::testing::Test {
  protected:
    Messages() : host(64, 48) { proc = Proc{}; }

    HWND Create(DWORD style, const char* menu = nullptr) {
        WNDCLASSA c{};
        c.lpfnWndProc = TestProc;
        c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        c.lpszMenuName = menu;
        c.lpszClassName = menu ? "TestWindowWithMenu" : "TestWindow";
        RegisterClassA(&c);
        return CreateWindowExA(0, c.lpszClassName, "", style, 4, 6, 40, 30, nullptr, nullptr,
                               nullptr, nullptr);
    }

    HeadlessHost host;
};

// What the program itself never does, so its own runs cannot show it. Whatever the quirk,
// the window is created and destroyed once, never painted, and what was posted to it goes
// with it.
TEST_F(Messages, CreationAndDestructionEdges) {
    const struct {
        char quirk;
        bool created;
    } cases[] = {{0, true}, {'F', false}, {'d', true}};
    for (const auto& c : cases) {
        proc = Proc{};
        proc.quirk = c.quirk;
        HWND w = Create(WS_POPUP | WS_VISIBLE);
        EXPECT_EQ(w != nullptr, c.created) << c.quirk; // 'F': gone before CreateWindowExA returns
        if (w) {
            PostMessageA(w, WM_COMMAND, 1, 0);
            EXPECT_TRUE(DestroyWindow(w)) << c.quirk;
            EXPECT_FALSE(PostMessageA(w, WM_COMMAND, 2, 0));
        }
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0)) {
            EXPECT_NE(msg.hwnd, w);
            DispatchMessageA(&msg);
        }
        EXPECT_EQ(proc.log, "create destroy") << c.quirk;
    }
    EXPECT_EQ(LiveHandles(HandleKind::Window), 0);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// A maximised window with a menu on a 64 x 48 screen: its client area is (0, 18)-(64, 48).
// Parts of the client area invalidated in turn are painted once, as one rectangle inside it.
TEST_F(Messages, BeginPaintErasesAndClipsToTheUpdateArea) {
    HWND w = Create(WS_POPUP, "TVQ_MENU");
    ShowWindow(w, SW_MAXIMIZE);
    UpdateWindow(w); // validate everything first
    HDC screen = GetDC(nullptr);
    test::FillDc(screen, 64, 48, [](int, int) { return kSentinel; });
    ReleaseDC(nullptr, screen);
    proc = Proc{};
    for (const RECT& r : {RECT{-5, -5, 3, 4}, RECT{60, 10, 90, 15}})
        InvalidateRect(w, &r, TRUE);
    UpdateWindow(w);
    ASSERT_EQ(proc.paints.size(), 1u);
    const RECT want{0, 0, 64, 15};       // clipped on three sides
    EXPECT_FALSE(proc.paints[0].fErase); // the class brush has done it
    EXPECT_EQ(Box(proc.paints[0].rcPaint), Box(want));
    EXPECT_EQ(Box(proc.clips[0]), Box(want));
    EXPECT_EQ(GetPixel(proc.paints[0].hdc, 0, 0), CLR_INVALID); // released
    test::ExpectScreen(64, 48, [&](int, int y) {
        return y >= kMenuBarRows && y < kMenuBarRows + want.bottom ? 0 : kSentinel;
    });
    DestroyWindow(w);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
