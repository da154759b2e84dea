// What the host tells the window manager, and the keyboard focus. A window's properties are
// set right after FLTK's show(), which leaves the request that maps the window unsent: no
// call in between waits for the X server, so a window manager finds them when it takes the
// window on. Where one has already read them, it still follows later changes.
#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <X11/Xatom.h>

namespace zod {

namespace {

struct Atoms {
    Atom state, skipTaskbar, windowType, dialogType, motifHints;
};

// Interned before a window is shown, since interning waits for the server.
const Atoms& WmAtoms() {
    static const Atoms atoms = [] {
        const char* names[] = {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_WINDOW_TYPE",
                               "_NET_WM_WINDOW_TYPE_DIALOG", "_MOTIF_WM_HINTS"};
        Atom a[5];
        XInternAtoms(fl_display, const_cast<char**>(names), 5, False, a);
        return Atoms{a[0], a[1], a[2], a[3], a[4]};
    }();
    return atoms;
}

} // namespace

void ShowAsMainWindow(Fl_Window* window) {
    const Atoms& atoms = WmAtoms();
    window->show();
    // FLTK marks a borderless window skip-taskbar, and nothing else in its state. Before a
    // window manager has the window the property is ours; once it has, it takes a request.
    const Window xid = fl_xid(window);
    XChangeProperty(fl_display, xid, atoms.state, XA_ATOM, 32, PropModeReplace, nullptr, 0);
    XEvent remove{};
    remove.xclient.type = ClientMessage;
    remove.xclient.window = xid;
    remove.xclient.message_type = atoms.state;
    remove.xclient.format = 32;
    remove.xclient.data.l[0] = 0; // _NET_WM_STATE_REMOVE
    remove.xclient.data.l[1] = long(atoms.skipTaskbar);
    remove.xclient.data.l[3] = 1; // asked by an application
    XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &remove);
    XFlush(fl_display);
}

void ShowAsDialog(Fl_Window* dialog, unsigned long owner) {
    const Atoms& atoms = WmAtoms();
    dialog->show();
    const Window xid = fl_xid(dialog);
    if (owner)
        XSetTransientForHint(fl_display, xid, owner);
    Atom type = atoms.dialogType;
    XChangeProperty(fl_display, xid, atoms.windowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    // Motif hints, which most window managers honour: a title and a border, move and close,
    // and no minimise or maximise.
    enum : long { kFunctions = 1, kDecorations = 2, kMove = 4, kClose = 32 };
    enum : long { kBorder = 2, kTitle = 8, kMenu = 16 };
    long hints[5] = {kFunctions | kDecorations, kMove | kClose, kBorder | kTitle | kMenu, 0, 0};
    XChangeProperty(fl_display, xid, atoms.motifHints, atoms.motifHints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
    XFlush(fl_display);
}

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
