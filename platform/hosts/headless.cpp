#include "headless.h"

namespace zod {

namespace {

const MenuItem* FindItem(const std::vector<MenuItem>& items, int id) {
    for (const MenuItem& item : items) {
        if (item.items.empty() && item.id == id)
            return &item;
        if (const MenuItem* found = FindItem(item.items, id))
            return found;
    }
    return nullptr;
}

} // namespace

HeadlessHost::HeadlessHost(int width, int height) : width_(width), height_(height) {
    InstallHost(this);
}

HeadlessHost::~HeadlessHost() {
    if (InstalledHost() == this)
        InstallHost(nullptr);
}

void HeadlessHost::QueueDialogAnswer(std::optional<std::string> answer) {
    answers_.push_back(std::move(answer));
}

void HeadlessHost::Then(std::function<void()> step) {
    steps_.push_back(std::move(step));
}

bool HeadlessHost::ChooseMenuItem(int id) {
    if (!mainWindow_ || !menu_)
        return false;
    const MenuItem* item = FindItem(menu_->popups, id);
    if (!item || item->grayed)
        return false;
    return PostMessageA(mainWindow_, WM_COMMAND, static_cast<WPARAM>(id), 0) != FALSE;
}

void HeadlessHost::RequestClose() {
    if (mainWindow_)
        PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
}

void HeadlessHost::ScreenSize(int& width, int& height) {
    width = width_;
    height = height_;
}

void HeadlessHost::WindowShown(const zod::WindowShown& shown) {
    mainWindow_ = shown.window;
    menu_ = shown.menu;
    ++windowsShown_;
}

void HeadlessHost::WindowDestroyed(HWND window) {
    if (window == mainWindow_) {
        mainWindow_ = nullptr;
        menu_ = nullptr;
    }
}

void HeadlessHost::QuitRequested(int exitCode) {
    quits_.push_back(exitCode);
}

bool HeadlessHost::WaitForInput() {
    if (!steps_.empty()) {
        std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        step();
        return true;
    }
    scriptRanOut_ = true;
    if (!mainWindow_)
        return false;
    RequestClose();
    return true;
}

int HeadlessHost::ShowMessageBox(const MessageBoxRequest& request) {
    boxes_.push_back(request);
    return IDOK;
}

std::optional<std::string> HeadlessHost::ShowFileDialog(const FileDialogRequest& request) {
    dialogs_.push_back(request);
    if (answers_.empty())
        return std::nullopt;
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

} // namespace zod
