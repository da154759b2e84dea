#include "gdi_helpers.h"

#include "platform/linux/screen.h"

#include <gtest/gtest.h>

#include <string>

namespace zod::test {

std::vector<LONG> Box(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

namespace {
LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
} // namespace

HWND PlainWindow(DWORD style, int x, int y, int width, int height, const char* menu,
                 HBRUSH background) {
    WNDCLASSA c{};
    c.lpfnWndProc = PlainProc;
    c.hbrBackground = background;
    c.lpszMenuName = menu;
    // Registered once per host: the name tells the variants apart.
    const std::string name = std::string("ZodPlain") + (menu ? "M" : "") + (background ? "B" : "");
    c.lpszClassName = name.c_str();
    RegisterClassA(&c);
    return CreateWindowExA(0, c.lpszClassName, "", style, x, y, width, height, nullptr, nullptr,
                           nullptr, nullptr);
}

void ExpectScreen(int width, int height, const std::function<COLORREF(int, int)>& want) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(ScreenPixel(x, y), want(x, y)) << x << "," << y;
}

} // namespace zod::test
