// Writing uncompressed 24-bit BMP files.
#pragma once

#include "formats/core/bmp_layout.h"

#include <cstdint>

// Writes `pixels` (BitmapRowStride(width) x height bytes, bottom row first, blue-green-red)
// as a BMP file at `path`, replacing any file there in one step. A negative width or
// height writes an empty 0 x 0 image. Returns whether the whole file was written; on
// failure an existing file is left as it was.
bool WriteBitmapFile(const char* path, int32_t width, int32_t height, const void* pixels);
