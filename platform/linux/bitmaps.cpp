// Bitmaps and the stock brush: creating, selecting, describing and deleting them, and
// copying pixels between device contexts.
#include "state.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zod {

namespace {

Surface SurfaceOfBitmap(BitmapObject* bitmap) {
    if (!bitmap)
        return Surface{};
    return Surface{bitmap->pixels.get(), bitmap->width, bitmap->height};
}

// Logical rectangle -> surface rectangle, clipped to what the context may touch.
RECT ToSurface(const DcObject& dc, long x, long y, long width, long height) {
    RECT r{static_cast<LONG>(std::clamp<long>(x + dc.origin.x, INT32_MIN, INT32_MAX)),
           static_cast<LONG>(std::clamp<long>(y + dc.origin.y, INT32_MIN, INT32_MAX)),
           static_cast<LONG>(std::clamp<long>(x + dc.origin.x + width, INT32_MIN, INT32_MAX)),
           static_cast<LONG>(std::clamp<long>(y + dc.origin.y + height, INT32_MIN, INT32_MAX))};
    return Intersect(r, dc.clip);
}

} // namespace

BitmapObject* FindBitmap(const void* bitmap) {
    return State().handles.Get<BitmapObject>(bitmap, HandleKind::Bitmap);
}

PixelBuffer NewPixelBuffer(size_t count) {
    auto* memory = static_cast<uint32_t*>(std::calloc(count ? count : 1, sizeof(uint32_t)));
    if (!memory)
        return nullptr;
    try {
        return PixelBuffer(memory, std::free);
    } catch (...) {
        return nullptr; // the buffer has been freed already
    }
}

HBITMAP NewSharedBitmap(int width, int height, PixelBuffer pixels) {
    if (!pixels)
        return nullptr;
    auto bitmap = std::make_unique<BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->pixels = std::move(pixels);
    return static_cast<HBITMAP>(State().handles.Add(HandleKind::Bitmap, std::move(bitmap)));
}

HBITMAP NewBitmap(int width, int height) {
    if (width < 0 || height < 0 || uint64_t(width) * uint64_t(height) > kMaxImagePixels)
        return nullptr;
    return NewSharedBitmap(width, height, NewPixelBuffer(size_t(width) * size_t(height)));
}

bool MakeSurfaceWritable(DcObject& dc) {
    BitmapObject* bitmap = dc.kind == DcKind::Memory ? FindBitmap(dc.bitmap) : nullptr;
    if (!bitmap || bitmap->pixels.use_count() == 1)
        return true;
    const size_t count = size_t(bitmap->width) * size_t(bitmap->height);
    PixelBuffer copy = NewPixelBuffer(count);
    if (!copy)
        return false;
    std::memcpy(copy.get(), bitmap->pixels.get(), count * sizeof(uint32_t));
    bitmap->pixels = std::move(copy);
    dc.surface = SurfaceOfBitmap(bitmap);
    return true;
}

} // namespace zod

using namespace zod;

HGDIOBJ WINAPI GetStockObject(int object) {
    return object == BLACK_BRUSH ? static_cast<HGDIOBJ>(State().blackBrush) : nullptr;
}

