// The layout of the 24-bit BMP files this program writes, shared by the viewer's export
// and by tools that stream their rows to disk.
//
// All values little-endian, no gaps, no colour table:
//
//   offset  size  field
//   file header, 14 bytes
//   0       2     type               "BM"
//   2       4     file size          54 + image bytes
//   6       2     reserved           0
//   8       2     reserved           0
//   10      4     pixel offset       54
//   info header, 40 bytes
//   14      4     header size        40
//   18      4     width              signed
//   22      4     height             signed; positive: bottom row first
//   26      2     planes             1
//   28      2     bits per pixel     24
//   30      4     compression        0 (uncompressed)
//   34      4     image size         0 (allowed for uncompressed images)
//   38      4     x pixels per metre 0
//   42      4     y pixels per metre 0
//   46      4     colours used       0
//   50      4     important colours  0
//   pixel array
//   54      stride x height          rows of blue-green-red triples, each row padded to 4
#pragma once

#include <cstdint>

constexpr uint32_t kBitmapHeaderBytes = 54;

// Bytes in one row of a 24-bit pixel array: 3 x width, padded to a multiple of 4.
// 0 for a width of 0 or less.
uint64_t BitmapRowStride(int32_t width);

// Fills both headers for a width x height image (both 0 or more). False when the file's
// size does not fit its 32-bit field: such a file is refused, not written wrong.
bool FillBitmapHeader(int32_t width, int32_t height, uint8_t header[kBitmapHeaderBytes]);
