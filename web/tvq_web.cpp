// The page's way into formats/core/. The worker mounts the chosen file, and these calls
// read it with the reader zod-tvq uses, a band of rows at a time: RGBA for the canvas, and
// the rows of the BMP file `zod-tvq convert` writes. Encoding takes RGBA rows as the
// browser decoded them and gives the words `zod-tvq encode` writes.
//
// One file is open at a time, and each call's result lives in a buffer of this file until
// the next call: the worker copies it out at once.
#include "common/little_endian.h"
#include "common/types.h"
#include "formats/core/bmp_layout.h"
#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_file.h"
#include "formats/core/tvq_encode.h"
#include "formats/core/tvq_levels.h"
#include "formats/core/tvq_plausible.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/stat.h>

namespace {

constexpr uint32_t kOpaque = 0xFF000000u; // a palette colour's fourth byte is alpha in RGBA order

TvqFile g_file{};
ImageExtent g_extent{0, 0};
char g_refusal[kTvqVerdictTextCapacity];

TvqPalette g_palette;
int32_t g_paletteFactor = 0;
TvqTripleTable* g_bgrTable = nullptr; // 256 KiB, made when a BMP is first asked for
int32_t g_bgrFactor = 0;
TvqEncodeTable g_encodeTable{};
uint8_t g_header[kBitmapHeaderBytes > kTvqHeaderBytes ? kBitmapHeaderBytes : kTvqHeaderBytes];

// Two buffers that grow to the largest band asked for: one the worker fills, one it reads.
struct Buffer {
    uint8_t* bytes = nullptr;
    size_t size = 0;
};
Buffer g_in, g_out;

uint8_t* Reserve(Buffer& buffer, size_t bytes) {
    if (bytes <= buffer.size)
        return buffer.bytes;
    free(buffer.bytes);
    buffer.bytes = static_cast<uint8_t*>(malloc(bytes));
    buffer.size = buffer.bytes ? bytes : 0;
    return buffer.bytes;
}

const TvqPalette& PaletteFor(int32_t factor) {
    if (g_paletteFactor != factor) {
        MakeTvqPalette(factor, &g_palette);
        g_paletteFactor = factor;
    }
    return g_palette;
}

// Rows count a band of at most the image, as the worker asks for them.
bool BandInImage(int32_t first, int32_t count) {
    return g_file.block && first >= 0 && count > 0 && count <= g_extent.height - first;
}

// A BMP band's rows, made top first, go out bottom first.
void BottomFirst(uint8_t* rows, size_t stride, int32_t count) {
    for (int32_t top = 0, bottom = count - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(rows + size_t(top) * stride, rows + size_t(top + 1) * stride,
                         rows + size_t(bottom) * stride);
}

} // namespace

extern "C" {

// --- the Levels -----------------------------------------------------------------------------
EMSCRIPTEN_KEEPALIVE int zod_level_count() {
    return kTvqLevelCount;
}

EMSCRIPTEN_KEEPALIVE int zod_level_factor(int level) {
    return TvqLevelFactor(level);
}

EMSCRIPTEN_KEEPALIVE int zod_default_level() {
    return TvqLevelOfFactor(kDefaultAmplificationFactor);
}

// --- reading a TVQ file ---------------------------------------------------------------------
// Closes the open file, then looks at `path` as `zod-tvq info` does: the verdict, with its
// words in zod_refusal() (empty when plausible) and the size in zod_width()/zod_height().
// A plausible file is then opened for zod_rgba_rows and zod_bmp_rows. -1 when the file
// cannot be read at all.
EMSCRIPTEN_KEEPALIVE int zod_open(const char* path) {
    CloseTvqFile(&g_file);
    g_extent = {0, 0};
    g_refusal[0] = '\0';
    struct stat status;
    FILE* file = stat(path, &status) == 0 ? fopen(path, "rb") : nullptr;
    if (!file)
        return -1;
    uint8_t start[kTvqSizeFieldsBytes] = {};
    const size_t count = fread(start, 1, sizeof start, file);
    const bool failed = ferror(file);
    fclose(file);
    if (failed)
        return -1;
    const uint64_t bytes = uint64_t(status.st_size);
    if (count == sizeof start)
        g_extent = TvqExtentFromHeader(start);
    const TvqVerdict verdict = TvqCheckStart(start, bytes);
    TvqVerdictText(verdict, start, bytes, kTvqMaxPixels, g_refusal, sizeof g_refusal);
    if (verdict == TVQ_PLAUSIBLE && !OpenTvqFile(path, &g_file))
        return -1;
    return verdict;
}

EMSCRIPTEN_KEEPALIVE const char* zod_refusal() {
    return g_refusal;
}

EMSCRIPTEN_KEEPALIVE int zod_width() {
    return g_extent.width;
}

EMSCRIPTEN_KEEPALIVE int zod_height() {
    return g_extent.height;
}

EMSCRIPTEN_KEEPALIVE void zod_close() {
    CloseTvqFile(&g_file);
}

// Rows first .. first + count - 1 of the open file at `factor`, as the RGBA bytes of a
// canvas's ImageData; null when memory runs out or the file could not be read to its end.
EMSCRIPTEN_KEEPALIVE uint8_t* zod_rgba_rows(int32_t first, int32_t count, int32_t factor) {
    if (!BandInImage(first, count))
        return nullptr;
    const uint64_t width = uint64_t(g_extent.width);
    uint8_t* out = Reserve(g_out, size_t(width) * size_t(count) * 4);
    if (!out)
        return nullptr;
    const TvqPalette& palette = PaletteFor(factor);
    const uint32_t pastEnd = TvqWordColour(palette, g_file.pastEndWord) | kOpaque;
    const uint64_t end = (uint64_t(first) + uint64_t(count)) * width;
    for (int32_t y = first; y < first + count; ++y) {
        const uint64_t rowFirst = uint64_t(y) * width;
        const uint64_t held = TvqWordsHeld(rowFirst, width, g_file.wordCount);
        const uint8_t* words = held ? TvqWords(&g_file, rowFirst, held, end - rowFirst) : nullptr;
        uint8_t* row = out + size_t(y - first) * size_t(width) * 4;
        TvqFillRun(
            held, width,
            [&palette, words](uint64_t i) {
                return TvqWordColour(palette, ReadLe16(words + 2 * i)) | kOpaque;
            },
            pastEnd, [row](uint64_t i, uint32_t colour) { memcpy(row + 4 * i, &colour, 4); });
    }
    return g_file.readFailed ? nullptr : out;
}

// --- BMP files --------------------------------------------------------------------------------
// The 54 header bytes of a BMP file of width x height; null when it is too large for one.
EMSCRIPTEN_KEEPALIVE uint8_t* zod_bmp_header(int32_t width, int32_t height) {
    return FillBitmapHeader(width, height, g_header) ? g_header : nullptr;
}

EMSCRIPTEN_KEEPALIVE double zod_bmp_stride(int32_t width) {
    return double(BitmapRowStride(width));
}

// Rows first .. first + count - 1 of the open file as a BMP file holds them at `factor`:
// padded blue-green-red rows, the band's bottom row first, as zod-tvq convert writes
// them. Null as for zod_rgba_rows.
EMSCRIPTEN_KEEPALIVE uint8_t* zod_bmp_rows(int32_t first, int32_t count, int32_t factor) {
    if (!BandInImage(first, count))
        return nullptr;
    const size_t stride = size_t(BitmapRowStride(g_extent.width));
    uint8_t* out = Reserve(g_out, stride * size_t(count));
    if (!g_bgrTable)
        g_bgrTable = new (std::nothrow) TvqTripleTable;
    if (!out || !g_bgrTable)
        return nullptr;
    if (g_bgrFactor != factor) {
        MakeTvqTripleTable(factor, TVQ_BLUE_FIRST, g_bgrTable);
        g_bgrFactor = factor;
    }
    TvqRowsToTriples(&g_file, *g_bgrTable, first, count, out, stride);
    const size_t pixels = 3 * size_t(g_extent.width);
    for (int32_t row = 0; row < count; ++row)
        memset(out + size_t(row) * stride + pixels, 0, stride - pixels);
    BottomFirst(out, stride, count);
    return g_file.readFailed ? nullptr : out;
}

// The input buffer, `bytes` long, for the worker to copy a band of RGBA rows into.
EMSCRIPTEN_KEEPALIVE uint8_t* zod_input(double bytes) {
    return Reserve(g_in, size_t(bytes));
}

// The input buffer's `count` RGBA rows of `width` pixels (a picture the browser decoded) as
// a BMP file holds them, bottom row first. They come over black, as the view shows them,
// so their alpha is left out.
EMSCRIPTEN_KEEPALIVE uint8_t* zod_bmp_rows_from_rgba(int32_t width, int32_t count) {
    const size_t stride = size_t(BitmapRowStride(width));
    uint8_t* out = Reserve(g_out, stride * size_t(count));
    if (!out || !g_in.bytes)
        return nullptr;
    for (int32_t row = 0; row < count; ++row) {
        const uint8_t* in = g_in.bytes + size_t(row) * size_t(width) * 4;
        uint8_t* to = out + size_t(row) * stride;
        for (int32_t x = 0; x < width; ++x, in += 4, to += 3) {
            to[0] = in[2];
            to[1] = in[1];
            to[2] = in[0];
        }
        memset(to, 0, stride - 3 * size_t(width));
    }
    BottomFirst(out, stride, count);
    return out;
}

// --- encoding -------------------------------------------------------------------------------
// Why zod-tvq encode would refuse a picture of width x height, empty when it would not: a
// side longer than a TVQ header holds, or more pixels than its default limit.
EMSCRIPTEN_KEEPALIVE const char* zod_encode_refusal(int32_t width, int32_t height) {
    TvqPictureText(uint64_t(width), uint64_t(height), kTvqMaxPixels, g_refusal, sizeof g_refusal);
    return g_refusal;
}

// The 32 header bytes of a TVQ file of width x height, both 1 .. kTvqMaxSide.
EMSCRIPTEN_KEEPALIVE uint8_t* zod_tvq_header(int32_t width, int32_t height) {
    TvqWriteHeader({width, height}, g_header);
    return g_header;
}

// The input buffer's `pixels` RGBA pixels (not premultiplied) as the words zod-tvq encode
// writes at `factor`, alpha composited over black as it does.
EMSCRIPTEN_KEEPALIVE uint8_t* zod_tvq_words(double pixels, int32_t factor) {
    uint8_t* out = Reserve(g_out, size_t(pixels) * 2);
    if (!out || !g_in.bytes)
        return nullptr;
    if (g_encodeTable.factor != factor)
        MakeTvqEncodeTable(factor, &g_encodeTable);
    TvqPixelsToWords(g_encodeTable, g_in.bytes, 4, size_t(pixels), out);
    return out;
}

} // extern "C"
