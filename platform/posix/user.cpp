// Window classes, windows, the message queue, painting and message boxes.
#include "state.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace zod {

PlatformState& State() {
    static PlatformState state;
    return state;
}

void FlushAllDcs() {
    for (void* handle : State().handles.All(HandleKind::DeviceContext))
        if (auto* dc = State().handles.Get<DcObject>(handle, HandleKind::DeviceContext))
            FlushDc(*dc);
}

namespace {

WindowClass* FindClass(LPCSTR name) {
    if (!name)
        return nullptr;
    for (WindowClass& c : State().classes)
        if (strcasecmp(c.name.c_str(), name) == 0)
            return &c;
    return nullptr;
}

std::string ResourceName(LPCSTR name) {
    uintptr_t value = reinterpret_cast<uintptr_t>(name);
    if (value >> 16 == 0)
        return "#" + std::to_string(value); // MAKEINTRESOURCE
    return name;
}

RECT ClientRect(const WindowObject& window) {
    RECT screen = ClientRectOnScreen(window);
    return RECT{0, 0, screen.right - screen.left, screen.bottom - screen.top};
}

void Invalidate(WindowObject& window, const RECT* rect, bool erase) {
    RECT client = ClientRect(window);
    RECT area = rect ? Intersect(*rect, client) : client;
    if (IsEmpty(area))
        return;
    window.update = window.needsPaint ? Union(window.update, area) : area;
    window.needsPaint = true;
    window.eraseOnPaint = window.eraseOnPaint || erase;
}

HWND WindowNeedingPaint() {
    for (void* handle : State().handles.All(HandleKind::Window)) {
        WindowObject* window = FindWindowObject(static_cast<HWND>(handle));
        if (window && window->visible && window->needsPaint)
            return static_cast<HWND>(handle);
    }
    return nullptr;
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* window = FindWindowObject(hwnd);
    if (!window || !window->proc)
        return 0;
    return window->proc(hwnd, message, wParam, lParam);
}

} // namespace

WindowObject* FindWindowObject(HWND window) {
    return State().handles.Get<WindowObject>(window, HandleKind::Window);
}

RECT ClientRectOnScreen(const WindowObject& window) {
    RECT r = window.rect;
    if (window.menu)
        r.top = std::min(r.bottom, r.top + kMenuBarHeight);
    return r;
}

void InstallHost(Host* host) {
    PlatformState& s = State();
    s.handles.Clear();
    s.classes.clear();
    s.queue.clear();
    s.quitPosted = false;
    s.quitCode = 0;
    s.host = host;
    s.screenWidth = 0;
    s.screenHeight = 0;
    if (host)
        host->ScreenSize(s.screenWidth, s.screenHeight);
    s.screenWidth = std::max(0, s.screenWidth);
    s.screenHeight = std::max(0, s.screenHeight);
    s.screen.assign(size_t(s.screenWidth) * size_t(s.screenHeight), 0);
    auto brush = std::make_unique<BrushObject>();
    s.blackBrush = static_cast<HBRUSH>(s.handles.Add(HandleKind::Brush, std::move(brush), true));
    auto bitmap = std::make_unique<BitmapObject>();
    bitmap->width = bitmap->height = 1;
    bitmap->pixels.assign(1, 0);
    s.defaultBitmap =
        static_cast<HBITMAP>(s.handles.Add(HandleKind::Bitmap, std::move(bitmap), true));
}

Host* InstalledHost() {
    return State().host;
}
int ScreenWidth() {
    return State().screenWidth;
}
int ScreenHeight() {
    return State().screenHeight;
}
const uint32_t* ScreenPixels() {
    return State().screen.data();
}

COLORREF ScreenPixel(int x, int y) {
    if (x < 0 || y < 0 || x >= ScreenWidth() || y >= ScreenHeight())
        return CLR_INVALID;
    return State().screen[size_t(y) * size_t(ScreenWidth()) + size_t(x)];
}

} // namespace zod

