// The start-up floor for bench/user_level.sh: a trivial FLTK program that maps a borderless
// window filling the screen and draws it in one colour, as the viewer does with its intro.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>

int main() {
    Fl::visual(FL_RGB);
    int x, y, w, h;
    Fl::screen_xywh(x, y, w, h, 0);
    Fl_Window window(x, y, w, h, "floor");
    window.border(0);
    Fl_Box box(FL_FLAT_BOX, 0, 0, w, h, nullptr);
    box.color(fl_rgb_color(40, 90, 160));
    window.end();
    window.show();
    return Fl::run();
}
