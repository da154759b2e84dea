// The desktop host: shows the virtual screen in a borderless FLTK window that covers the
// monitor, with a real menu bar, file dialogs and message boxes. The parts it is built
// from are listed in fltk_parts.h.
#pragma once

#include "platform/linux/host.h"

#include <memory>

namespace zod {

class FltkHost : public Host {
  public:
    // Opens the display and installs itself; the destructor uninstalls it.
    FltkHost();
    ~FltkHost() override;
    FltkHost(const FltkHost&) = delete;
    FltkHost& operator=(const FltkHost&) = delete;

    void ScreenSize(int& width, int& height) override;
    void WindowShown(const zod::WindowShown& shown) override;
    void WindowDestroyed(HWND window) override;
    void ScreenChanged(const RECT& rect) override;
    bool WaitForInput() override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace zod
