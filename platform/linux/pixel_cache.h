// Inside the subset, not part of its API: win32_subset.h includes this only so that
// SetPixel's common case is inlined into the caller.
#pragma once

#include "win32_subset.h"

#include <cstdint>

namespace zod {

// What SetPixel keeps of the context it drew on last. Images are drawn pixel by pixel, so
// drawing must cost little more than storing the pixel (see set_pixel.cpp).
struct PixelCache {
    HDC handle;
    uint32_t* clipStart; // the pixel at the clip box's top-left corner
    int64_t stride;
    int64_t left; // clip box in logical coordinates
    int64_t top;
    uint64_t width;
    uint64_t height;
};
extern PixelCache pixelCache;
COLORREF SetPixelUncached(HDC dc, int x, int y, COLORREF color);

} // namespace zod

inline COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF color) {
    const zod::PixelCache& cache = zod::pixelCache;
    // Left of or above the clip box wraps to a huge unsigned value.
    const uint64_t column = uint64_t(int64_t(x) - cache.left);
    const uint64_t row = uint64_t(int64_t(y) - cache.top);
    if (dc && dc == cache.handle && column < cache.width && row < cache.height) {
        color &= 0x00FFFFFF;
        cache.clipStart[int64_t(row) * cache.stride + int64_t(column)] = color;
        return color;
    }
    return zod::SetPixelUncached(dc, x, y, color);
}
