// SetPixel's common case, inlined into the caller by win32_subset.h: what the subset keeps
// of the context SetPixel drew on last. It depends on nothing else of the subset.
#pragma once

#include <cstdint>

namespace zod {

// Images are drawn pixel by pixel, so drawing must cost little more than storing the
// pixel. The copy is dropped by ChangeDc, the only way to a context that can be changed,
// and by every removal of a handle (docs/decisions.md, 1).
struct PixelCache {
    const void* handle;
    uint32_t* clipStart; // the pixel at the clip box's top-left corner
    int64_t stride;
    int64_t left; // clip box in logical coordinates
    int64_t top;
    uint64_t width;
    uint64_t height;
};
extern PixelCache pixelCache;

// Stores `color` when `dc` is the kept context and (x, y) lies inside its clip box.
inline bool PutCachedPixel(const void* dc, int x, int y, uint32_t color) {
    const PixelCache& cache = pixelCache;
    // Left of or above the clip box wraps to a huge unsigned value.
    const uint64_t column = uint64_t(int64_t(x) - cache.left);
    const uint64_t row = uint64_t(int64_t(y) - cache.top);
    if (!dc || dc != cache.handle || column >= cache.width || row >= cache.height)
        return false;
    cache.clipStart[int64_t(row) * cache.stride + int64_t(column)] = color;
    return true;
}

} // namespace zod
