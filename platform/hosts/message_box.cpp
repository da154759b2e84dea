#include "fltk_parts.h"

#include <FL/Fl.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace zod {

namespace {

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

} // namespace

int RunMessageBox(const MessageBoxRequest& request, const DialogPlace& place) {
    const bool stop = (request.type & MB_ICONMASK) == MB_ICONHAND;
    fl_font(FL_HELVETICA, 14);
    int textW = 0, textH = 0;
    fl_measure(request.text.c_str(), textW, textH, 0);
    const int margin = 20;
    const int iconW = stop ? 32 + 16 : 0;
    const int buttonW = 88, buttonH = 26;
    int boxW = std::max(margin + iconW + textW + margin, buttonW + 2 * margin);
    boxW = std::max(boxW, 200);
    int boxH = margin + std::max(textH, stop ? 32 : 0) + margin + buttonH + 14;
    Fl_Window box(boxW, boxH);
    box.copy_label(request.caption.c_str());
    if (stop)
        new StopIcon(margin, margin);
    new PlainText(margin + iconW, margin + (stop && textH < 32 ? (32 - textH) / 2 : 0), textW,
                  textH, request.text);
    auto* ok =
        new Fl_Return_Button((boxW - buttonW) / 2, boxH - buttonH - 14, buttonW, buttonH, "OK");
    ok->callback([](Fl_Widget* button, void*) { button->window()->hide(); });
    box.end();
    box.set_modal();
    box.position(place.x + (place.w - boxW) / 2, place.y + (place.h - boxH) / 2);
    ShowAsDialog(&box, place.owner);
    ok->take_focus();
    TakeKeyboardFocus(&box);
    while (box.shown())
        Fl::wait();
    return IDOK;
}

} // namespace zod
