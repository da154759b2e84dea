// Reading TVQ images and drawing them, amplified, onto a device context.
#pragma once

#include "common/types.h"
#include "platform/win32.h"

#include <cstdint>

// Draws the TVQ file at `path` onto `surface`, each five-bit channel multiplied by
// `factor` and clamped to 0..255, and returns the size that the file's header gives.
// Only the pixels inside the surface's clip box are set. A file that cannot be opened or
// is too short to hold a size gives (0, 0). The surface stays the caller's.
ImageExtent DrawTvqFile(const char* path, HDC surface, int32_t factor);
