// LoadImageA for BMP files, decoded by gdk-pixbuf's BMP loader and nothing else.
#include "little_endian.h"
#include "pixbuf.h"
#include "state.h"

#include <cstdio>
#include <cstring>
#include <memory>

using namespace zod;

namespace {

constexpr long kMaxFileBytes = 1L << 30;
// From this size on, memory already decoded is given back as decoding goes on; below it,
// giving it back costs more time than it saves.
constexpr size_t kLargeFileBytes = size_t(32) << 20;

// The file's bytes, read into memory that is not zeroed first.
template <typename T> struct NoZeroFill : std::allocator<T> {
    template <typename U> struct rebind { using other = NoZeroFill<U>; };
    template <typename U> void construct(U* p) { ::new (static_cast<void*>(p)) U; }
};
using FileBytes = std::vector<uint8_t, NoZeroFill<uint8_t>>;

bool ReadWholeFile(const char* path, FileBytes& bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(size_t(size));
        ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    return ok;
}

// Windows refuses bitmaps of 65536 or more pixels on a side; check before decoding.
bool HeaderSizeAcceptable(const FileBytes& b) {
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
        return false;
    uint32_t headerSize = Le32(b.data() + 14);
    if (headerSize == 12)
        return true; // OS/2 core header: 16-bit sizes
    int32_t width = int32_t(Le32(b.data() + 18));
    int32_t height = int32_t(Le32(b.data() + 22));
    int64_t rows = height < 0 ? -int64_t(height) : height;
    return width > 0 && width < 65536 && rows > 0 && rows < 65536 &&
           uint64_t(width) * uint64_t(rows) <= kMaxBitmapPixels;
}

// gdk-pixbuf decodes a file whose pixel data stops short without complaint; Windows refuses
// it, and so do we.
bool HoldsAllPixels(const FileBytes& b) {
    const uint64_t offset = Le32(b.data() + 10);
    const uint32_t headerSize = Le32(b.data() + 14);
    uint64_t width = 0, rows = 0, bpp = 0;
    uint32_t compression = 0, sizeImage = 0;
    if (headerSize == 12) {
        width = Le16(b.data() + 18);
        rows = Le16(b.data() + 20);
        bpp = Le16(b.data() + 24);
    } else if (headerSize >= 40 && b.size() >= 54) {
        const int32_t height = int32_t(Le32(b.data() + 22));
        width = Le32(b.data() + 18);
        rows = height < 0 ? -int64_t(height) : height;
        bpp = Le16(b.data() + 28);
        compression = Le32(b.data() + 30);
        sizeImage = Le32(b.data() + 34);
    } else {
        return headerSize > 12 && headerSize < 40; // other short headers: the decoder decides
    }
    if (compression == 1 || compression == 2) // RLE8, RLE4: the header gives the data's size
        return sizeImage > 0 && offset + sizeImage <= b.size();
    if (compression != 0 && compression != 3) // neither RGB nor BITFIELDS: the decoder decides
        return true;
    return offset + (width * bpp + 31) / 32 * 4 * rows <= b.size();
}

// The decoded file, kept for the next call. The bytes are given back as they are decoded,
// and freed before the pixels are converted, so that a large file is never held twice.
HBITMAP DecodeBitmapFile(const char* name, const FileVersion& version) {
    ForgetDecodedBitmap(); // the old image must not stay beside the new one
    std::unique_ptr<DecodedPicture> picture;
    bool large = false;
    {
        FileBytes bytes;
        if (!ReadWholeFile(name, bytes) || !HeaderSizeAcceptable(bytes) || !HoldsAllPixels(bytes))
            return nullptr;
        large = bytes.size() >= kLargeFileBytes;
        picture = std::make_unique<DecodedPicture>("bmp", bytes.data(), bytes.size(), large);
    }
    if (!*picture)
        return nullptr;
    const int width = picture->Width(), height = picture->Height();
    PixelBuffer pixels = NewPixelBuffer(size_t(width) * size_t(height));
    if (!pixels)
        return nullptr;
    uint32_t* out = pixels.get();
    auto store = [out](size_t i, uint32_t argb) {
        out[i] = RGB(argb >> 16, argb >> 8, argb); // COLORREF: 0x00BBGGRR
    };
    if (large)
        picture->DrainPixels(store);
    else
        picture->ForEachPixel(store);
    picture.reset();
    KeepDecodedBitmap(version, width, height, pixels);
    return NewSharedBitmap(width, height, std::move(pixels));
}

} // namespace

HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags) {
    if (type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || !name)
        return nullptr;
    FileVersion version;
    if (!ReadFileVersion(name, version))
        return nullptr;
    if (HBITMAP bitmap = LoadCachedBitmap(version))
        return bitmap;
    try {
        return DecodeBitmapFile(name, version);
    } catch (...) {
        return nullptr; // out of memory: Windows fails the load too
    }
}
