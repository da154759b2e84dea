// FLTK 1.3 takes the DestroyNotify of any window it no longer knows as a hint that the input
// method's server may have died, and checks with a fresh XOpenIM. Its own popups (menus,
// message boxes) are forgotten as they are hidden, before their DestroyNotify arrives, so
// every closed menu re-opened the input method: without a server, that is libX11 parsing the
// whole Compose file again. Windows FLTK made are remembered while it knows them and their
// DestroyNotify stops here; any other window's still reaches FLTK, so a crashed server is
// still noticed, and the input context itself is left alone.
#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <algorithm>
#include <vector>

namespace zod {

namespace {

std::vector<Window> fltkWindows; // every one is destroyed in the end, so this stays short

int DropDestroyOfFltkWindow(void* event, void*) {
    const XEvent& e = *static_cast<const XEvent*>(event);
    const Window window = e.xany.window;
    auto known = std::find(fltkWindows.begin(), fltkWindows.end(), window);
    if (e.type == DestroyNotify) {
        if (known == fltkWindows.end() || e.xdestroywindow.window != window || fl_find(window))
            return 0;
        fltkWindows.erase(known);
        return 1;
    }
    if (known == fltkWindows.end() && window && fl_find(window))
        fltkWindows.push_back(window);
    return 0;
}

} // namespace

void KeepInputMethodOpen() {
    Fl::add_system_handler(DropDestroyOfFltkWindow, nullptr);
}

} // namespace zod
