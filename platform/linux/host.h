// The seam between our Win32 subset and whatever shows the screen and takes input.
// A host owns no program state: it answers dialogs and message boxes, reports input by
// posting messages, and presents the virtual screen that the subset draws into.
#pragma once

#include "win32_subset.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zod {

struct MenuItem {
    std::string text; // with its "&" mnemonic
    int id = 0;
    bool grayed = false;
    std::vector<MenuItem> items; // non-empty for a popup
};

struct Menu {
    std::string name;
    std::vector<MenuItem> popups;
};

// A decoded icon or cursor, 0xAARRGGBB pixels, top row first.
struct Image {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<uint32_t> argb;
};

struct FileFilter {
    std::string label;
    std::string pattern; // as given, e.g. "*.bmp" or "*.a;*.b"
};

struct FileDialogRequest {
    HWND owner = nullptr;
    bool save = false;
    std::vector<FileFilter> filters;
    int filterIndex = 1; // 1-based, as in the record
    std::string defaultExtension;
    bool fileMustExist = false;
};

// What a file dialog's answer names: the default extension is added to a name with none.
std::string CompleteDialogAnswer(const FileDialogRequest& request, const std::string& answer);
// Why the answer cannot close the dialog, which then keeps asking, or empty when it can: an
// Open dialog that asks for an existing file takes nothing else ("<name>\nFile does not
// exist."). Both the subset and the hosts' choosers apply it.
std::string RefuseDialogAnswer(const FileDialogRequest& request, const std::string& answer);

struct MessageBoxRequest {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
};

// What a host learns about the main window when it is shown.
struct WindowShown {
    HWND window = nullptr;
    const char* title = nullptr; // valid during the call
    const Menu* menu = nullptr;
    const Image* icon = nullptr;
    const Image* cursor = nullptr;
};

class Host {
  public:
    virtual ~Host() = default;
    // Fixed for the host's lifetime; the virtual screen is made this size.
    virtual void ScreenSize(int& width, int& height) = 0;
    virtual void WindowShown(const WindowShown&) {}
    virtual void WindowDestroyed(HWND) {}
    // PostQuitMessage was called.
    virtual void QuitRequested(int /*exitCode*/) {}
    // Pixels inside the rectangle (screen coordinates) were drawn.
    virtual void ScreenChanged(const RECT&) {}
    // Blocks until input has been posted to the queue. False: no input will ever come.
    virtual bool WaitForInput() = 0;
    virtual int ShowMessageBox(const MessageBoxRequest&) = 0;
    // The chosen path as the user gave it, or nothing when cancelled.
    virtual std::optional<std::string> ShowFileDialog(const FileDialogRequest&) = 0;
};

// Installs the host and makes a fresh virtual screen of its size; all windows, queued
// messages and quit state of an earlier run are dropped. nullptr uninstalls.
void InstallHost(Host* host);
Host* InstalledHost();

} // namespace zod
