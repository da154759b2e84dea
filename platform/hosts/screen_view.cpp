#include "fltk_parts.h"

#include <FL/fl_draw.H>
#include <FL/x.H>

#include <X11/extensions/XShm.h>

#include <algorithm>
#include <cstdint>
#include <sys/shm.h>
#include <vector>

namespace zod {

namespace {

// On the usual 24-bit true-colour visual the pixels are converted once and handed to the
// server whole: through shared memory where the server is on this machine, else in one
// XPutImage. fl_draw_image sends them in many small pieces, which on a busy machine costs
// several times as much.
bool IsPlain24BitVisual() {
    const Visual* visual = fl_visual ? fl_visual->visual : nullptr;
    return visual && fl_visual->depth == 24 && visual->red_mask == 0xFF0000 &&
           visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
}

bool attachFailed = false;
int NoteAttachFailure(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}

// A shared-memory image as large as the screen, made at the first draw; null when the
// server cannot share memory with us. The segment is marked for removal once attached, so
// it goes when the program ends, however it ends.
XImage* SharedImage(int width, int height) {
    static XShmSegmentInfo segment{};
    static XImage* image = nullptr;
    static bool tried = false;
    if (tried)
        return image;
    tried = true;
    if (!XShmQueryExtension(fl_display))
        return nullptr;
    XImage* made = XShmCreateImage(fl_display, fl_visual->visual, 24, ZPixmap, nullptr, &segment,
                                   unsigned(width), unsigned(height));
    if (!made)
        return nullptr;
    segment.shmid =
        shmget(IPC_PRIVATE, size_t(made->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
    segment.shmaddr =
        segment.shmid < 0 ? nullptr : static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    if (segment.shmaddr && segment.shmaddr != reinterpret_cast<char*>(-1)) {
        made->data = segment.shmaddr;
        segment.readOnly = True;
        XSync(fl_display, False);
        auto previous = XSetErrorHandler(NoteAttachFailure);
        XShmAttach(fl_display, &segment);
        XSync(fl_display, False); // a server elsewhere refuses it here
        XSetErrorHandler(previous);
        if (!attachFailed && made->bits_per_pixel == 32)
            image = made;
    }
    if (segment.shmid >= 0)
        shmctl(segment.shmid, IPC_RMID, nullptr);
    if (!image) {
        if (segment.shmaddr && segment.shmaddr != reinterpret_cast<char*>(-1))
            shmdt(segment.shmaddr);
        made->data = nullptr;
        XDestroyImage(made);
    }
    return image;
}

// COLORREF 0x00BBGGRR to the visual's 0x00RRGGBB, `w` x `h` pixels.
void Convert(const uint32_t* in, int stride, int w, int h, uint32_t* out, int outStride) {
    for (int row = 0; row < h; ++row, in += stride, out += outStride)
        for (int i = 0; i < w; ++i)
            out[i] = (in[i] & 0xFF) << 16 | (in[i] & 0xFF00) | (in[i] >> 16 & 0xFF);
}

bool PutPixels(const uint32_t* first, int stride, int x, int y, int w, int h) {
    if (!IsPlain24BitVisual())
        return false;
    if (XImage* shared = SharedImage(ScreenWidth(), ScreenHeight())) {
        Convert(first, stride, w, h, reinterpret_cast<uint32_t*>(shared->data),
                shared->bytes_per_line / 4);
        XShmPutImage(fl_display, fl_window, fl_gc, shared, 0, 0, x, y, unsigned(w), unsigned(h),
                     False);
        XSync(fl_display, False); // the server has read the memory: it may be reused
        return true;
    }
    static std::vector<uint32_t> converted;
    try {
        converted.resize(size_t(w) * size_t(h));
    } catch (...) {
        return false;
    }
    Convert(first, stride, w, h, converted.data(), w);
    XImage* image = XCreateImage(fl_display, fl_visual->visual, 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(converted.data()), unsigned(w),
                                 unsigned(h), 32, w * 4);
    if (!image)
        return false;
    XPutImage(fl_display, fl_window, fl_gc, image, 0, 0, x, y, unsigned(w), unsigned(h));
    image->data = nullptr; // ours, not Xlib's to free
    XDestroyImage(image);
    return true;
}

} // namespace

void ScreenView::draw() {
    int cx, cy, cw, ch;
    fl_clip_box(x(), y(), w(), h(), cx, cy, cw, ch);
    const RECT clip{cx, cy, cx + cw, cy + ch};
    // Copy only what has been drawn on; the rest of the screen is black, which the server
    // fills without our sending it (the whole view at start-up, but for the intro).
    const RECT drawn = ScreenDrawnArea();
    const RECT put{std::max(clip.left, drawn.left), std::max(clip.top, drawn.top),
                   std::min(clip.right, drawn.right), std::min(clip.bottom, drawn.bottom)};
    fl_color(FL_BLACK);
    if (put.right <= put.left || put.bottom <= put.top) {
        fl_rectf(cx, cy, cw, ch);
        return;
    }
    fl_rectf(cx, cy, cw, put.top - cy);
    fl_rectf(cx, put.bottom, cw, clip.bottom - put.bottom);
    fl_rectf(cx, put.top, put.left - cx, put.bottom - put.top);
    fl_rectf(put.right, put.top, clip.right - put.right, put.bottom - put.top);
    // The drawn area lies inside the screen.
    const uint32_t* first =
        ScreenPixels() + size_t(put.top) * size_t(ScreenWidth()) + size_t(put.left);
    const int width = put.right - put.left, height = put.bottom - put.top;
    // COLORREF 0x00BBGGRR is R, G, B, 0 in memory: FLTK reads it directly as 4-byte pixels.
    if (!PutPixels(first, ScreenWidth(), put.left, put.top, width, height))
        fl_draw_image(reinterpret_cast<const uchar*>(first), put.left, put.top, width, height, 4,
                      ScreenWidth() * 4);
    XFlush(fl_display); // on screen now, not after the rest of the window has been drawn
}

void ScreenView::Invalidate(const RECT& rect) {
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    damage(FL_DAMAGE_USER1, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

} // namespace zod