using namespace zod;

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc)
        return 0;
    if (FindClass(windowClass->lpszClassName))
        return 0; // already registered
    WindowClass c;
    c.name = windowClass->lpszClassName;
    c.info = *windowClass;
    if (windowClass->lpszMenuName)
        c.menuName = ResourceName(windowClass->lpszMenuName);
    c.info.lpszClassName = nullptr; // the strings are the caller's; keep copies only
    c.info.lpszMenuName = nullptr;
    State().classes.push_back(std::move(c));
    return static_cast<ATOM>(0xC000 + State().classes.size());
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    WindowClass* c = FindClass(className);
    if (!c)
        return nullptr;
    auto window = std::make_unique<WindowObject>();
    window->proc = c->info.lpfnWndProc;
    window->className = c->name;
    window->title = windowName ? windowName : "";
    window->style = style;
    window->rect = RECT{x, y, static_cast<LONG>(int64_t(x) + std::max(0, width)),
                        static_cast<LONG>(int64_t(y) + std::max(0, height))};
    window->menu = c->menuName.empty() ? nullptr : FindMenuResource(c->menuName.c_str());
    if (State().handles.Get<BrushObject>(c->info.hbrBackground, HandleKind::Brush)) {
        window->hasBackground = true;
        window->background = 0; // the only brush we have is black
    }
    HWND hwnd = static_cast<HWND>(State().handles.Add(HandleKind::Window, std::move(window)));
    if (!hwnd)
        return nullptr;
    if (CallProc(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!FindWindowObject(hwnd))
        return nullptr; // destroyed by its own WM_CREATE handler
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    // A WM_DESTROY handler that calls DestroyWindow again must not recurse.
    static std::vector<HWND> beingDestroyed;
    if (!FindWindowObject(hwnd) ||
        std::find(beingDestroyed.begin(), beingDestroyed.end(), hwnd) != beingDestroyed.end())
        return FALSE;
    beingDestroyed.push_back(hwnd);
    CallProc(hwnd, WM_DESTROY, 0, 0);
    beingDestroyed.erase(std::find(beingDestroyed.begin(), beingDestroyed.end(), hwnd));
    if (State().host)
        State().host->WindowDestroyed(hwnd);
    // Messages for a window that is gone are dropped, as Windows does.
    auto& queue = State().queue;
    queue.erase(
        std::remove_if(queue.begin(), queue.end(), [hwnd](const MSG& m) { return m.hwnd == hwnd; }),
        queue.end());
    State().handles.Remove(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    return FindWindowObject(hwnd) != nullptr;
}

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    WindowObject* window = FindWindowObject(hwnd);
    if (!window)
        return FALSE;
    BOOL wasVisible = window->visible;
    if (command == SW_HIDE) {
        window->visible = false;
        return wasVisible;
    }
    if (command == SW_MAXIMIZE)
        window->rect = RECT{0, 0, State().screenWidth, State().screenHeight};
    window->visible = true;
    Invalidate(*window, nullptr, true);
    if (State().host) {
        WindowShown shown;
        shown.window = hwnd;
        shown.title = window->title.c_str();
        shown.menu = window->menu;
        if (WindowClass* c = FindClass(window->className.c_str())) {
            if (auto* icon = State().handles.Get<ImageObject>(c->info.hIcon, HandleKind::Icon))
                shown.icon = icon->image;
            if (auto* cursor =
                    State().handles.Get<ImageObject>(c->info.hCursor, HandleKind::Cursor))
                shown.cursor = cursor->image;
        }
        State().host->WindowShown(shown);
    }
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    WindowObject* window = FindWindowObject(hwnd);
    if (!window)
        return FALSE;
    if (window->visible && window->needsPaint)
        CallProc(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        if (BeginPaint(hwnd, &paint))
            EndPaint(hwnd, &paint);
        return 0;
    }
    default:
        return 0;
    }
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
    PlatformState& s = State();
    for (;;) {
        if (!s.queue.empty()) {
            *msg = s.queue.front();
            s.queue.pop_front();
            return TRUE;
        }
        // As on Windows: the quit request comes after posted messages, before paints.
        if (s.quitPosted) {
            s.quitPosted = false;
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(s.quitCode);
            return FALSE;
        }
        if (HWND hwnd = WindowNeedingPaint()) {
            *msg = MSG{};
            msg->hwnd = hwnd;
            msg->message = WM_PAINT;
            return TRUE;
        }
        FlushAllDcs();
        if (!s.host || !s.host->WaitForInput()) {
            // Nobody can ever send input again: end the loop rather than hang.
            *msg = MSG{};
            msg->message = WM_QUIT;
            return FALSE;
        }
    }
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd)
        return 0;
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    State().quitPosted = true;
    State().quitCode = exitCode;
    if (State().host)
        State().host->QuitRequested(exitCode);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !FindWindowObject(hwnd))
        return FALSE;
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    State().queue.push_back(msg);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    if (!hwnd) {
        for (void* handle : State().handles.All(HandleKind::Window))
            Invalidate(*FindWindowObject(static_cast<HWND>(handle)), nullptr, erase);
        return TRUE;
    }
    WindowObject* window = FindWindowObject(hwnd);
    if (!window)
        return FALSE;
    Invalidate(*window, rect, erase != FALSE);
    return TRUE;
}

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
        auto* context = State().handles.Get<DcObject>(dc, HandleKind::DeviceContext);
        RECT r = context->clip;
        for (LONG y = r.top; y < r.bottom; ++y)
            std::fill_n(context->surface.pixels + size_t(y) * context->surface.width + r.left,
                        r.right - r.left, window->background);
        context->dirty = r;
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
    auto* dc = State().handles.Get<DcObject>(paint->hdc, HandleKind::DeviceContext);
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
    auto* context = State().handles.Get<DcObject>(dc, HandleKind::DeviceContext);
    if (!context || context->window != hwnd ||
        (context->kind != DcKind::Screen && context->kind != DcKind::Window))
        return 0;
    FlushDc(*context);
    State().handles.Remove(dc);
    return 1;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    WindowObject* window = FindWindowObject(hwnd);
    if (!window || !point)
        return FALSE;
    RECT client = ClientRectOnScreen(*window);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

