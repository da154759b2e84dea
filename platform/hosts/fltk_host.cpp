#include "fltk_host.h"
#include "fltk_parts.h"
#include "gtk_file_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cctype>
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

// Shows the virtual screen one to one; the window sits at the screen's origin, so window
// coordinates are screen coordinates.
class ScreenView : public Fl_Widget {
  public:
    ScreenView(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}

    void draw() override {
        int cx, cy, cw, ch;
        fl_clip_box(x(), y(), w(), h(), cx, cy, cw, ch);
        const int sw = ScreenWidth();
        const int sh = ScreenHeight();
        const int right = std::min(cx + cw, sw);
        const int bottom = std::min(cy + ch, sh);
        cx = std::max(cx, 0);
        cy = std::max(cy, 0);
        if (right > cx && bottom > cy) {
            // COLORREF 0x00BBGGRR is R, G, B, 0 in memory: FLTK reads it directly as
            // 4-byte pixels.
            const uint32_t* first = ScreenPixels() + size_t(cy) * size_t(sw) + size_t(cx);
            fl_draw_image(reinterpret_cast<const uchar*>(first), cx, cy, right - cx, bottom - cy, 4,
                          sw * 4);
        }
    }
};

// Message box text is shown as given: no "&" underlines and no "@" symbols.
class PlainText : public Fl_Widget {
  public:
    PlainText(int x, int y, int w, int h, std::string text)
        : Fl_Widget(x, y, w, h), text_(std::move(text)) {}
    void draw() override {
        fl_font(FL_HELVETICA, 14);
        fl_color(FL_FOREGROUND_COLOR);
        fl_draw(text_.c_str(), x(), y(), w(), h(), FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE,
                nullptr, 0);
    }

  private:
    std::string text_;
};

// The stop icon: a red disc with a white cross.
class StopIcon : public Fl_Widget {
  public:
    StopIcon(int x, int y) : Fl_Widget(x, y, 32, 32) {}
    void draw() override {
        fl_color(fl_rgb_color(204, 0, 0));
        fl_pie(x(), y(), w(), h(), 0, 360);
        fl_color(FL_WHITE);
        fl_line_style(FL_SOLID | FL_CAP_ROUND, 4);
        fl_line(x() + 10, y() + 10, x() + 21, y() + 21);
        fl_line(x() + 21, y() + 10, x() + 10, y() + 21);
        fl_line_style(0);
    }
};

// "*.tvq" becomes "*.[tT][vV][qQ]": names match in either case, as on Windows.
std::string CaseBlindPattern(const std::string& pattern) {
    const std::vector<std::string> parts = SplitPatterns(pattern);
    std::string result;
    for (const std::string& p : parts) {
        if (!result.empty())
            result += ',';
        for (char c : p) {
            unsigned char u = static_cast<unsigned char>(c);
            if (std::isalpha(u)) {
                result += '[';
                result += static_cast<char>(std::tolower(u));
                result += static_cast<char>(std::toupper(u));
                result += ']';
            } else {
                result += c;
            }
        }
    }
    return parts.size() > 1 ? "{" + result + "}" : result;
}

template <typename T> T* FindChild(Fl_Group* group) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget* child = group->child(i);
        if (T* found = dynamic_cast<T*>(child))
            return found;
        if (Fl_Group* inner = child->as_group())
            if (T* found = FindChild<T>(inner))
                return found;
    }
    return nullptr;
}

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
    bool inputPosted = false;
    std::string lastDirectory;

    void Post(UINT message, WPARAM wParam) {
        if (mainWindow && PostMessageA(mainWindow, message, wParam, 0))
            inputPosted = true;
    }

    void BuildMenu(const Menu& menu);
    std::optional<std::string> RunFltkChooser(const FileDialogRequest& request);
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

std::optional<std::string> FltkHost::Impl::RunFltkChooser(const FileDialogRequest& request) {
    int type = request.save ? Fl_File_Chooser::CREATE : Fl_File_Chooser::SINGLE;
    Fl_File_Chooser chooser(lastDirectory.c_str(), "*", type, request.save ? "Save As" : "Open");
    chooser.preview(0);
    // The chooser takes the pattern from the label's parentheses, and ours have their own,
    // so labels and patterns are set on its widgets directly.
    std::vector<std::string> patterns;
    std::string labelList;
    for (const FileFilter& filter : request.filters) {
        std::string label;
        for (char c : filter.label) {
            if (c == '/' || c == '\\' || c == '&' || c == '_')
                label += '\\';
            label += c;
        }
        labelList += (labelList.empty() ? "" : "\t") + label;
        patterns.push_back(CaseBlindPattern(filter.pattern));
    }
    if (patterns.empty()) {
        labelList = "*";
        patterns.push_back("*");
    }
    chooser.filter(labelList.c_str());
    Fl_Box probe(0, 0, 0, 0);
    chooser.add_extra(&probe);
    Fl_Window* dialog = probe.window();
    chooser.add_extra(nullptr);
    Fl_Choice* choice = dialog ? FindChild<Fl_Choice>(dialog) : nullptr;
    Fl_File_Browser* list = dialog ? FindChild<Fl_File_Browser>(dialog) : nullptr;
    struct FilterState {
        Fl_Choice* choice;
        Fl_File_Browser* list;
        Fl_File_Chooser* chooser;
        std::vector<std::string>* patterns;
    } state{choice, list, &chooser, &patterns};
    auto apply = [](Fl_Widget*, void* data) {
        auto* s = static_cast<FilterState*>(data);
        int index = std::clamp(s->choice->value(), 0, int(s->patterns->size()) - 1);
        s->list->filter((*s->patterns)[size_t(index)].c_str());
        s->chooser->rescan();
    };
    if (choice && list) {
        // Only the program's own filters, as the Windows dialog lists them.
        while (choice->size() - 1 > int(patterns.size()))
            choice->remove(choice->size() - 2);
        choice->value(std::clamp(request.filterIndex - 1, 0, int(patterns.size()) - 1));
        choice->callback(apply, &state);
        apply(choice, &state);
    }
    chooser.show();
    if (dialog)
        TakeKeyboardFocus(dialog);
    while (chooser.shown())
        Fl::wait();
    const char* value = chooser.value();
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}

