// Plain values shared by the program and by tools that have no window.
#pragma once

#include <cstdint>

// Which image the window shows.
enum ViewMode : int32_t {
    VIEW_BITMAP = 901,
    VIEW_TVQ = 902,
    VIEW_INTRO = 999,
};

// An image size in pixels, signed as it comes from a file header.
struct ImageExtent {
    int32_t width;
    int32_t height;
};

// File name buffers hold at most 254 characters and their NUL.
constexpr int kPathCapacity = 255;
constexpr int32_t kDefaultAmplificationFactor = 3;

// The largest image anything here holds: 2^28 pixels, 1 GiB at four bytes each, more than
// a 32-bit process can allocate at once.
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 28;

// Rows of the main window taken by its menu bar on the Linux program, and where the export
// expects the drawing area to start when the window system cannot say.
constexpr int kMenuBarRows = 18;
