// The message queue: posting, the message loop and its wait for input.
#include "state.h"

namespace zod {

namespace {

HWND WindowNeedingPaint() {
    for (void* handle : State().handles.All(HandleKind::Window)) {
        WindowObject* window = FindWindowObject(static_cast<HWND>(handle));
        if (window && window->visible && window->needsPaint)
            return static_cast<HWND>(handle);
    }
    return nullptr;
}

} // namespace

} // namespace zod

using namespace zod;

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
    PlatformState& s = State();
    for (;;) {
        if (!s.queue.empty()) {
            *msg = s.queue.front();
            s.queue.pop_front();
            return TRUE;
        }
        // As on Windows: the quit request comes after posted messages, before paints.
        if (s.quitPosted) {
            s.quitPosted = false;
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(s.quitCode);
            return FALSE;
        }
        if (HWND hwnd = WindowNeedingPaint()) {
            *msg = MSG{};
            msg->hwnd = hwnd;
            msg->message = WM_PAINT;
            return TRUE;
        }
        FlushAllDcs();
        if (!s.host || !s.host->WaitForInput()) {
            // Nobody can ever send input again: end the loop rather than hang.
            *msg = MSG{};
            msg->message = WM_QUIT;
            return FALSE;
        }
    }
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd)
        return 0;
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    State().quitPosted = true;
    State().quitCode = exitCode;
    if (State().host)
        State().host->QuitRequested(exitCode);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !FindWindowObject(hwnd))
        return FALSE;
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    State().queue.push_back(msg);
    return TRUE;
}

// Only the zero-timeout poll is needed: the host is shown what has been drawn.
DWORD WINAPI MsgWaitForMultipleObjects(DWORD, const HANDLE*, BOOL, DWORD, DWORD) {
    FlushAllDcs();
    return WAIT_TIMEOUT;
}
