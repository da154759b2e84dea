// LoadImageA from a file. Checked: a bitmap it returns has the size the file's header
// gives, within Windows' limits, can be selected and read, and is the only handle left
// until it is deleted. The time and memory bounds are libFuzzer's -timeout and
// -rss_limit_mb, which scripts/fuzz.sh sets. Pictures the header makes larger than
// kMaxPixels are loaded only when bfReserved1, which the loader ignores, is "ZL": a few
// bytes of RLE can describe 16 million pixels, and each such run takes a good part of a
// second.
#include "fuzz/fuzz_support.h"
#include "platform/hosts/headless.h"

namespace {

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

constexpr int64_t kMaxPixels = int64_t(1) << 18;

// The picture's width and height as its header gives them; 0 × 0 when there is no header.
void HeaderSize(const uint8_t* data, size_t size, int64_t& width, int64_t& height) {
    width = height = 0;
    if (size < 26)
        return;
    const bool core = Le(data + 14, 4) == 12; // the OS/2 header's sizes are 16 bits
    width = core ? int64_t(Le(data + 18, 2)) : int64_t(int32_t(Le(data + 18, 4)));
    height = core ? int64_t(Le(data + 20, 2)) : int64_t(int32_t(Le(data + 22, 4)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zod::HeadlessHost host(64, 64);
    if (size > 8 && data[8] == 0x5A) { // bfReserved2: a named pipe is refused, not waited on
        FUZZ_CHECK(
            !LoadImageA(nullptr, zod::fuzz::NamedPipe(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        FUZZ_CHECK(zod::LiveResourceHandles() == 0);
    }
    int64_t width, height;
    HeaderSize(data, size, width, height);
    const bool large = size >= 8 && data[6] == 'Z' && data[7] == 'L';
    if (!large && (width < 0 ? -width : width) * (height < 0 ? -height : height) > kMaxPixels)
        return 0;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, zod::fuzz::InputFile(data, size), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!bitmap) {
        FUZZ_CHECK(zod::LiveResourceHandles() == 0);
        return 0;
    }
    FUZZ_CHECK(size >= 26);
    BITMAP info{};
    FUZZ_CHECK(GetObjectA(bitmap, sizeof info, &info) == int(sizeof info));
    FUZZ_CHECK(info.bmWidth == width && info.bmHeight == (height < 0 ? -height : height));
    FUZZ_CHECK(info.bmWidth < 65536 && info.bmHeight < 65536);

    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    FUZZ_CHECK(old != nullptr);
    FUZZ_CHECK(GetPixel(memory, info.bmWidth - 1, info.bmHeight - 1) != CLR_INVALID);
    FUZZ_CHECK(GetPixel(memory, info.bmWidth, 0) == CLR_INVALID);
    SelectObject(memory, old);
    DeleteDC(memory);
    FUZZ_CHECK(zod::LiveResourceHandles() == 1);
    DeleteObject(bitmap);
    FUZZ_CHECK(zod::LiveResourceHandles() == 0);
    return 0;
}
