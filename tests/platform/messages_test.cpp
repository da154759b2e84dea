// Windows, the message queue and painting, checked against tables of the messages a window
// procedure receives and of the pixels that painting touches.
#include "platform/hosts/headless.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace zod {
namespace {

constexpr COLORREF kSentinel = RGB(0x5A, 0xA5, 0x3C);

struct Proc {
    std::string log;
    char quirk = 0; // 'F': WM_CREATE fails, 'c': destroys itself there, 'd': again in WM_DESTROY
    bool validate = true;
    std::vector<PAINTSTRUCT> paints;
    std::vector<RECT> clips; // GetClipBox of each paint
    void Log(const std::string& s) { log += (log.empty() ? "" : " ") + s; }
} proc;

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        proc.Log(IsWindow(hwnd) ? "create" : "create-without-window");
        if (proc.quirk == 'c')
            DestroyWindow(hwnd);
        return proc.quirk == 'F' ? -1 : 0;
    case WM_DESTROY:
        proc.Log("destroy");
        if (proc.quirk == 'd')
            DestroyWindow(hwnd); // a common mistake; must not recurse
        return 0;
    case WM_PAINT: {
        proc.Log("paint");
        if (!proc.validate)
            return 0;
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
        c.lpszClassName = "TestWindow";
        RegisterClassA(&c);
        return CreateWindowExA(0, "TestWindow", "", style, 4, 6, 40, 30, nullptr, nullptr, nullptr,
                               nullptr);
    }

    // The program's message loop, until GetMessageA returns 0. With no window shown the
    // headless host has no input to give; with one, it asks to close it.
    void Pump() {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0))
            DispatchMessageA(&msg);
        EXPECT_EQ(msg.message, UINT(WM_QUIT));
        proc.Log("quit" + std::to_string(int(msg.wParam)));
    }

    // C/V create hidden/visible, S show, U update, I invalidate, D destroy, Pn post command
    // n, Tn post it when the loop waits for input, Qn PostQuitMessage(n), L run the loop,
    // N/Y stop/resume validating on WM_PAINT, !x the procedure's quirk x, M mark the log.
    void Run(const std::string& script) {
        std::istringstream in(script);
        std::string t;
        HWND w = nullptr;
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
            case 'L': Pump(); break;
            case 'N': proc.validate = false; break;
            case 'Y': proc.validate = true; break;
            case '!': proc.quirk = t[1]; break;
            case 'M': proc.Log("-"); break;
            }
            // clang-format on
        }
    }

    HeadlessHost host;
};

struct SequenceCase {
    const char* name;
    const char* script;
    const char* expected;
};

const SequenceCase kSequences[] = {
    {"QuitAfterPostedBeforePaint", "V P1 P2 Q7 L L",
     "create cmd1 cmd2 quit7 paint close destroy quit0"},
    {"QuitCodeNegative", "C Q-3 L D", "create quit-3 destroy"},
    {"PaintBeforeWaitingForInput", "V T9 L", "create paint cmd9 paint close destroy quit0"},
    {"UpdateWindowPaintsAtOnceOnlyWhenInvalid", "C U S U U M L",
     "create paint - close destroy quit0"},
    {"HiddenWindowIsNeverPainted", "C I P3 L D", "create cmd3 quit0 destroy"},
    {"MessagesForADestroyedWindowAreDropped", "V P1 D P2 L", "create destroy quit0"},
    {"UnvalidatedPaintComesAgain", "N V U U Y L", "create paint paint paint close destroy quit0"},
    {"CreateReturningMinusOneDestroys", "!F V", "create destroy null"},
    {"DestroyedDuringCreateFails", "!c V", "create destroy null"},
    {"DestroyWindowInsideDestroyRunsOnce", "!d C D", "create destroy"},
};

class Sequence : public Messages, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(Sequence, MatchesTable) {
    Run(GetParam().script);
    EXPECT_EQ(proc.log, GetParam().expected);
    EXPECT_EQ(LiveHandles(HandleKind::Window), 0);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Messages, Sequence, ::testing::ValuesIn(kSequences),
                         [](const auto& c) { return std::string(c.param.name); });

// A maximised window with a menu on a 64 x 48 screen: its client area is (0, 18)-(64, 48).
struct PaintCase {
    const char* name;
    bool brush;
    std::vector<RECT> invalid; // client coordinates, InvalidateRect'd in turn
    BOOL erase;
    RECT rcPaint;
    BOOL fErase;
    bool erased; // rcPaint blackened on screen
};

const PaintCase kPaints[] = {
    {"OneRectangle", true, {{5, 5, 20, 10}}, TRUE, {5, 5, 20, 10}, FALSE, true},
    {"UnionOfTwo", true, {{5, 5, 10, 10}, {20, 2, 30, 4}}, TRUE, {5, 2, 30, 10}, FALSE, true},
    {"ClippedToClient",
     true,
     {{-5, -5, 3, 4}, {60, 28, 90, 99}},
     TRUE,
     {0, 0, 64, 30},
     FALSE,
     true},
    {"WithoutEraseFlag", true, {{5, 5, 20, 10}}, FALSE, {5, 5, 20, 10}, FALSE, false},
    {"WithoutClassBrush", false, {{5, 5, 20, 10}}, TRUE, {5, 5, 20, 10}, TRUE, false},
    {"OutsideClientIgnored", true, {{64, 0, 70, 5}}, TRUE, {0, 0, 0, 0}, FALSE, false},
};

class Painting : public Messages, public ::testing::WithParamInterface<PaintCase> {};

std::vector<LONG> Box(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

TEST_P(Painting, ErasesAndClipsToTheUpdateArea) {
    const PaintCase& c = GetParam();
    HWND w = Create(WS_POPUP, "TVQ_MENU", c.brush);
    ShowWindow(w, SW_MAXIMIZE);
    UpdateWindow(w); // validate everything first
    HDC screen = GetDC(nullptr);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            SetPixel(screen, x, y, kSentinel);
    ReleaseDC(nullptr, screen);
    proc.paints.clear();
    proc.clips.clear();
    for (const RECT& r : c.invalid)
        InvalidateRect(w, &r, c.erase);
    UpdateWindow(w);
    const bool painted = c.rcPaint.right > c.rcPaint.left;
    ASSERT_EQ(proc.paints.size(), painted ? 1u : 0u);
    if (painted) {
        EXPECT_EQ(proc.paints[0].fErase, c.fErase);
        EXPECT_EQ(Box(proc.paints[0].rcPaint), Box(c.rcPaint));
        EXPECT_EQ(Box(proc.clips[0]), Box(c.rcPaint));
        EXPECT_EQ(GetPixel(proc.paints[0].hdc, c.rcPaint.left, c.rcPaint.top), CLR_INVALID);
    }
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const int cy = y - kMenuBarHeight;
            const bool inside = c.erased && x >= c.rcPaint.left && x < c.rcPaint.right &&
                                cy >= c.rcPaint.top && cy < c.rcPaint.bottom;
            ASSERT_EQ(ScreenPixel(x, y), inside ? 0u : kSentinel) << x << "," << y;
        }
    EXPECT_EQ(LiveHandles(HandleKind::DeviceContext), 0); // EndPaint released it
    DestroyWindow(w);
}

INSTANTIATE_TEST_SUITE_P(Messages, Painting, ::testing::ValuesIn(kPaints),
                         [](const auto& c) { return std::string(c.param.name); });

} // namespace
} // namespace zod