int WINAPI GetObjectA(HANDLE object, int size, LPVOID buffer) {
    BitmapObject* bitmap = FindBitmap(object);
    if (!bitmap)
        return 0;
    if (!buffer)
        return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP)))
        return 0;
    BITMAP description{};
    description.bmWidth = bitmap->width;
    description.bmHeight = bitmap->height;
    description.bmWidthBytes = bitmap->width * 4;
    description.bmPlanes = 1;
    description.bmBitsPixel = 32;
    std::memcpy(buffer, &description, sizeof description);
    return sizeof(BITMAP);
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!FindDc(dc))
        return nullptr;
    // As on Windows, an empty size gives a 1 x 1 bitmap.
    if (width == 0 || height == 0)
        return NewBitmap(1, 1);
    return NewBitmap(width, height);
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    DcObject* context = ChangeDc(dc);
    if (!context)
        return nullptr;
    bool found = false;
    HandleKind kind = State().handles.KindOf(object, &found);
    if (!found)
        return nullptr;
    if (kind == HandleKind::Brush)
        return State().blackBrush;
    if (kind != HandleKind::Bitmap || context->kind != DcKind::Memory)
        return nullptr;
    BitmapObject* bitmap = FindBitmap(object);
    if (object == context->bitmap)
        return object;
    // A bitmap lives in one memory context at a time; the shared default may be in many.
    if (bitmap->selections > 0 && object != State().defaultBitmap)
        return nullptr;
    HBITMAP previous = context->bitmap;
    if (BitmapObject* old = FindBitmap(previous))
        --old->selections;
    ++bitmap->selections;
    context->bitmap = static_cast<HBITMAP>(object);
    context->surface = SurfaceOfBitmap(bitmap);
    context->clip = RECT{0, 0, bitmap->width, bitmap->height};
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    bool found = false;
    HandleKind kind = State().handles.KindOf(object, &found);
    if (!found)
        return FALSE;
    if (kind == HandleKind::Bitmap) {
        BitmapObject* bitmap = FindBitmap(object);
        if (bitmap->selections > 0 && object != State().defaultBitmap)
            return FALSE; // still selected: Windows refuses too
    } else if (kind != HandleKind::Brush) {
        return FALSE;
    }
    State().handles.Remove(object); // stock objects stay
    return TRUE;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                   int sourceY, DWORD rop) {
    DcObject* to = ChangeDc(dest);
    const DcObject* from = FindDc(source);
    if (!to || !from || rop != SRCCOPY || !MakeSurfaceWritable(*to))
        return FALSE;
    if (width <= 0 || height <= 0)
        return TRUE;
    RECT target = ToSurface(*to, x, y, width, height);
    // Source rectangle in destination surface coordinates, clipped to the source.
    long shiftX = long(sourceX) + from->origin.x - (long(x) + to->origin.x);
    long shiftY = long(sourceY) + from->origin.y - (long(y) + to->origin.y);
    RECT readable{
        static_cast<LONG>(std::clamp<long>(from->clip.left - shiftX, INT32_MIN, INT32_MAX)),
        static_cast<LONG>(std::clamp<long>(from->clip.top - shiftY, INT32_MIN, INT32_MAX)),
        static_cast<LONG>(std::clamp<long>(from->clip.right - shiftX, INT32_MIN, INT32_MAX)),
        static_cast<LONG>(std::clamp<long>(from->clip.bottom - shiftY, INT32_MIN, INT32_MAX))};
    RECT copied = Intersect(target, readable);
    if (IsEmpty(copied))
        return TRUE;
    const long count = copied.right - copied.left;
    const bool upward = shiftY > 0; // same surface, overlapping rows: pick a safe order
    for (long i = 0; i < copied.bottom - copied.top; ++i) {
        long row = upward ? copied.top + i : copied.bottom - 1 - i;
        uint32_t* out = to->surface.pixels + size_t(row) * size_t(to->surface.width) + copied.left;
        const uint32_t* in = from->surface.pixels +
                             size_t(row + shiftY) * size_t(from->surface.width) +
                             size_t(copied.left + shiftX);
        std::memmove(out, in, size_t(count) * sizeof(uint32_t));
    }
    MarkDrawn(*to, copied);
    return TRUE;
}

int WINAPI GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
                     UINT usage) {
    BitmapObject* source = FindBitmap(bitmap);
    if (!FindDc(dc) || !source || !info || usage != DIB_RGB_COLORS)
        return 0;
    BITMAPINFOHEADER& header = info->bmiHeader;
    if (!bits) {
        header.biWidth = source->width;
        header.biHeight = source->height;
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        header.biSizeImage = DWORD(uint64_t(source->width) * source->height * 4);
        return 1;
    }
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biCompression != BI_RGB ||
        (header.biBitCount != 24 && header.biBitCount != 32) || header.biWidth <= 0 ||
        header.biHeight == 0)
        return 0;
    const bool bottomUp = header.biHeight > 0;
    const int64_t width = header.biWidth;
    const int64_t height = bottomUp ? int64_t(header.biHeight) : -int64_t(header.biHeight);
    const int bytesPerPixel = header.biBitCount / 8;
    const uint64_t stride = ((uint64_t(width) * header.biBitCount + 31) / 32) * 4;
    const int64_t first = std::min<int64_t>(start, height);
    const int64_t last = std::min<int64_t>(int64_t(start) + lines, height);
    uint8_t* out = static_cast<uint8_t*>(bits);
    for (int64_t line = first; line < last; ++line) {
        // DIB line numbers count from the bottom of a bottom-up image.
        const int64_t sourceRow = bottomUp ? height - 1 - line : line;
        uint8_t* row = out + uint64_t(line - first) * stride;
        std::memset(row, 0, stride);
        if (sourceRow >= source->height)
            continue;
        const uint32_t* in = source->pixels.get() + size_t(sourceRow) * size_t(source->width);
        const int64_t count = std::min<int64_t>(width, source->width);
        for (int64_t x = 0; x < count; ++x) {
            uint32_t c = in[x];
            row[x * bytesPerPixel + 0] = GetBValue(c);
            row[x * bytesPerPixel + 1] = GetGValue(c);
            row[x * bytesPerPixel + 2] = GetRValue(c);
        }
    }
    return static_cast<int>(last - first);
}
