// Drawing targets that the Linux and the Windows tests set up the same way.
#pragma once

#include "platform/win32.h"

#include <functional>

namespace zod::test {

void FillDc(HDC dc, int width, int height, const std::function<COLORREF(int, int)>& colour);

// A memory context with a bitmap of its own, every pixel set to `fill`.
class MemorySurface {
  public:
    MemorySurface(int width, int height, COLORREF fill);
    ~MemorySurface();
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;
    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

} // namespace zod::test
