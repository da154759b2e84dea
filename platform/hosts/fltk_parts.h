// What the desktop host is built from, one section per file. Only the host's own files
// include this; the program sees FltkHost (fltk_host.h).
#pragma once

#include <string>
#include <vector>

class Fl_Window;

namespace zod {

// x_focus.cpp: the keyboard for new windows. Without a window manager the keyboard follows
// the pointer, which may be anywhere; a modal window takes it once it is on screen, as
// dialogs do on Windows.

// Gives the X window `xid` the keyboard if it is viewable; false when it is not yet.
bool FocusIfViewable(unsigned long xid);
// Waits briefly for `window` to be viewable, then gives it the keyboard.
void TakeKeyboardFocus(Fl_Window* window);

// file_patterns.cpp: what both choosers make of a filter.

// The patterns of a filter such as "*.bmp;*.dib", which ";" separates; empty ones are dropped.
std::vector<std::string> SplitPatterns(const std::string& patterns);

} // namespace zod
