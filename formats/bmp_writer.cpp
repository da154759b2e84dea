// BMP files as written here (all values little-endian, no gaps, no colour table):
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
#include "formats/bmp_writer.h"

#include "common/atomic_file.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kPixelsOffset = kFileHeaderBytes + kInfoHeaderBytes;

void Put16(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

void Put32(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

} // namespace

uint64_t BitmapRowStride(int32_t width) {
    if (width <= 0)
        return 0;
    return (3 * uint64_t(width) + 3) & ~uint64_t(3);
}

bool WriteBitmapFile(const char* path, int32_t width, int32_t height, const void* pixels) {
    if (width < 0 || height < 0)
        width = height = 0; // nothing sensible to store: an empty image
    const uint64_t imageBytes = BitmapRowStride(width) * uint64_t(height);
    const uint64_t fileBytes = kPixelsOffset + imageBytes;
    // The size field is 32 bits; a file it cannot describe is refused, not written wrong.
    if (fileBytes > UINT32_MAX || (imageBytes > 0 && !pixels))
        return false;

    uint8_t fileHeader[kFileHeaderBytes];
    fileHeader[0] = 'B';
    fileHeader[1] = 'M';
    Put32(fileHeader + 2, uint32_t(fileBytes));
    Put16(fileHeader + 6, 0);
    Put16(fileHeader + 8, 0);
    Put32(fileHeader + 10, kPixelsOffset);

    uint8_t infoHeader[kInfoHeaderBytes];
    Put32(infoHeader + 0, kInfoHeaderBytes);
    Put32(infoHeader + 4, uint32_t(width));
    Put32(infoHeader + 8, uint32_t(height));
    Put16(infoHeader + 12, 1);
    Put16(infoHeader + 14, 24);
    Put32(infoHeader + 16, 0);
    Put32(infoHeader + 20, 0);
    Put32(infoHeader + 24, 0);
    Put32(infoHeader + 28, 0);
    Put32(infoHeader + 32, 0);
    Put32(infoHeader + 36, 0);

    const FilePiece pieces[] = {
        {fileHeader, sizeof fileHeader},
        {infoHeader, sizeof infoHeader},
        {pixels, size_t(imageBytes)},
    };
    return ReplaceFileContents(path, pieces, 3);
}
