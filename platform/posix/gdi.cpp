// Device contexts, bitmaps and pixel transfer on the virtual screen.
#include "state.h"

#include <algorithm>
#include <cstring>

namespace zod {

namespace {

DcObject* FindDc(HDC dc) {
    return State().handles.Get<DcObject>(dc, HandleKind::DeviceContext);
}

// Returns `color`, so that SetPixel can end with a jump to it.
[[gnu::noinline]] COLORREF AddDirtyPixel(DcObject& dc, int x, int y, COLORREF color) {
    const long sx = long(x) + dc.origin.x;
    const long sy = long(y) + dc.origin.y;
    RECT& d = dc.dirty;
    if (IsEmpty(d)) {
        d = RECT{LONG(sx), LONG(sy), LONG(sx + 1), LONG(sy + 1)};
    } else {
        d.left = std::min<LONG>(d.left, sx);
        d.top = std::min<LONG>(d.top, sy);
        d.right = std::max<LONG>(d.right, sx + 1);
        d.bottom = std::max<LONG>(d.bottom, sy + 1);
    }
    return color;
}

inline COLORREF PutPixel(int x, int y, COLORREF color) {
    const PixelCache& cache = pixelCache;
    // One unsigned comparison per axis: left of or above the clip box wraps to a huge value.
    const uint64_t column = uint64_t(int64_t(x) - cache.left);
    const uint64_t row = uint64_t(int64_t(y) - cache.top);
    if (column >= cache.width || row >= cache.height)
        return CLR_INVALID;
    color &= 0x00FFFFFF;
    cache.clipStart[int64_t(row) * cache.stride + int64_t(column)] = color;
    if (cache.screenContext)
        return AddDirtyPixel(*static_cast<DcObject*>(cache.screenContext), x, y, color);
    return color;
}

// Out of line, so that the common path of SetPixel saves no registers.
[[gnu::noinline]] COLORREF LookUpAndSetPixel(HDC dc, int x, int y, COLORREF color) {
    DcObject* context = FindDc(dc);
    if (!context)
        return CLR_INVALID;
    // SetPixel nearly always draws on the context of its previous call, so keep what it
    // needs of this one. Forgotten whenever a handle is removed and whenever a context
    // changes its surface (SelectObject).
    const RECT& clip = context->clip; // always inside the surface
    PixelCache& cache = pixelCache;
    cache = PixelCache{};
    cache.handle = dc;
    cache.stride = context->surface.width;
    cache.left = int64_t(clip.left) - context->origin.x;
    cache.top = int64_t(clip.top) - context->origin.y;
    if (!IsEmpty(clip)) {
        cache.width = uint64_t(int64_t(clip.right) - clip.left);
        cache.height = uint64_t(int64_t(clip.bottom) - clip.top);
        cache.clipStart =
            context->surface.pixels + size_t(clip.top) * size_t(cache.stride) + size_t(clip.left);
    }
    if (context->kind == DcKind::Memory)
        cache.memoryHandle = dc;
    else
        cache.screenContext = context;
    return PutPixel(x, y, color);
}

BitmapObject* FindBitmap(const void* bitmap) {
    return State().handles.Get<BitmapObject>(bitmap, HandleKind::Bitmap);
}

Surface SurfaceOfBitmap(BitmapObject* bitmap) {
    if (!bitmap)
        return Surface{};
    return Surface{bitmap->pixels.data(), bitmap->width, bitmap->height};
}

void MarkDirty(DcObject& dc, const RECT& r) {
    if (dc.kind != DcKind::Memory)
        dc.dirty = Union(dc.dirty, r);
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

Surface ScreenSurface() {
    PlatformState& s = State();
    return Surface{s.screen.data(), s.screenWidth, s.screenHeight};
}

HBITMAP NewBitmap(int width, int height) {
    if (width < 0 || height < 0 || uint64_t(width) * uint64_t(height) > kMaxBitmapPixels)
        return nullptr;
    auto bitmap = std::make_unique<BitmapObject>();
    try {
        bitmap->pixels.assign(size_t(width) * size_t(height), 0);
    } catch (...) {
        return nullptr;
    }
    bitmap->width = width;
    bitmap->height = height;
    return static_cast<HBITMAP>(State().handles.Add(HandleKind::Bitmap, std::move(bitmap)));
}

HDC NewDc(DcKind kind, HWND window, POINT origin, RECT clip) {
    auto dc = std::make_unique<DcObject>();
    dc->kind = kind;
    dc->window = window;
    dc->origin = origin;
    dc->surface = ScreenSurface();
    dc->clip = Intersect(clip, RECT{0, 0, dc->surface.width, dc->surface.height});
    return static_cast<HDC>(State().handles.Add(HandleKind::DeviceContext, std::move(dc)));
}

PixelCache pixelCache = {};

void ForgetPixelDc() {
    pixelCache = PixelCache{};
}

void FlushDc(DcObject& dc) {
    if (IsEmpty(dc.dirty))
        return;
    RECT dirty = dc.dirty;
    dc.dirty = RECT{0, 0, 0, 0};
    if (State().host)
        State().host->ScreenChanged(dirty);
}

} // namespace zod

using namespace zod;

HGDIOBJ WINAPI GetStockObject(int object) {
    return object == BLACK_BRUSH ? static_cast<HGDIOBJ>(State().blackBrush) : nullptr;
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
    if (!FindDc(dc))
        return 0;
    switch (index) {
    case HORZRES:
        return State().screenWidth;
    case VERTRES:
        return State().screenHeight;
    default:
        return 0;
    }
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

HDC WINAPI CreateCompatibleDC(HDC dc) {
    if (dc && !FindDc(dc))
        return nullptr;
    HDC memory = NewDc(DcKind::Memory, nullptr, POINT{0, 0}, RECT{0, 0, 0, 0});
    if (!memory)
        return nullptr;
    SelectObject(memory, State().defaultBitmap);
    return memory;
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
    DcObject* context = FindDc(dc);
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
    ForgetPixelDc();
    return previous;
}

BOOL WINAPI DeleteDC(HDC dc) {
    DcObject* context = FindDc(dc);
    if (!context || context->kind != DcKind::Memory)
        return FALSE;
    if (BitmapObject* bitmap = FindBitmap(context->bitmap))
        --bitmap->selections;
    return State().handles.Remove(dc);
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
    DcObject* to = FindDc(dest);
    DcObject* from = FindDc(source);
    if (!to || !from || rop != SRCCOPY)
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
    MarkDirty(*to, copied);
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
        const uint32_t* in = source->pixels.data() + size_t(sourceRow) * size_t(source->width);
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

COLORREF zod::SetPixelUncached(HDC dc, int x, int y, COLORREF color) {
    if (dc && dc == pixelCache.handle)
        return PutPixel(x, y, color);
    return LookUpAndSetPixel(dc, x, y, color);
}

COLORREF WINAPI GetPixel(HDC dc, int x, int y) {
    DcObject* context = FindDc(dc);
    if (!context)
        return CLR_INVALID;
    long sx = long(x) + context->origin.x;
    long sy = long(y) + context->origin.y;
    const RECT& clip = context->clip;
    if (sx < clip.left || sx >= clip.right || sy < clip.top || sy >= clip.bottom)
        return CLR_INVALID;
    return context->surface.pixels[size_t(sy) * size_t(context->surface.width) + size_t(sx)];
}

int WINAPI GetClipBox(HDC dc, LPRECT rect) {
    DcObject* context = FindDc(dc);
    if (!context || !rect)
        return ERROR;
    if (IsEmpty(context->clip)) {
        *rect = RECT{0, 0, 0, 0};
        return NULLREGION;
    }
    *rect = RECT{context->clip.left - context->origin.x, context->clip.top - context->origin.y,
                 context->clip.right - context->origin.x, context->clip.bottom - context->origin.y};
    return SIMPLEREGION;
}
