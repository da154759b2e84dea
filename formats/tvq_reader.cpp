// TVQ files, as far as this reader uses them (all values little-endian):
//
//   offset  size   field
//   0       4      -        not used
//   4       2      width    signed 16-bit, pixels per row
//   6       2      -        not used
//   8       2      height   signed 16-bit, rows
//   10      22     -        not used
//   32      2 * n  pixels   one word per pixel, top row first, left to right, no row padding
//
//   pixel word:  bits 15..11 red | 10..6 green | 5 unused | 4..0 blue
//
// Each channel is multiplied by the amplification factor and clamped to 0..255.
// Files are often shorter than their header claims. Every pixel past the end takes the
// colour of the file's last word, and a lone last byte is a word whose high byte is 0,
// so any pixel's colour is known without reading the words before it. That lets a paint
// read and set only what the surface can show.
#include "formats/tvq_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr uint64_t kPixelsOffset = 32;
constexpr size_t kSizeFieldsBytes = 10; // a file must reach the height field
constexpr uint64_t kBlockWords = 128 * 1024;
// Read whole rows ahead when the words skipped between visible parts are this few bytes;
// farther apart, one read per row costs less than reading what is never shown.
constexpr uint64_t kMaxSkippedBytes = 16 * 1024;

static_assert(kBlockWords >= 32767, "a block must hold the visible part of any row");

int32_t ReadSigned16(const uint8_t* p) {
    int32_t value = p[0] | p[1] << 8;
    return value >= 0x8000 ? value - 0x10000 : value;
}

