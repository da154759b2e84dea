// Windows, the message queue and painting, checked against tables of the messages a window
// procedure receives and of the pixels that painting touches.
#include "platform/hosts/headless.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace zod {
namespace {

constexpr COLORREF kSentinel = RGB(0x5A, 0xA5, 0x3C);

// What the test window procedure does and saw.
struct Proc {
    std::vector<std::string> log;
    LRESULT createResult = 0;
    bool destroyInCreate = false;
    bool destroyInDestroy = false;
    bool validateOnPaint = true;
    std::vector<PAINTSTRUCT> paints;
    std::vector<RECT> paintClips;
};
Proc proc;

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        proc.log.push_back(IsWindow(hwnd) ? "create" : "create-without-window");
        if (proc.destroyInCreate)
            DestroyWindow(hwnd);
        return proc.createResult;
    case WM_DESTROY:
        proc.log.push_back("destroy");
        if (proc.destroyInDestroy)
            DestroyWindow(hwnd); // a common mistake; must not recurse
        return 0;
    case WM_PAINT: {
        proc.log.push_back("paint");
        if (!proc.validateOnPaint)
            return 0;
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT clip{-1, -1, -1, -1};
        GetClipBox(dc, &clip);
        proc.paints.push_back(paint);
        proc.paintClips.push_back(clip);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_CLOSE:
        proc.log.push_back("close");
        break;
    case WM_COMMAND:
        proc.log.push_back("command " + std::to_string(wParam));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Messages : public ::testing::Test {
  public:
    Messages() : host(64, 48) { proc = Proc{}; }

    HWND Create(DWORD style, const char* menu = nullptr, bool brush = true) {
        WNDCLASSA c{};
        c.lpfnWndProc = TestProc;
        c.hbrBackground = brush ? static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)) : nullptr;
        c.lpszMenuName = menu;
        c.lpszClassName = "TestWindow";
        RegisterClassA(&c);
        return CreateWindowExA(0, "TestWindow", "Test", style, 4, 6, 40, 30, nullptr, nullptr,
                               nullptr, nullptr);
    }

    // The program's message loop, until GetMessageA returns 0.
    void Pump() {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        EXPECT_EQ(msg.message, UINT(WM_QUIT));
        proc.log.push_back("quit " + std::to_string(msg.wParam));
    }

    HeadlessHost host;
};

struct SequenceCase {
    const char* name;
    std::function<void(Messages&, HeadlessHost&)> run;
    std::vector<std::string> expected;
};

// Hidden windows are never painted; when no window is shown the headless host has no
// input to give and GetMessageA ends the loop.
const SequenceCase kSequences[] = {
    {"PostedMessagesThenQuitThenPaint",
     [](Messages& t, HeadlessHost&) {
         HWND w = t.Create(WS_POPUP | WS_VISIBLE);
         PostMessageA(w, WM_COMMAND, 1, 0);
         PostMessageA(w, WM_COMMAND, 2, 0);
         PostQuitMessage(7);
         t.Pump(); // the quit request overtakes the pending paint
         t.Pump(); // then the paint, and the host closes the window
     },
     {"create", "command 1", "command 2", "quit 7", "paint", "close", "destroy", "quit 0"}},
    {"PaintBeforeWaitingForInput",
     [](Messages& t, HeadlessHost& host) {
         HWND w = t.Create(WS_POPUP | WS_VISIBLE);
         host.Then([w] { PostMessageA(w, WM_COMMAND, 5, 0); });
         host.Then([w] { InvalidateRect(w, nullptr, FALSE); });
         t.Pump();
     },
     {"create", "paint", "command 5", "paint", "close", "destroy", "quit 0"}},
    {"UpdateWindowPaintsAtOnceAndOnlyWhenInvalid",
     [](Messages& t, HeadlessHost&) {
         HWND w = t.Create(WS_POPUP);
         UpdateWindow(w); // hidden: nothing to paint
         ShowWindow(w, SW_SHOW);
         UpdateWindow(w);
         UpdateWindow(w); // validated by the first
         proc.log.push_back("updated");
         t.Pump();
     },
     {"create", "paint", "updated", "close", "destroy", "quit 0"}},
    {"HiddenWindowIsNeverPainted",
     [](Messages& t, HeadlessHost&) {
         HWND w = t.Create(WS_POPUP);
         InvalidateRect(w, nullptr, TRUE);
         PostMessageA(w, WM_COMMAND, 3, 0);
         t.Pump();
         DestroyWindow(w);
     },
     {"create", "command 3", "quit 0", "destroy"}},
    {"MessagesForADestroyedWindowAreDropped",
     [](Messages& t, HeadlessHost&) {
         HWND w = t.Create(WS_POPUP | WS_VISIBLE);
         PostMessageA(w, WM_COMMAND, 1, 0);
         DestroyWindow(w);
         EXPECT_FALSE(PostMessageA(w, WM_COMMAND, 2, 0));
         EXPECT_EQ(SendMessageA(w, WM_COMMAND, 3, 0), 0);
         t.Pump();
     },
     {"create", "destroy", "quit 0"}},
    {"UnvalidatedPaintComesAgain",
     [](Messages& t, HeadlessHost&) {
         proc.validateOnPaint = false;
         HWND w = t.Create(WS_POPUP | WS_VISIBLE);
         UpdateWindow(w);
         UpdateWindow(w);
         proc.validateOnPaint = true;
         t.Pump();
     },
     {"create", "paint", "paint", "paint", "close", "destroy", "quit 0"}},
    {"CreateReturningMinusOneDestroys",
     [](Messages& t, HeadlessHost&) {
         proc.createResult = -1;
         EXPECT_EQ(t.Create(WS_POPUP | WS_VISIBLE), nullptr);
     },
     {"create", "destroy"}},
    {"DestroyedDuringCreateFails",
     [](Messages& t, HeadlessHost&) {
         proc.destroyInCreate = true;
         EXPECT_EQ(t.Create(WS_POPUP | WS_VISIBLE), nullptr);
     },
     {"create", "destroy"}},
    {"DestroyWindowInsideDestroyRunsOnce",
     [](Messages& t, HeadlessHost&) {
         proc.destroyInDestroy = true;
         HWND w = t.Create(WS_POPUP);
         EXPECT_TRUE(DestroyWindow(w));
         EXPECT_FALSE(IsWindow(w));
     },
     {"create", "destroy"}},
};

