// A host with no display. Tests drive the program through it: they queue answers for
// file dialogs, script what the user does whenever the program waits for input, and read
// back message boxes and the virtual screen.
#pragma once

#include "platform/linux/host.h"
#include "platform/linux/live_handles.h"
#include "platform/linux/screen.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zod {

class HeadlessHost : public Host {
  public:
    // Installs itself; the destructor uninstalls it.
    explicit HeadlessHost(int width = 640, int height = 480);
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // The next file dialog returns this path; std::nullopt cancels it.
    void QueueDialogAnswer(std::optional<std::string> answer);
    // Steps run one at a time, in order, each time the program waits for input. When none
    // is left the user closes the window.
    void Then(std::function<void()> step);

    // What a user can do from a step.
    bool ChooseMenuItem(int id); // false when the shown menu has no such enabled item
    void RequestClose();

    HWND MainWindow() const { return mainWindow_; }
    const std::vector<MessageBoxRequest>& MessageBoxes() const { return boxes_; }
    const std::vector<FileDialogRequest>& Dialogs() const { return dialogs_; }
    const std::vector<int>& QuitRequests() const { return quits_; }
    int WindowsShown() const { return windowsShown_; }
    bool ScriptRanOut() const { return scriptRanOut_; }

    void ScreenSize(int& width, int& height) override;
    void WindowShown(const zod::WindowShown& shown) override;
    void WindowDestroyed(HWND window) override;
    void QuitRequested(int exitCode) override;
    bool WaitForInput() override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;

  private:
    int width_;
    int height_;
    HWND mainWindow_ = nullptr;
    const Menu* menu_ = nullptr;
    std::deque<std::optional<std::string>> answers_;
    std::deque<std::function<void()>> steps_;
    std::vector<MessageBoxRequest> boxes_;
    std::vector<FileDialogRequest> dialogs_;
    std::vector<int> quits_;
    int windowsShown_ = 0;
    bool scriptRanOut_ = false;
};

} // namespace zod
