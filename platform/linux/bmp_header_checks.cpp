// What LoadImageA checks of a BMP file before it reads the file whole and hands it to
// gdk-pixbuf: that every size the headers give lies within the file and within what
// Windows accepts. The decoder trusts these fields, so a few hostile bytes could otherwise
// make it read gigabytes, allocate them, or spend seconds on pixels that are not there.
#include "common/little_endian.h"
#include "state.h"

using namespace zod;

namespace {

struct BmpLayout {
    uint64_t width = 0, rows = 0, bpp = 0, headerSize = 0;
    uint32_t compression = 0, sizeImage = 0, coloursUsed = 0;
};

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

// The fields of the two header forms: OS/2's 12-byte core header with 16-bit sizes, and
// the 40-byte header that V4 and V5 extend. Other header sizes are refused, as Windows does.
bool ReadLayout(const uint8_t* b, size_t bytes, uint64_t fileBytes, BmpLayout& l) {
    if (bytes < 26 || b[0] != 'B' || b[1] != 'M')
        return false;
    l.headerSize = ReadLe32(b + 14);
    if (14 + l.headerSize > fileBytes)
        return false;
    if (l.headerSize == 12) {
        l.width = ReadLe16(b + 18);
        l.rows = ReadLe16(b + 20);
        l.bpp = ReadLe16(b + 24);
        return true;
    }
    if (l.headerSize < 40 || bytes < 54)
        return false;
    const int32_t width = int32_t(ReadLe32(b + 18));
    const int32_t height = int32_t(ReadLe32(b + 22));
    l.width = width > 0 ? uint64_t(width) : 0;
    l.rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    l.bpp = ReadLe16(b + 28);
    l.compression = ReadLe32(b + 30);
    l.sizeImage = ReadLe32(b + 34);
    l.coloursUsed = ReadLe32(b + 46);
    return true;
}

// Where the palette (and a 40-byte header's masks) ends, which must lie within the file.
uint64_t ColourTableEnd(const BmpLayout& l) {
    const bool core = l.headerSize == 12;
    uint64_t entries = l.coloursUsed;
    if (entries == 0 && l.bpp <= 8)
        entries = uint64_t(1) << l.bpp;
    const uint64_t masks = l.headerSize == 40 && l.compression == kBitfields ? 12 : 0;
    return 14 + l.headerSize + masks + entries * (core ? 3 : 4);
}

// The most bytes RLE data for these pixels can sensibly take: a run of one pixel costs two
// bytes and a skip of one costs four, and each row ends with two. A longer stream is
// decoded only this far.
uint64_t RleBound(const BmpLayout& l) {
    return l.rows * (4 * l.width + 2) + 2;
}

} // namespace

namespace zod {

bool BmpHeadersAcceptable(const uint8_t* head, size_t headBytes, uint64_t fileBytes,
                          BmpSpans* described) {
    BmpLayout l;
    if (!ReadLayout(head, headBytes, fileBytes, l))
        return false;
    // Windows refuses bitmaps of 65536 or more pixels on a side.
    if (l.width == 0 || l.width > 65535 || l.rows == 0 || l.rows > 65535 ||
        l.width * l.rows > kMaxImagePixels || ColourTableEnd(l) > fileBytes)
        return false;
    BmpSpans spans{ColourTableEnd(l), ReadLe32(head + 10), 0, l.width * l.rows};
    bool ok = true;
    if (l.compression == kRle8 || l.compression == kRle4) {
        // The header gives the data's size. A few bytes of runs can cover any number of
        // pixels, and decoding costs both time and memory for each of them.
        ok = l.sizeImage > 0 && spans.pixelOffset + l.sizeImage <= fileBytes &&
             spans.pixels <= kMaxRlePixels;
        spans.pixelBytes = l.sizeImage < RleBound(l) ? l.sizeImage : RleBound(l);
    } else if (l.compression == kRgb || l.compression == kBitfields) {
        // gdk-pixbuf decodes a file whose pixel data stops short without complaint;
        // Windows refuses it, and so do we.
        spans.pixelBytes = (l.width * l.bpp + 31) / 32 * 4 * l.rows;
        ok = spans.pixelOffset + spans.pixelBytes <= fileBytes;
    } // else the decoder refuses what it does not know, from the headers alone
    if (ok && described)
        *described = spans;
    return ok;
}

} // namespace zod