FltkHost::FltkHost() : impl_(std::make_unique<Impl>()) {
    Fl::visual(FL_RGB);
    fl_open_display();
    Fl::screen_xywh(impl_->screenX, impl_->screenY, impl_->screenW, impl_->screenH, 0);
    impl_->lastDirectory = CurrentDirectory() + "/";
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
    window.xclass("zod-edozuv");
    window.border(0);
    if (shown.menu) {
        host.BuildMenu(*shown.menu);
        host.menuBar = new Fl_Menu_Bar(0, 0, host.screenW, kMenuBarHeight);
        host.menuBar->textsize(13);
        host.menuBar->box(FL_FLAT_BOX);
        host.menuBar->down_box(FL_FLAT_BOX);
        host.menuBar->menu(host.menuItems.data());
        host.menuBar->callback(OnMenuItem, &host);
    }
    int top = shown.menu ? kMenuBarHeight : 0;
    host.view = new ScreenView(0, top, host.screenW, host.screenH - top);
    window.end();
    if (shown.icon && shown.icon->width > 0) {
        host.icon = std::make_unique<RgbaImage>(*shown.icon);
        window.icon(host.icon->image.get());
    }
    window.show();
    if (shown.cursor && shown.cursor->width > 0) {
        host.cursor = std::make_unique<RgbaImage>(*shown.cursor);
        window.cursor(host.cursor->image.get(), shown.cursor->hotX, shown.cursor->hotY);
    }
}

void FltkHost::WindowDestroyed(HWND window) {
    if (window != impl_->mainWindow)
        return;
    impl_->mainWindow = nullptr;
    if (impl_->window)
        impl_->window->hide();
}

void FltkHost::ScreenChanged(const RECT& rect) {
    if (!impl_->view || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    impl_->view->damage(FL_DAMAGE_USER1, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top);
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
    const bool stop = (request.type & MB_ICONMASK) == MB_ICONHAND;
    fl_font(FL_HELVETICA, 14);
    int textW = 0, textH = 0;
    fl_measure(request.text.c_str(), textW, textH, 0);
    const int margin = 20;
    const int iconW = stop ? 32 + 16 : 0;
    const int buttonW = 88, buttonH = 26;
    int w = std::max(margin + iconW + textW + margin, buttonW + 2 * margin);
    w = std::max(w, 200);
    int h = margin + std::max(textH, stop ? 32 : 0) + margin + buttonH + 14;
    Fl_Window box(w, h);
    box.copy_label(request.caption.c_str());
    if (stop)
        new StopIcon(margin, margin);
    new PlainText(margin + iconW, margin + (stop && textH < 32 ? (32 - textH) / 2 : 0), textW,
                  textH, request.text);
    auto* ok = new Fl_Return_Button((w - buttonW) / 2, h - buttonH - 14, buttonW, buttonH, "OK");
    ok->callback([](Fl_Widget* button, void*) { button->window()->hide(); });
    box.end();
    box.set_modal();
    box.position(impl_->screenX + (impl_->screenW - w) / 2,
                 impl_->screenY + (impl_->screenH - h) / 2);
    box.show();
    ok->take_focus();
    TakeKeyboardFocus(&box);
    while (box.shown())
        Fl::wait();
    return IDOK;
}

// The desktop's GTK chooser when GTK 2 is installed, FLTK's own otherwise. Both start
// where the last one ended, at first in the working directory, as on Windows.
std::optional<std::string> FltkHost::ShowFileDialog(const FileDialogRequest& request) {
    Impl& host = *impl_;
    std::optional<std::string> path;
    if (GtkFileDialogAvailable()) {
        unsigned long owner = host.window && host.window->shown() ? fl_xid(host.window.get()) : 0;
        path = RunGtkFileDialog(request, host.lastDirectory, owner);
    } else {
        path = host.RunFltkChooser(request);
    }
    if (path) {
        size_t slash = path->find_last_of('/');
        if (slash != std::string::npos)
            host.lastDirectory = path->substr(0, slash + 1);
    }
    return path;
}

} // namespace zod
