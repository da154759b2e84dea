// Windows and device contexts that several test programs set up the same way.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <vector>

namespace zod::test {

// A rectangle as a vector, so that gtest prints it when it differs.
std::vector<LONG> Box(const RECT& r);

// A window of a class registered here with DefWindowProcA as its procedure.
HWND PlainWindow(DWORD style, int x, int y, int width, int height, const char* menu = nullptr,
                 HBRUSH background = nullptr);

void FillDc(HDC dc, int width, int height, const std::function<COLORREF(int, int)>& colour);

// Every screen pixel as `want` says, or a failure naming the first that is not.
void ExpectScreen(int width, int height, const std::function<COLORREF(int, int)>& want);

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
