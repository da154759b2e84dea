// LoadImageA for BMP files, decoded by gdk-pixbuf's BMP loader and nothing else.
#include "pixbuf.h"
#include "state.h"

#include <cstdio>
#include <cstring>
#include <memory>

using namespace zod;

namespace {

// From this size on, of the bytes read or of the decoded pixels, memory already decoded is
// given back as decoding goes on; below it, giving it back costs more time than it saves.
constexpr uint64_t kLargeBytes = uint64_t(32) << 20;
// No bitmap has a colour table this large; a header claiming one is refused.
constexpr uint64_t kMaxTableBytes = uint64_t(64) << 20;

// The file's bytes, read into memory that is not zeroed first.
template <typename T> struct NoZeroFill : std::allocator<T> {
    template <typename U> struct rebind { using other = NoZeroFill<U>; };
    template <typename U> void construct(U* p) { ::new (static_cast<void*>(p)) U; }
};
using FileBytes = std::vector<uint8_t, NoZeroFill<uint8_t>>;

bool ReadAt(FILE* file, uint64_t at, uint8_t* into, uint64_t count) {
    return fseeko(file, off_t(at), SEEK_SET) == 0 && fread(into, 1, count, file) == count;
}

// Reads what the headers describe, once they have passed BmpHeadersAcceptable: the headers
// and colour table, and the pixel data from bfOffBits for the size they give. Nothing past
// it is read, so a small bitmap costs what it costs whatever follows it in the file. A gap
// between the two is not read either: the pixel data is moved up to the table and bfOffBits
// with it, which also has gdk-pixbuf find RLE data where the header says (it would read it
// from the table's end).
bool ReadAcceptableBmp(const char* path, FileBytes& bytes, BmpSpans& spans) {
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool ok = fseeko(file, 0, SEEK_END) == 0;
    const off_t size = ok ? ftello(file) : -1;
    ok = ok && size >= 0;
    const uint64_t head = ok && uint64_t(size) < kBmpHeadBytes ? uint64_t(size) : kBmpHeadBytes;
    if (ok) {
        bytes.resize(head);
        ok = ReadAt(file, 0, bytes.data(), head) &&
             BmpHeadersAcceptable(bytes.data(), head, uint64_t(size), &spans) &&
             spans.tableEnd <= kMaxTableBytes;
    }
    if (ok && spans.pixelOffset > spans.tableEnd) {
        bytes.resize(spans.tableEnd > head ? spans.tableEnd : head);
        ok = bytes.size() == head || ReadAt(file, head, bytes.data() + head, bytes.size() - head);
        bytes.resize(spans.tableEnd + spans.pixelBytes);
        ok = ok && ReadAt(file, spans.pixelOffset, bytes.data() + spans.tableEnd, spans.pixelBytes);
        for (int i = 0; i < 4; ++i) // bfOffBits, now just after the table
            bytes[10 + i] = uint8_t(spans.tableEnd >> (8 * i));
    } else if (ok) {
        uint64_t end = spans.pixelOffset + spans.pixelBytes;
        end = end > spans.tableEnd ? end : spans.tableEnd;
        end = end < uint64_t(size) ? end : uint64_t(size);
        if (end > head) {
            bytes.resize(end);
            ok = ReadAt(file, head, bytes.data() + head, end - head);
        }
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
        BmpSpans spans{};
        if (!ReadAcceptableBmp(name, bytes, spans))
            return nullptr;
        // The pixbuf and the pixels made from it would otherwise be held whole together.
        large = bytes.size() >= kLargeBytes || spans.pixels * sizeof(COLORREF) >= kLargeBytes;
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
