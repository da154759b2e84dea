#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

namespace zod {

bool FocusIfViewable(unsigned long xid) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(fl_display, xid, &attributes) || attributes.map_state != IsViewable)
        return false;
    XSetInputFocus(fl_display, xid, RevertToPointerRoot, CurrentTime);
    return true;
}

void TakeKeyboardFocus(Fl_Window* window) {
    for (int tries = 0; tries < 100 && window->shown(); ++tries) {
        if (FocusIfViewable(fl_xid(window)))
            return;
        Fl::wait(0.01);
    }
}

} // namespace zod
