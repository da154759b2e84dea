#include "formats/bmp_writer.h"

#include "files/replace_file.h"

bool WriteBitmapFile(const char* path, int32_t width, int32_t height, const void* pixels) {
    if (width < 0 || height < 0)
        width = height = 0; // nothing sensible to store: an empty image
    const uint64_t imageBytes = BitmapRowStride(width) * uint64_t(height);
    uint8_t header[kBitmapHeaderBytes];
    if (!FillBitmapHeader(width, height, header) || (imageBytes > 0 && !pixels))
        return false;
    // The file header, the info header and the pixels, one piece each.
    const FilePiece pieces[] = {
        {header, 14},
        {header + 14, kBitmapHeaderBytes - 14},
        {pixels, size_t(imageBytes)},
    };
    return ReplaceFileContents(path, pieces, 3);
}
