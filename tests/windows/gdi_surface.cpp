#include "tests/windows/gdi_surface.h"

namespace zod::test {

GdiSurface::GdiSurface(int width, int height, COLORREF fill) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, so row y is at bits_ + y * width
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(NULL);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!dc_ || !bitmap_ || !bits)
        return;
    previous_ = SelectObject(dc_, bitmap_);
    bits_ = static_cast<uint32_t*>(bits);
    // DIB pixels are blue-green-red from the low byte: the reverse of a COLORREF.
    const uint32_t pixel = GetBValue(fill) | GetGValue(fill) << 8 | GetRValue(fill) << 16;
    for (int i = 0; i < width * height; ++i)
        bits_[i] = pixel;
}

GdiSurface::~GdiSurface() {
    if (previous_)
        SelectObject(dc_, previous_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
}

COLORREF GdiSurface::At(int x, int y) const {
    GdiFlush();
    const uint32_t pixel = bits_[y * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

} // namespace zod::test
