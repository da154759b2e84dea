// A real GDI drawing surface for the Windows tests: a memory device context holding a
// 32-bit DIB section whose pixels the test can read directly.
#pragma once

#include "platform/win32.h"

#include <cstdint>

namespace zod::test {

class GdiSurface {
  public:
    // Every pixel starts as `fill`, so stray and missing writes both show.
    GdiSurface(int width, int height, COLORREF fill);
    ~GdiSurface();
    GdiSurface(const GdiSurface&) = delete;
    GdiSurface& operator=(const GdiSurface&) = delete;

    HDC dc() const { return dc_; }
    bool ok() const { return bits_ != nullptr; }
    // The pixel as a COLORREF (red in the low byte).
    COLORREF At(int x, int y) const;

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

} // namespace zod::test
