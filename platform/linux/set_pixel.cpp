// SetPixel's out-of-line paths and GetPixel. The common case is inlined (pixel_cache.h).
#include "state.h"

#include <algorithm>

namespace zod {

namespace {

// Out of line, so that the common path of SetPixel saves no registers.
[[gnu::noinline]] COLORREF LookUpAndSetPixel(HDC dc, int x, int y, COLORREF color) {
    DcObject* context = ChangeDc(dc);
    if (!context)
        return CLR_INVALID;
    // SetPixel nearly always draws on the context of its previous call, so keep what it
    // needs of this one, until the context changes (ChangeDc) or a handle goes.
    if (!MakeSurfaceWritable(*context))
        return CLR_INVALID;
    const RECT& clip = context->clip; // always inside the surface
    // A context on the screen reports its whole clip box as drawn, once: recording each
    // pixel would cost more than drawing it. Flushing the context changes it, so that
    // drawing on after a flush records the box again.
    MarkDrawn(*context, clip);
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
    color &= 0x00FFFFFF;
    return PutCachedPixel(dc, x, y, color) ? color : CLR_INVALID;
}

} // namespace

PixelCache pixelCache = {};

void ForgetPixelDc() {
    pixelCache = PixelCache{};
}

} // namespace zod

using namespace zod;

COLORREF zod::SetPixelUncached(HDC dc, int x, int y, COLORREF color) {
    // The kept context: the pixel lies outside its clip box.
    if (dc && dc == pixelCache.handle)
        return CLR_INVALID;
    return LookUpAndSetPixel(dc, x, y, color);
}

COLORREF WINAPI GetPixel(HDC dc, int x, int y) {
    const DcObject* context = FindDc(dc);
    if (!context)
        return CLR_INVALID;
    long sx = long(x) + context->origin.x;
    long sy = long(y) + context->origin.y;
    const RECT& clip = context->clip;
    if (sx < clip.left || sx >= clip.right || sy < clip.top || sy >= clip.bottom)
        return CLR_INVALID;
    return context->surface.pixels[size_t(sy) * size_t(context->surface.width) + size_t(sx)];
}
