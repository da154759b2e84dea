// LoadImageA for BMP files, decoded by gdk-pixbuf's BMP loader and nothing else.
#include "pixbuf.h"
#include "state.h"

#include <cstdio>

using namespace zod;

namespace {

constexpr long kMaxFileBytes = 1L << 30;

// Reads the file whole, but only once its headers have passed BmpHeadersAcceptable: a
// small header can claim a huge file, or a file can be huge for nothing.
bool ReadAcceptableBmp(const char* path, std::vector<uint8_t>& bytes) {
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

} // namespace

HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags) {
    if (type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || !name)
        return nullptr;
    std::vector<uint8_t> bytes;
    if (!ReadAcceptableBmp(name, bytes))
        return nullptr;
    DecodedPicture picture("bmp", bytes.data(), bytes.size());
    if (!picture)
        return nullptr;
    HBITMAP bitmap = NewBitmap(picture.Width(), picture.Height());
    if (auto* target = State().handles.Get<BitmapObject>(bitmap, HandleKind::Bitmap)) {
        uint32_t* out = target->pixels.data();
        picture.ForEachPixel([out](size_t i, uint32_t argb) {
            out[i] = RGB(argb >> 16, argb >> 8, argb); // COLORREF: 0x00BBGGRR
        });
    }
    return bitmap;
}
