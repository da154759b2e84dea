#include "formats/core/bmp_layout.h"

#include "common/little_endian.h"

#include <cstring>

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

} // namespace

uint64_t BitmapRowStride(int32_t width) {
    if (width <= 0)
        return 0;
    return (3 * uint64_t(width) + 3) & ~uint64_t(3);
}

bool FillBitmapHeader(int32_t width, int32_t height, uint8_t header[kBitmapHeaderBytes]) {
    const uint64_t fileBytes =
        kBitmapHeaderBytes + BitmapRowStride(width) * uint64_t(height < 0 ? 0 : height);
    if (fileBytes > UINT32_MAX)
        return false;
    memset(header, 0, kBitmapHeaderBytes);
    header[0] = 'B';
    header[1] = 'M';
    WriteLe32(header + 2, uint32_t(fileBytes));
    WriteLe32(header + 10, kBitmapHeaderBytes);
    uint8_t* info = header + kFileHeaderBytes;
    WriteLe32(info + 0, kInfoHeaderBytes);
    WriteLe32(info + 4, uint32_t(width));
    WriteLe32(info + 8, uint32_t(height));
    WriteLe16(info + 12, 1);
    WriteLe16(info + 14, 24);
    return true;
}
