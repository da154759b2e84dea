// SetPixel's out-of-line paths and GetPixel. The common case is inlined (pixel_cache.h).
#include "state.h"

#include <algorithm>

namespace zod {

namespace {

inline COLORREF PutPixel(int x, int y, COLORREF color) {
    const PixelCache& cache = pixelCache;
    // One unsigned comparison per axis: left of or above the clip box wraps to a huge value.
    const uint64_t column = uint64_t(int64_t(x) - cache.left);
    const uint64_t row = uint64_t(int64_t(y) - cache.top);
    if (column >= cache.width || row >= cache.height)
        return CLR_INVALID;
    color &= 0x00FFFFFF;
    cache.clipStart[int64_t(row) * cache.stride + int64_t(column)] = color;
    return color;
}

// Out of line, so that the common path of SetPixel saves no registers.
[[gnu::noinline]] COLORREF LookUpAndSetPixel(HDC dc, int x, int y, COLORREF color) {
    DcObject* context = FindDc(dc);
    if (!context)
        return CLR_INVALID;
    // SetPixel nearly always draws on the context of its previous call, so keep what it
    // needs of this one. Forgotten whenever a handle is removed and whenever a context
    // changes its surface (SelectObject).
    if (!MakeSurfaceWritable(*context))
        return CLR_INVALID;
    const RECT& clip = context->clip; // always inside the surface
    PixelCache& cache = pixelCache;
    cache = PixelCache{};
    cache.handle = dc;
    cache.stride = context->surface.width;
    cache.left = int64_t(clip.left) - context->origin.x;
    cache.top = int64_t(clip.top) - context->origin.y;
    if (!IsEmpty(clip)) {
        cache.width = uint64_t(int64_t(clip.right) - clip.left);
        cache.height = uint64_t(int64_t(clip.bottom) - clip.top);
        cache.clipStart =
            context->surface.pixels + size_t(clip.top) * size_t(cache.stride) + size_t(clip.left);
    }
    // A context on the screen reports its whole clip box as drawn, once: recording each
    // pixel would cost more than drawing it. Flushing the context forgets it here, so that
    // drawing on after a flush records the box again.
    MarkDrawn(*context, clip);
    return PutPixel(x, y, color);
}

} // namespace

PixelCache pixelCache = {};

void ForgetPixelDc() {
    pixelCache = PixelCache{};
}

} // namespace zod

using namespace zod;

COLORREF zod::SetPixelUncached(HDC dc, int x, int y, COLORREF color) {
    if (dc && dc == pixelCache.handle)
        return PutPixel(x, y, color);
    return LookUpAndSetPixel(dc, x, y, color);
}

COLORREF WINAPI GetPixel(HDC dc, int x, int y) {
    DcObject* context = FindDc(dc);
    if (!context)
        return CLR_INVALID;
    long sx = long(x) + context->origin.x;
    long sy = long(y) + context->origin.y;
    const RECT& clip = context->clip;
    if (sx < clip.left || sx >= clip.right || sy < clip.top || sy >= clip.bottom)
        return CLR_INVALID;
    return context->surface.pixels[size_t(sy) * size_t(context->surface.width) + size_t(sx)];
}
