// Windows and device contexts that several test programs set up the same way.
#pragma once

#include "platform/win32.h"
#include "tests/support/memory_surface.h"

#include <functional>
#include <vector>

namespace zod::test {

// A rectangle as a vector, so that gtest prints it when it differs.
std::vector<LONG> Box(const RECT& r);

// A window of a class registered here with DefWindowProcA as its procedure.
HWND PlainWindow(DWORD style, int x, int y, int width, int height, const char* menu = nullptr,
                 HBRUSH background = nullptr);

// Every screen pixel as `want` says, or a failure naming the first that is not.
void ExpectScreen(int width, int height, const std::function<COLORREF(int, int)>& want);

} // namespace zod::test
