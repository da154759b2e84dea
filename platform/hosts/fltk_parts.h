// What the desktop host is built from, one section per file. Only the host's own files
// include this; the program sees FltkHost (fltk_host.h).
#pragma once

class Fl_Window;

namespace zod {

// x_focus.cpp: the keyboard for new windows. Without a window manager the keyboard follows
// the pointer, which may be anywhere; a modal window takes it once it is on screen, as
// dialogs do on Windows.

// Gives the X window `xid` the keyboard if it is viewable; false when it is not yet.
bool FocusIfViewable(unsigned long xid);
// Waits briefly for `window` to be viewable, then gives it the keyboard.
void TakeKeyboardFocus(Fl_Window* window);

} // namespace zod
