// The virtual screen that the subset draws into and a host shows: its pixels, for the host
// and for tests that read back what the program drew.
#pragma once

#include "win32_subset.h"

#include <cstdint>

namespace zod {

// COLORREF pixels, top row first.
int ScreenWidth();
int ScreenHeight();
const uint32_t* ScreenPixels();
COLORREF ScreenPixel(int x, int y);
// The bounding box of every pixel drawn since the screen was made: outside it the screen is
// black, so a host may fill the rest rather than copy it.
RECT ScreenDrawnArea();

} // namespace zod
