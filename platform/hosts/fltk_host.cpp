#include "fltk_host.h"
#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstdint>
#include <deque>
#include <string>
#include <unistd.h>
#include <vector>

namespace zod {

namespace {

// Pixels of an icon or cursor as FLTK wants them: RGBA bytes.
struct RgbaImage {
    std::vector<unsigned char> bytes;
    std::unique_ptr<Fl_RGB_Image> image;

    explicit RgbaImage(const Image& source) {
        bytes.reserve(source.argb.size() * 4);
        for (uint32_t p : source.argb) {
            bytes.push_back(static_cast<unsigned char>(p >> 16));
            bytes.push_back(static_cast<unsigned char>(p >> 8));
            bytes.push_back(static_cast<unsigned char>(p));
            bytes.push_back(static_cast<unsigned char>(p >> 24));
        }
        image = std::make_unique<Fl_RGB_Image>(bytes.data(), source.width, source.height, 4);
    }
};

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    if (!getcwd(buffer.data(), buffer.size()))
        return ".";
    return buffer.data();
}

} // namespace

class MainWindow;

struct FltkHost::Impl {
    int screenX = 0, screenY = 0, screenW = 0, screenH = 0;
    HWND mainWindow = nullptr;
    std::unique_ptr<MainWindow> window;
    ScreenView* view = nullptr;
    Fl_Menu_Bar* menuBar = nullptr;
    std::deque<std::string> labels; // the menu items point into these
    std::vector<Fl_Menu_Item> menuItems;
    std::unique_ptr<RgbaImage> icon;
    std::unique_ptr<RgbaImage> cursor;
    std::unique_ptr<RgbaImage> defaultIcon;
    bool inputPosted = false;
    std::string lastDirectory;

    void Post(UINT message, WPARAM wParam) {
        if (mainWindow && PostMessageA(mainWindow, message, wParam, 0))
            inputPosted = true;
    }

    DialogPlace Place() const;
    // A window manager may keep the keyboard once a dialog has gone; the user should not have
    // to click to get it back.
    void TakeBackKeyboard();

    void BuildMenu(const Menu& menu);
};

class MainWindow : public Fl_Window {
  public:
    MainWindow(FltkHost::Impl& host, int x, int y, int w, int h)
        : Fl_Window(x, y, w, h), host_(host) {
        callback(OnClose, this);
    }

    int handle(int event) override {
        // Without a window manager nobody turns Alt+F4 into a close request; do it here.
        if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && Fl::event_key() == FL_F + 4 &&
            Fl::event_alt()) {
            host_.Post(WM_CLOSE, 0);
            return 1;
        }
        return Fl_Window::handle(event);
    }

  private:
    static void OnClose(Fl_Widget*, void* data) {
        // FLTK calls this for Escape too; only a real close request closes the window.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
            return;
        static_cast<MainWindow*>(data)->host_.Post(WM_CLOSE, 0);
    }

    FltkHost::Impl& host_;
};

DialogPlace FltkHost::Impl::Place() const {
    bool shown = window && window->shown();
    return DialogPlace{screenX, screenY, screenW, screenH, shown ? fl_xid(window.get()) : 0};
}

void FltkHost::Impl::TakeBackKeyboard() {
    if (window && window->shown())
        FocusIfViewable(fl_xid(window.get()));
}

namespace {

void OnMenuItem(Fl_Widget* widget, void* data) {
    auto* bar = static_cast<Fl_Menu_Bar*>(widget);
    const Fl_Menu_Item* item = bar->mvalue();
    if (!item || item->submenu() || !item->active())
        return;
    auto id = static_cast<int>(reinterpret_cast<intptr_t>(item->user_data()));
    static_cast<FltkHost::Impl*>(data)->Post(WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF));
}

} // namespace

void FltkHost::Impl::BuildMenu(const Menu& menu) {
    labels.clear();
    menuItems.clear();
    auto add = [this](const MenuItem& source, int flags) {
        labels.push_back(source.text);
        Fl_Menu_Item item{};
        item.text = labels.back().c_str();
        item.user_data_ = reinterpret_cast<void*>(static_cast<intptr_t>(source.id));
        item.flags = flags | (source.grayed ? FL_MENU_INACTIVE : 0);
        menuItems.push_back(item);
    };
    for (const MenuItem& popup : menu.popups) {
        if (popup.items.empty()) {
            add(popup, 0); // a command right on the bar
            continue;
        }
        add(popup, FL_SUBMENU);
        for (const MenuItem& item : popup.items)
            add(item, 0);
        menuItems.push_back(Fl_Menu_Item{});
    }
    menuItems.push_back(Fl_Menu_Item{});
}

