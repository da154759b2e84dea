// Device contexts: on a window, on the screen and in memory, and telling the host what
// they drew.
#include "state.h"

#include <algorithm>

namespace zod {

const DcObject* FindDc(HDC dc) {
    return State().handles.Get<DcObject>(dc, HandleKind::DeviceContext);
}

DcObject* ChangeDc(HDC dc) {
    ForgetPixelDc();
    return State().handles.Get<DcObject>(dc, HandleKind::DeviceContext);
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

void FlushDc(DcObject& dc) {
    if (IsEmpty(dc.dirty))
        return;
    RECT dirty = dc.dirty;
    dc.dirty = RECT{0, 0, 0, 0}; // SetPixel records its context's drawing anew after this

    if (State().host)
        State().host->ScreenChanged(dirty);
}

void MarkDrawn(DcObject& dc, const RECT& r) {
    if (dc.kind == DcKind::Memory)
        return;
    dc.dirty = Union(dc.dirty, r);
    State().drawnArea = Union(State().drawnArea, r);
}

void FlushAllDcs() {
    for (void* handle : State().handles.All(HandleKind::DeviceContext))
        if (DcObject* dc = ChangeDc(static_cast<HDC>(handle)))
            FlushDc(*dc);
}

} // namespace zod

using namespace zod;

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    WindowObject* window = FindWindowObject(hwnd);
    if (!window || !paint)
        return nullptr;
    RECT client = ClientRectOnScreen(*window);
    RECT update = window->needsPaint ? window->update : RECT{0, 0, 0, 0};
    RECT onScreen{update.left + client.left, update.top + client.top, update.right + client.left,
                  update.bottom + client.top};
    RECT clip = window->visible ? Intersect(onScreen, client) : RECT{0, 0, 0, 0};
    HDC dc = NewDc(DcKind::Paint, hwnd, POINT{client.left, client.top}, clip);
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->rcPaint = update;
    paint->fErase = FALSE;
    if (window->eraseOnPaint && window->hasBackground && dc) {
        DcObject* context = ChangeDc(dc);
        // Black where nothing was ever drawn is black already: the first paint of a
        // full-screen window writes nothing there.
        const RECT r =
            window->background ? context->clip : Intersect(context->clip, State().drawnArea);
        for (LONG y = r.top; y < r.bottom; ++y)
            std::fill_n(context->surface.pixels + size_t(y) * context->surface.width + r.left,
                        r.right - r.left, window->background);
        MarkDrawn(*context, r);
        context->dirty = Union(context->dirty, context->clip);
    } else {
        paint->fErase = window->eraseOnPaint;
    }
    window->needsPaint = false;
    window->eraseOnPaint = false;
    window->update = RECT{0, 0, 0, 0};
    return dc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint)
        return FALSE;
    DcObject* dc = ChangeDc(paint->hdc);
    if (!dc || dc->kind != DcKind::Paint)
        return FALSE;
    FlushDc(*dc);
    State().handles.Remove(paint->hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd) {
    if (!hwnd)
        return NewDc(DcKind::Screen, nullptr, POINT{0, 0},
                     RECT{0, 0, State().screenWidth, State().screenHeight});
    WindowObject* window = FindWindowObject(hwnd);
    if (!window)
        return nullptr;
    RECT client = ClientRectOnScreen(*window);
    return NewDc(DcKind::Window, hwnd, POINT{client.left, client.top},
                 window->visible ? client : RECT{0, 0, 0, 0});
}

HDC WINAPI GetWindowDC(HWND hwnd) {
    if (!hwnd)
        return GetDC(nullptr);
    WindowObject* window = FindWindowObject(hwnd);
    if (!window)
        return nullptr;
    return NewDc(DcKind::Window, hwnd, POINT{window->rect.left, window->rect.top},
                 window->visible ? window->rect : RECT{0, 0, 0, 0});
}

int WINAPI ReleaseDC(HWND hwnd, HDC dc) {
    DcObject* context = ChangeDc(dc);
    if (!context || context->window != hwnd ||
        (context->kind != DcKind::Screen && context->kind != DcKind::Window))
        return 0;
    FlushDc(*context);
    State().handles.Remove(dc);
    return 1;
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

BOOL WINAPI DeleteDC(HDC dc) {
    const DcObject* context = FindDc(dc);
    if (!context || context->kind != DcKind::Memory)
        return FALSE;
    if (BitmapObject* bitmap = FindBitmap(context->bitmap))
        --bitmap->selections;
    return State().handles.Remove(dc);
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

int WINAPI GetClipBox(HDC dc, LPRECT rect) {
    const DcObject* context = FindDc(dc);
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
