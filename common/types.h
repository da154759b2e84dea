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