FltkHost::FltkHost() : impl_(std::make_unique<Impl>()) {
    Fl::visual(FL_RGB);
    fl_open_display();
    KeepInputMethodOpen();
    Fl::screen_xywh(impl_->screenX, impl_->screenY, impl_->screenW, impl_->screenH, 0);
    impl_->lastDirectory = CurrentDirectory() + "/";
    // Every window of ours, message boxes included, carries the program's class and icon.
    Fl_Window::default_xclass("zod-edozuv");
    if (const Image* icon = FindIconResource("TVQ_BIG")) {
        impl_->defaultIcon = std::make_unique<RgbaImage>(*icon);
        Fl_Window::default_icon(impl_->defaultIcon->image.get());
    }
    InstallHost(this);
}

FltkHost::~FltkHost() {
    if (InstalledHost() == this)
        InstallHost(nullptr);
}

void FltkHost::ScreenSize(int& width, int& height) {
    width = impl_->screenW;
    height = impl_->screenH;
}

void FltkHost::WindowShown(const zod::WindowShown& shown) {
    Impl& host = *impl_;
    if (host.window && host.mainWindow == shown.window)
        return;
    host.mainWindow = shown.window;
    host.window =
        std::make_unique<MainWindow>(host, host.screenX, host.screenY, host.screenW, host.screenH);
    MainWindow& window = *host.window;
    window.label(shown.title ? shown.title : "");
    window.border(0);
    // The view first: it is drawn first, before the menu bar loads its fonts.
    int top = shown.menu ? kMenuBarRows : 0;
    host.view = new ScreenView(0, top, host.screenW, host.screenH - top);
    if (shown.menu) {
        host.BuildMenu(*shown.menu);
        host.menuBar = new Fl_Menu_Bar(0, 0, host.screenW, kMenuBarRows);
        host.menuBar->textsize(13);
        host.menuBar->box(FL_FLAT_BOX);
        host.menuBar->down_box(FL_FLAT_BOX);
        host.menuBar->menu(host.menuItems.data());
        host.menuBar->callback(OnMenuItem, &host);
    }
    window.end();
    if (shown.icon && shown.icon->width > 0) {
        host.icon = std::make_unique<RgbaImage>(*shown.icon);
        window.icon(host.icon->image.get());
    }
    ShowAsMainWindow(&window);
    if (shown.cursor && shown.cursor->width > 0) {
        host.cursor = std::make_unique<RgbaImage>(*shown.cursor);
        window.cursor(host.cursor->image.get(), shown.cursor->hotX, shown.cursor->hotY);
    }
    TakeKeyboardFocus(&window);
}

void FltkHost::WindowDestroyed(HWND window) {
    if (window != impl_->mainWindow)
        return;
    impl_->mainWindow = nullptr;
    if (impl_->window)
        impl_->window->hide();
}

void FltkHost::ScreenChanged(const RECT& rect) {
    if (impl_->view)
        impl_->view->Invalidate(rect);
}

bool FltkHost::WaitForInput() {
    impl_->inputPosted = false;
    while (!impl_->inputPosted) {
        if (!impl_->mainWindow || !impl_->window || !impl_->window->shown())
            return false;
        Fl::wait();
    }
    return true;
}

int FltkHost::ShowMessageBox(const MessageBoxRequest& request) {
    int answer = RunMessageBox(request, impl_->Place());
    impl_->TakeBackKeyboard();
    return answer;
}

// The desktop's GTK chooser when GTK 2 is installed, FLTK's own otherwise. Both start
// where the last one ended, at first in the working directory, as on Windows.
std::optional<std::string> FltkHost::ShowFileDialog(const FileDialogRequest& request) {
    Impl& host = *impl_;
    std::optional<std::string> path;
    if (GtkFileDialogAvailable()) {
        path = RunGtkFileDialog(request, host.lastDirectory, host.Place());
    } else {
        path = RunFltkFileChooser(request, host.lastDirectory, host.Place());
    }
    host.TakeBackKeyboard();
    if (path) {
        size_t slash = path->find_last_of('/');
        if (slash != std::string::npos)
            host.lastDirectory = path->substr(0, slash + 1);
    }
    // A file chosen under a TVQ filter is drawn as TVQ, whatever it holds.
    const size_t chosen = size_t(request.filterIndex - 1);
    if (path && !request.save && chosen < request.filters.size() &&
        request.filters[chosen].pattern == "*.tvq")
        SayWhyNotTvq(CompleteDialogAnswer(request, *path));
    return path;
}

} // namespace zod
