// settings/ with the real file "c:\windows\RARURI.ini" of the throwaway Wine prefix and
// real message boxes, which a CBT hook reads and answers so that no test waits for a person.
#include "settings/settings.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using zod::test::ReadFileBytes;
using zod::test::WriteFileBytes;

struct Box {
    std::string caption, text;
    HWND owner = NULL;
    bool stopIcon = false;
    std::string buttons;
    bool operator==(const Box& o) const {
        return caption == o.caption && text == o.text && owner == o.owner &&
               stopIcon == o.stopIcon && buttons == o.buttons;
    }
};
std::ostream& operator<<(std::ostream& out, const Box& b) {
    return out << b.caption << " / " << b.text << " / " << b.owner << (b.stopIcon ? " stop" : "")
               << " [" << b.buttons << "]";
}

std::vector<Box> seen;

std::string TextOf(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
    Box& box = *reinterpret_cast<Box*>(param);
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    if (_stricmp(name, "Button") == 0)
        box.buttons += TextOf(child);
    else if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        box.stopIcon = HICON(SendMessageA(child, STM_GETICON, 0, 0)) == LoadIconA(NULL, IDI_HAND);
    else if (_stricmp(name, "Static") == 0 && box.text.empty())
        box.text = TextOf(child);
    return TRUE;
}

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    char name[64] = "";
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && GetClassNameA(window, name, sizeof name) &&
        strcmp(name, "#32770") == 0) {
        Box box;
        box.caption = TextOf(window);
        box.owner = GetWindow(window, GW_OWNER);
        EnumChildWindows(window, ReadChild, reinterpret_cast<LPARAM>(&box));
        seen.push_back(box);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// The quit code waiting in the queue, or -1.
int QuitCode() {
    MSG message;
    int code = -1;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT)
            code = int(message.wParam);
    return code;
}

TEST(WindowsSettings, ReadsTheRealFileAndReportsWhatFails) {
    const char* path = SettingsFilePath(false);
    ASSERT_STREQ(path, "c:\\windows\\RARURI.ini");
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, NULL, NULL, NULL, NULL);
    ASSERT_NE(owner, nullptr);
    const Box reading = {"Initialization Error",
                         "There was an error reading RARURI.INI\nLoading Default settings...",
                         owner, true, "OK"};
    const Box creating = {"CRITICAL ERROR", "THERE WAS A CRITICAL ERROR CREATING RARURI.ININN",
                          owner, true, "OK"};
    const struct {
        const char* before; // NULL: no file; "/": a folder in its place, so nothing is created
        int32_t factor;
        std::vector<Box> boxes;
        const char* after;
        int quitCode;
    } cases[] = {
        {NULL, 3, {reading}, "3", -1},
        {"8", 8, {}, "8", -1},
        {"/", 3, {reading, creating}, "", 0},
    };
    HHOOK hook = SetWindowsHookExA(WH_CBT, AnswerBoxes, NULL, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before ? c.before : "no file");
        seen.clear();
        if (c.before && strcmp(c.before, "/") == 0)
            ASSERT_TRUE(CreateDirectoryA(path, NULL));
        else if (c.before)
            WriteFileBytes(path, c.before);
        EXPECT_EQ(ReadSettings(owner), c.factor);
        EXPECT_EQ(seen, c.boxes);
        EXPECT_EQ(QuitCode(), c.quitCode);
        EXPECT_EQ(ReadFileBytes(path), c.after);
        RemoveDirectoryA(path);
        DeleteFileA(path);
    }
    UnhookWindowsHookEx(hook);
    DestroyWindow(owner);
}

} // namespace
