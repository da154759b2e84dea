// Window classes and windows: creation, showing, painting requests and destruction.
#include "state.h"

#include <algorithm>
#include <strings.h>

namespace zod {

namespace {

WindowClass* FindClass(LPCSTR name) {
    if (!name)
        return nullptr;
    for (WindowClass& c : State().classes)
        if (strcasecmp(c.name.c_str(), name) == 0)
            return &c;
    return nullptr;
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

} // namespace

std::string ResourceName(LPCSTR name) {
    uintptr_t value = reinterpret_cast<uintptr_t>(name);
    if (value >> 16 == 0)
        return "#" + std::to_string(value); // MAKEINTRESOURCE
    return name;
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* window = FindWindowObject(hwnd);
    if (!window || !window->proc)
        return 0;
    return window->proc(hwnd, message, wParam, lParam);
}

WindowObject* FindWindowObject(HWND window) {
    return State().handles.Get<WindowObject>(window, HandleKind::Window);
}

RECT ClientRectOnScreen(const WindowObject& window) {
    RECT r = window.rect;
    if (window.menu)
        r.top = std::min(r.bottom, r.top + kMenuBarRows);
    return r;
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

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return zod::ScreenWidth();
    case SM_CYSCREEN:
        return zod::ScreenHeight();
    default:
        return 0;
    }
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
