// What the desktop host is built from, one section per file. Only the host's own files
// include this; the program sees FltkHost (fltk_host.h), which ties the parts together:
// the main window, its menu bar, input and which dialog answers.
#pragma once

#include "common/types.h"
#include "platform/linux/host.h"
#include "platform/linux/resources.h"
#include "platform/linux/screen.h"

#include <FL/Fl_Widget.H>

#include <optional>
#include <string>
#include <vector>

class Fl_Window;

namespace zod {

// screen_view.cpp: the virtual screen, shown one to one below the menu bar. The window sits
// at the screen's origin, so window coordinates are screen coordinates.
class ScreenView : public Fl_Widget {
  public:
    ScreenView(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    void draw() override;
    // Redraws these screen pixels at the next chance; an empty rectangle changes nothing.
    void Invalidate(const RECT& rect);
};

// The area dialogs are centred on, and the X window they belong to (0 before there is one).
struct DialogPlace {
    int x, y, w, h;
    unsigned long owner;
};

// message_box.cpp: our own modal message box. Returns IDOK.
int RunMessageBox(const MessageBoxRequest& request, const DialogPlace& place);

// fltk_file_chooser.cpp: FLTK's own chooser, for desktops without GTK 2. Starts in `folder`;
// the chosen path, or nothing when cancelled.
std::optional<std::string> RunFltkFileChooser(const FileDialogRequest& request,
                                              const std::string& folder, const DialogPlace& place);

// gtk_file_dialog.cpp: the desktop's chooser (GTK 2), loaded at run time so that the program
// neither builds against GTK nor needs it installed.

// Loads GTK on the first call; false when it is not installed or cannot open the display.
bool GtkFileDialogAvailable();
// Shows the chooser, modal over `place.owner` (an X window id), starting in `folder`, and
// keeps FLTK's windows painted while it is open. The chosen path, or nothing when cancelled.
std::optional<std::string> RunGtkFileDialog(const FileDialogRequest& request,
                                            const std::string& folder, const DialogPlace& place);

// file_patterns.cpp: what both choosers make of a request.

// The patterns of a filter such as "*.bmp;*.dib", which ";" separates; empty ones are dropped.
std::vector<std::string> SplitPatterns(const std::string& patterns);
// When the answer cannot close the chooser (RefuseDialogAnswer), says why in a message box
// over `place` and returns true: the chooser then keeps asking.
bool RefusedInChooser(const FileDialogRequest& request, const std::string& answer,
                      const DialogPlace& place);

// tvq_notice.cpp: for a file the program will draw as TVQ, a line on standard error when
// the plausibility rule refuses it, in the words zod-tvq info uses.
void SayWhyNotTvq(const std::string& path);

// input_method.cpp: keeps FLTK from re-opening the input method whenever one of its own
// windows (a menu, a message box) goes away. Call once the display is open.
void KeepInputMethodOpen();

// window_manager.cpp: what the window manager is told, and the keyboard. Without a window
// manager the keyboard follows the pointer, which may be anywhere; with one, it may keep the
// keyboard itself. So a window takes it once it is on screen, as on Windows.

// Shows the main window borderless and still in taskbars and the Alt+Tab list.
void ShowAsMainWindow(Fl_Window* window);
// Shows a dialog as one: transient for `owner` (an X window id, 0 for none), of the dialog
// type, with no minimise or maximise button.
void ShowAsDialog(Fl_Window* dialog, unsigned long owner);
// Gives the X window `xid` the keyboard if it is viewable; false when it is not yet.
bool FocusIfViewable(unsigned long xid);
// Waits briefly for `window` to be viewable, then gives it the keyboard.
void TakeKeyboardFocus(Fl_Window* window);

} // namespace zod