class Sequence : public Messages, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(Sequence, MatchesTable) {
    GetParam().run(*this, host);
    EXPECT_EQ(proc.log, GetParam().expected);
    EXPECT_EQ(LiveHandles(HandleKind::Window), 0);
    EXPECT_EQ(LiveResourceHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Messages, Sequence, ::testing::ValuesIn(kSequences),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(Messages, CreateSendsWmCreateBeforeReturningAndQuitCarriesItsCode) {
    HWND w = Create(WS_POPUP);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(proc.log, std::vector<std::string>{"create"});
    PostQuitMessage(-3);
    MSG msg;
    std::memset(&msg, 0xCC, sizeof msg);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(int(msg.wParam), -3);
    EXPECT_EQ(host.QuitRequests(), std::vector<int>{-3});
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    DestroyWindow(w);
}

// Painting a maximised window with a menu: client origin (0, 18) on a 64 x 48 screen.
struct PaintCase {
    const char* name;
    bool brush;
    std::vector<RECT> invalid; // client coordinates, each InvalidateRect'd in turn
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
    proc.paintClips.clear();
    for (const RECT& r : c.invalid)
        InvalidateRect(w, &r, c.erase);
    UpdateWindow(w);
    const bool painted = c.rcPaint.right > c.rcPaint.left;
    ASSERT_EQ(proc.paints.size(), painted ? 1u : 0u);
    if (painted) {
        const PAINTSTRUCT& p = proc.paints[0];
        EXPECT_EQ(p.fErase, c.fErase);
        EXPECT_EQ(
            std::vector<LONG>({p.rcPaint.left, p.rcPaint.top, p.rcPaint.right, p.rcPaint.bottom}),
            std::vector<LONG>({c.rcPaint.left, c.rcPaint.top, c.rcPaint.right, c.rcPaint.bottom}));
        const RECT& clip = proc.paintClips[0];
        EXPECT_EQ(
            std::vector<LONG>({clip.left, clip.top, clip.right, clip.bottom}),
            std::vector<LONG>({c.rcPaint.left, c.rcPaint.top, c.rcPaint.right, c.rcPaint.bottom}));
        EXPECT_EQ(GetPixel(p.hdc, c.rcPaint.left, c.rcPaint.top), CLR_INVALID); // released
    }
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const int cx = x, cy = y - kMenuBarHeight;
            const bool inside = c.erased && cx >= c.rcPaint.left && cx < c.rcPaint.right &&
                                cy >= c.rcPaint.top && cy < c.rcPaint.bottom;
            ASSERT_EQ(ScreenPixel(x, y), inside ? 0u : kSentinel) << x << "," << y;
        }
    EXPECT_EQ(LiveHandles(HandleKind::DeviceContext), 0);
    DestroyWindow(w);
}

INSTANTIATE_TEST_SUITE_P(Messages, Painting, ::testing::ValuesIn(kPaints),
                         [](const auto& c) { return std::string(c.param.name); });

} // namespace
} // namespace zod
