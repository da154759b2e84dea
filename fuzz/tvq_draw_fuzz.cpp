// The TVQ reader drawing onto a memory context. The input is the file; its first four
// bytes, which the format does not use, also give the factor. Checked: the extent is the
// header's, every pixel of the surface is what a plain reading of the file gives (pixels
// outside the image keep the colour they had), and no handle is left alive.
#include "common/little_endian.h"
#include "formats/tvq_draw.h"
#include "fuzz/fuzz_support.h"
#include "platform/hosts/headless.h"

namespace {

constexpr int kSurfaceWidth = 40;
constexpr int kSurfaceHeight = 24;
constexpr COLORREF kUntouched = RGB(1, 2, 3);

struct Input {
    const uint8_t* data;
    size_t size;

    int32_t Signed16(size_t at) const { return int16_t(data[at] | data[at + 1] << 8); }
    // Word i of the pixel data; a lone last byte is a word whose high byte is 0.
    uint16_t Word(uint64_t i) const {
        const uint64_t at = 32 + 2 * i;
        return uint16_t(data[at] | (at + 1 < size ? data[at + 1] << 8 : 0));
    }
};

uint32_t Level(uint32_t channel, int32_t factor) {
    const int64_t amplified = int64_t(channel) * factor;
    return uint32_t(amplified < 0 ? 0 : amplified > 255 ? 255 : amplified);
}

// What pixel (x, y) of an image `width` wide must be, read word by word from the file.
COLORREF Expected(const Input& in, int32_t width, int32_t factor, int x, int y) {
    const uint64_t stored = in.size > 32 ? (in.size - 32 + 1) / 2 : 0;
    if (stored == 0)
        return kUntouched;
    const uint64_t i = uint64_t(y) * uint64_t(width) + uint64_t(x);
    const uint16_t word = in.Word(i < stored ? i : stored - 1);
    return RGB(Level(word >> 11, factor), Level((word >> 6) & 31, factor),
               Level(word & 31, factor));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zod::HeadlessHost host(64, 64);
    const Input in{data, size};
    const int32_t factor = size >= 4 ? int32_t(ReadLe32(data)) : 3;

    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(memory, kSurfaceWidth, kSurfaceHeight);
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int y = 0; y < kSurfaceHeight; ++y)
        for (int x = 0; x < kSurfaceWidth; ++x)
            SetPixel(memory, x, y, kUntouched);

    const ImageExtent extent = DrawTvqFile(zod::fuzz::InputFile(data, size), memory, factor);
    const int32_t width = size >= 10 ? in.Signed16(4) : 0;
    const int32_t height = size >= 10 ? in.Signed16(8) : 0;
    FUZZ_CHECK(extent.width == width && extent.height == height);
    for (int y = 0; y < kSurfaceHeight; ++y)
        for (int x = 0; x < kSurfaceWidth; ++x) {
            const bool inImage = x < width && y < height;
            FUZZ_CHECK(GetPixel(memory, x, y) ==
                       (inImage ? Expected(in, width, factor, x, y) : kUntouched));
        }

    if (size > 10 && data[10] == 0x5A) { // a byte the format does not use
        // A named pipe is refused without waiting, and nothing is drawn.
        const ImageExtent none = DrawTvqFile(zod::fuzz::NamedPipe(), memory, factor);
        FUZZ_CHECK(none.width == 0 && none.height == 0);
        FUZZ_CHECK(GetPixel(memory, 0, 0) ==
                   (width > 0 && height > 0 ? Expected(in, width, factor, 0, 0) : kUntouched));
    }

    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    FUZZ_CHECK(zod::LiveResourceHandles() == 0);
    return 0;
}