uint16_t ReadWord(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// Colours for one factor: red and green together by the word's top ten bits (bit 5 is not
// part of them), blue by its low five. Two look-ups per pixel.
struct ChannelTables {
    COLORREF redGreen[1024];
    COLORREF blue[32];
};

void MakeChannelTables(int32_t factor, ChannelTables& tables) {
    COLORREF level[32];
    for (int c = 0; c < 32; ++c) {
        int64_t amplified = int64_t(c) * factor;
        level[c] = COLORREF(amplified < 0 ? 0 : amplified > 255 ? 255 : amplified);
        tables.blue[c] = level[c] << 16;
    }
    for (int i = 0; i < 1024; ++i)
        tables.redGreen[i] = level[i >> 5] | level[i & 31] << 8;
}

COLORREF WordColour(const ChannelTables& tables, uint16_t word) {
    return tables.redGreen[word >> 6] | tables.blue[word & 31];
}

// Every position the reader needs fits in a long, even a 32-bit one: the last word of the
// largest image ends at 32 + 2 x 32767 x 32767, below 2^31.
bool SeekTo(FILE* file, uint64_t offset) {
    return fseek(file, long(offset), SEEK_SET) == 0;
}

// How many bytes of pixel words the file holds, up to `wanted`. A file holding all of
// them is not measured, so a huge file's length never has to fit in a long.
bool StoredPixelBytes(FILE* file, uint64_t wanted, uint64_t& bytes) {
    bytes = 0;
    if (wanted == 0)
        return true;
    if (SeekTo(file, kPixelsOffset + wanted - 1) && fgetc(file) != EOF) {
        bytes = wanted;
        return true;
    }
    long end = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    if (end < 0)
        return false;
    bytes = uint64_t(end) > kPixelsOffset ? uint64_t(end) - kPixelsOffset : 0;
    return true;
}

// Everything about sizes is settled here; drawing only follows the plan.
struct DrawingPlan {
    int32_t width;
    int32_t left, top, right, bottom; // the visible part of the image, image coordinates
    uint64_t wordCount; // words the file holds (a lone byte counts), at most width x height
};

bool PlanDrawing(ImageExtent extent, uint64_t pixelBytes, HDC surface, DrawingPlan& plan) {
    if (extent.width <= 0 || extent.height <= 0 || pixelBytes == 0)
        return false;
    RECT clip;
    int region = GetClipBox(surface, &clip);
    if (region == ERROR || region == NULLREGION)
        return false;
    const uint64_t pixels = uint64_t(extent.width) * uint64_t(extent.height);
    const uint64_t stored = (pixelBytes + 1) / 2;
    plan.width = extent.width;
    plan.left = clip.left > 0 ? clip.left : 0;
    plan.top = clip.top > 0 ? clip.top : 0;
    plan.right = clip.right < extent.width ? clip.right : extent.width;
    plan.bottom = clip.bottom < extent.height ? clip.bottom : extent.height;
    plan.wordCount = stored < pixels ? stored : pixels;
    return plan.left < plan.right && plan.top < plan.bottom;
}

// A window of words read from the file in large blocks.
struct WordSource {
    FILE* file;
    uint64_t wordCount;
    uint8_t* block; // kBlockWords words
    uint64_t blockFirst;
    uint64_t blockWords;
};

// Words first .. first + count - 1 (all below wordCount, count <= kBlockWords). When the
// block must be refilled it takes up to `ahead` words, to serve the following calls.
const uint8_t* Words(WordSource& source, uint64_t first, uint64_t count, uint64_t ahead) {
    if (first >= source.blockFirst && first + count <= source.blockFirst + source.blockWords)
        return source.block + 2 * (first - source.blockFirst);
    uint64_t words = ahead > count ? ahead : count;
    if (words > kBlockWords)
        words = kBlockWords;
    if (words > source.wordCount - first)
        words = source.wordCount - first;
    size_t bytes = size_t(2 * words);
    size_t got = 0;
    if (SeekTo(source.file, kPixelsOffset + 2 * first))
        got = fread(source.block, 1, bytes, source.file);
    // Zero fill gives the lone last byte its high byte (and a file that shrank, black).
    memset(source.block + got, 0, bytes - got);
    source.blockFirst = first;
    source.blockWords = words;
    return source.block;
}

void DrawPlannedPixels(FILE* file, const DrawingPlan& plan, HDC surface, int32_t factor) {
    uint8_t* block = new (std::nothrow) uint8_t[2 * kBlockWords];
    if (!block)
        return;
    ChannelTables tables;
    MakeChannelTables(factor, tables);
    WordSource source{file, plan.wordCount, block, 0, 0};

    const uint64_t width = uint64_t(plan.width);
    const uint64_t visible = uint64_t(plan.right - plan.left);
    const bool readAhead = 2 * (width - visible) <= kMaxSkippedBytes;
    const uint64_t lastNeeded = uint64_t(plan.bottom - 1) * width + uint64_t(plan.right) - 1;
    COLORREF pastEnd = 0;
    if (lastNeeded >= plan.wordCount)
        pastEnd = WordColour(tables, ReadWord(Words(source, plan.wordCount - 1, 1, 1)));

    for (int32_t y = plan.top; y < plan.bottom; ++y) {
        const uint64_t rowFirst = uint64_t(y) * width + uint64_t(plan.left);
        int32_t x = plan.left;
        if (rowFirst < plan.wordCount) {
            uint64_t count = plan.wordCount - rowFirst;
            if (count > visible)
                count = visible;
            const uint64_t ahead = readAhead ? lastNeeded + 1 - rowFirst : count;
            const uint8_t* words = Words(source, rowFirst, count, ahead);
            for (uint64_t i = 0; i < count; ++i, ++x)
                SetPixel(surface, x, y, WordColour(tables, ReadWord(words + 2 * i)));
        }
        for (; x < plan.right; ++x)
            SetPixel(surface, x, y, pastEnd);
    }
    delete[] block;
}

} // namespace

ImageExtent DrawTvqFile(const char* path, HDC surface, int32_t factor) {
    ImageExtent extent{0, 0};
    FILE* file = path ? fopen(path, "rb") : nullptr;
    if (!file)
        return extent;
    uint8_t header[kSizeFieldsBytes];
    if (fread(header, 1, sizeof header, file) == sizeof header) {
        extent.width = ReadSigned16(header + 4);
        extent.height = ReadSigned16(header + 8);
        const uint64_t wanted = extent.width > 0 && extent.height > 0
                                    ? 2 * uint64_t(extent.width) * uint64_t(extent.height)
                                    : 0;
        uint64_t pixelBytes = 0;
        DrawingPlan plan;
        if (StoredPixelBytes(file, wanted, pixelBytes) &&
            PlanDrawing(extent, pixelBytes, surface, plan))
            DrawPlannedPixels(file, plan, surface, factor);
    }
    fclose(file);
    return extent;
}
