#include "fltk_parts.h"

#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdint>

namespace zod {

void ScreenView::draw() {
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

void ScreenView::Invalidate(const RECT& rect) {
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    damage(FL_DAMAGE_USER1, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

} // namespace zod