// Only the zero-timeout poll is needed: the host is shown what has been drawn.
DWORD WINAPI MsgWaitForMultipleObjects(DWORD, const HANDLE*, BOOL, DWORD, DWORD) {
    FlushAllDcs();
    return WAIT_TIMEOUT;
}

namespace {

// Resource icons and cursors are shared, as on Windows: one handle per name, never freed.
HANDLE SharedImage(HandleKind kind, const Image* image) {
    if (!image)
        return nullptr;
    for (void* handle : State().handles.All(kind))
        if (State().handles.Get<ImageObject>(handle, kind)->image == image)
            return handle;
    auto object = std::make_unique<ImageObject>();
    object->image = image;
    return State().handles.Add(kind, std::move(object), true);
}

} // namespace

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
    if (!name)
        return nullptr;
    return static_cast<HICON>(
        SharedImage(HandleKind::Icon, FindIconResource(ResourceName(name).c_str())));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
    if (!name)
        return nullptr;
    return static_cast<HCURSOR>(
        SharedImage(HandleKind::Cursor, FindCursorResource(ResourceName(name).c_str())));
}

int WINAPI MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD) {
    if (!State().host)
        return 0;
    FlushAllDcs();
    MessageBoxRequest request;
    request.owner = owner;
    request.text = text ? text : "";
    request.caption = caption ? caption : "Error";
    request.type = type;
    return State().host->ShowMessageBox(request);
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return MessageBoxExA(owner, text, caption, type, 0);
}
