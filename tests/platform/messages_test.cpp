// Windows, the message queue and painting, checked against tables of the messages a window
// procedure receives and of the pixels that painting touches.
#include "platform/hosts/headless.h"
#include "tests/support/gdi_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
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
    case WM_CLOSE:
        proc.Log("close");
        break;
    case WM_COMMAND:
        proc.Log("cmd" + std::to_string(wParam));
        if (wParam == 9)
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Messages : public ::testing::Test {
  protected:
    Messages() : host(64, 48) { proc = Proc{}; }

    HWND Create(DWORD style, const char* menu = nullptr, bool brush = true) {
        WNDCLASSA c{};
        c.lpfnWndProc = TestProc;
        c.hbrBackground = brush ? static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)) : nullptr;
        c.lpszMenuName = menu;
        c.lpszClassName = brush ? "TestWindow" : "TestWindowNoBrush";
        RegisterClassA(&c);
        return CreateWindowExA(0, c.lpszClassName, "", style, 4, 6, 40, 30, nullptr, nullptr,
                               nullptr, nullptr);
    }

    // C/V create hidden/visible, S show, U update, I invalidate, D destroy, Pn post command
    // n, Tn post it when the loop waits for input, Qn PostQuitMessage(n), L run the loop
    // until GetMessageA returns 0, !x the procedure's quirk x, M mark the log. With no
    // window shown the headless host has no input to give; with one, it asks to close it.
    void Run(const std::string& script) {
        std::istringstream in(script);
        std::string t;
        HWND w = nullptr;
        MSG msg;
        while (in >> t) {
            const int n = std::atoi(t.c_str() + 1);
            // clang-format off
            switch (t[0]) {
            case 'C': case 'V':
                if (!(w = Create(WS_POPUP | (t[0] == 'V' ? WS_VISIBLE : 0))))
                    proc.Log("null");
                break;
            case 'S': ShowWindow(w, SW_SHOW); break;
            case 'U': UpdateWindow(w); break;
            case 'I': InvalidateRect(w, nullptr, TRUE); break;
            case 'D': DestroyWindow(w); break;
            case 'P': PostMessageA(w, WM_COMMAND, WPARAM(n), 0); break;
            case 'T': host.Then([&w, n] { PostMessageA(w, WM_COMMAND, WPARAM(n), 0); }); break;
            case 'Q': PostQuitMessage(n); break;
            case 'L':
                while (GetMessageA(&msg, nullptr, 0, 0))
                    DispatchMessageA(&msg);
                proc.Log((msg.message == WM_QUIT ? "quit" : "?") + std::to_string(int(msg.wParam)));
                break;
            case '!': proc.quirk = t[1]; break;
            case 'M': proc.Log("-"); break;
            }
            // clang-format on
        }
    }

    HeadlessHost host;
};

TEST_F(Messages, SequencesMatchTheTable) {
    struct Case {
        const char* script;
        const char* expected;
    } const cases[] = {
        // Quit comes after what was posted before it, and before any paint.
        {"V P1 P2 Q-7 L L", "create cmd1 cmd2 quit-7 paint close destroy quit0"},
        {"V T9 L", "create paint cmd9 paint close destroy quit0"},
        {"C U S U U M L", "create paint - close destroy quit0"}, // paints once, at once
        {"C I P3 L D", "create cmd3 quit0 destroy"},             // hidden: never painted
        {"V P1 D P2 L", "create destroy quit0"},                 // dropped once destroyed
        {"!F V", "create destroy null"},
        {"!d C D", "create destroy"},
    };
    for (const Case& c : cases) {
        proc = Proc{};
        Run(c.script);
        EXPECT_EQ(proc.log, c.expected) << c.script;
        EXPECT_EQ(LiveHandles(HandleKind::Window), 0) << c.script;
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

// A maximised window with a menu on a 64 x 48 screen: its client area is (0, 18)-(64, 48).
TEST_F(Messages, BeginPaintErasesAndClipsToTheUpdateArea) {
    struct Case {
        bool brush;
        std::vector<RECT> invalid; // client coordinates, InvalidateRect'd in turn
        BOOL erase;
        RECT rcPaint;
        BOOL fErase;
        bool erased; // rcPaint blackened on screen
    } const cases[] = {
        {true, {{-5, -5, 3, 4}, {60, 28, 90, 99}}, TRUE, {0, 0, 64, 30}, FALSE, true}, // clipped
        {true, {{5, 5, 20, 10}}, FALSE, {5, 5, 20, 10}, FALSE, false},
        {false, {{5, 5, 20, 10}}, TRUE, {5, 5, 20, 10}, TRUE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        HWND w = Create(WS_POPUP, "TVQ_MENU", c.brush);
        ShowWindow(w, SW_MAXIMIZE);
        UpdateWindow(w); // validate everything first
        HDC screen = GetDC(nullptr);
        test::FillDc(screen, 64, 48, [](int, int) { return kSentinel; });
        ReleaseDC(nullptr, screen);
        proc = Proc{};
        for (const RECT& r : c.invalid)
            InvalidateRect(w, &r, c.erase);
        UpdateWindow(w);
        ASSERT_EQ(proc.paints.size(), 1u);
        EXPECT_EQ(proc.paints[0].fErase, c.fErase);
        EXPECT_EQ(Box(proc.paints[0].rcPaint), Box(c.rcPaint));
        EXPECT_EQ(Box(proc.clips[0]), Box(c.rcPaint));
        EXPECT_EQ(GetPixel(proc.paints[0].hdc, 0, 0), CLR_INVALID); // released
        const RECT& p = c.rcPaint;
        test::ExpectScreen(64, 48, [&](int x, int y) {
            y -= kMenuBarHeight;
            return c.erased && x >= p.left && x < p.right && y >= p.top && y < p.bottom ? 0
                                                                                        : kSentinel;
        });
        DestroyWindow(w);
    }
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
