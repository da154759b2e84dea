// LoadImageA for BMP files, decoded by gdk-pixbuf's BMP loader and nothing else.
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

// Reads the file whole, but only once its headers have passed BmpHeadersAcceptable: a
// small header can claim a huge file, or a file can be huge for nothing.
bool ReadAcceptableBmp(const char* path, FileBytes& bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
    const size_t head = ok && size_t(size) < kBmpHeadBytes ? size_t(size) : kBmpHeadBytes;
    if (ok) {
        bytes.resize(head);
        ok = std::fread(bytes.data(), 1, head, file) == head &&
             BmpHeadersAcceptable(bytes.data(), head, uint64_t(size));
    }
    if (ok && size_t(size) > head) {
        bytes.resize(size_t(size));
        ok = std::fread(bytes.data() + head, 1, bytes.size() - head, file) == bytes.size() - head;
    }
    std::fclose(file);
    return ok;
}

// The decoded file, kept for the next call. The bytes are given back as they are decoded,
// and freed before the pixels are converted, so that a large file is never held twice.
HBITMAP DecodeBitmapFile(const char* name, const FileVersion& version) {
    ForgetDecodedBitmap(); // the old image must not stay beside the new one
    std::unique_ptr<DecodedPicture> picture;
    bool large = false;
    {
        FileBytes bytes;
        if (!ReadAcceptableBmp(name, bytes))
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
