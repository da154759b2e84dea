#include "tests/windows/message_box_watch.h"

#include <cstring>

namespace zod::test {

namespace {

std::vector<SeenMessageBox> seenBoxes;

std::string TextOf(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
    SeenMessageBox& box = *reinterpret_cast<SeenMessageBox*>(param);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Button") == 0) {
        box.buttons.push_back(TextOf(child));
    } else if (_stricmp(className, "Static") == 0) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            box.stopIcon = icon && icon == LoadIconA(NULL, IDI_HAND);
        } else if (box.text.empty()) {
            box.text = TextOf(child);
        }
    }
    return TRUE;
}

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[64] = "";
        GetClassNameA(window, className, sizeof className);
        if (strcmp(className, "#32770") == 0) {
            SeenMessageBox box = {TextOf(window), "", GetWindow(window, GW_OWNER), false, {}};
            EnumChildWindows(window, ReadChild, reinterpret_cast<LPARAM>(&box));
            seenBoxes.push_back(box);
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

} // namespace

MessageBoxWatch::MessageBoxWatch() {
    seenBoxes.clear();
    hook_ = SetWindowsHookExA(WH_CBT, WatchBoxes, NULL, GetCurrentThreadId());
}

MessageBoxWatch::~MessageBoxWatch() {
    if (hook_)
        UnhookWindowsHookEx(hook_);
}

const std::vector<SeenMessageBox>& MessageBoxWatch::seen() const {
    return seenBoxes;
}

} // namespace zod::test
