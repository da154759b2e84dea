#include "memory_surface.h"

namespace zod::test {

void FillDc(HDC dc, int width, int height, const std::function<COLORREF(int, int)>& colour) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(dc, x, y, colour(x, y));
}

MemorySurface::MemorySurface(int width, int height, COLORREF fill) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    FillDc(dc_, width, height, [fill](int, int) { return fill; });
}

MemorySurface::~MemorySurface() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

} // namespace zod::test
