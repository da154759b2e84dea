// The desktop's file chooser (GTK 2), loaded at run time so that the program neither
// builds against GTK nor needs it installed.
#pragma once

#include "platform/posix/host.h"

#include <optional>
#include <string>

namespace zod {

// Loads GTK on the first call; false when it is not installed or cannot open the display.
bool GtkFileDialogAvailable();

// Shows the chooser, modal over `owner` (an X window id), starting in `folder`, and keeps
// FLTK's windows painted while it is open. The chosen path, or nothing when cancelled.
std::optional<std::string> RunGtkFileDialog(const FileDialogRequest& request,
                                            const std::string& folder, unsigned long owner);

} // namespace zod
