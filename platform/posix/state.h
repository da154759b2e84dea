// Internal state of the Win32 subset: the handle table, GDI and window objects, and the
// virtual screen. Nothing outside platform/posix includes this.
#pragma once

#include "host.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace zod {

struct Object {
    virtual ~Object() = default;
};

struct Surface {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

struct BitmapObject : Object {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    int selections = 0; // device contexts it is selected into
};

enum class DcKind { Screen, Window, Paint, Memory };

// SetPixel keeps a copy of the last context's kind, origin, clip and surface: code that
// changes them on a live context must call ForgetPixelDc().
struct DcObject : Object {
    DcKind kind = DcKind::Screen;
    HWND window = nullptr;
    POINT origin{0, 0};       // surface position of logical (0, 0)
    RECT clip{0, 0, 0, 0};    // surface coordinates
    HBITMAP bitmap = nullptr; // memory contexts only
    Surface surface;
    RECT dirty{0, 0, 0, 0};
};

struct BrushObject : Object {
    COLORREF color = 0;
};

struct ImageObject : Object {
    const Image* image = nullptr;
};

struct MemoryObject : Object {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    int locks = 0;
};

struct FileObject : Object {
    int fd = -1;
    ~FileObject() override;
};

struct WindowClass {
    std::string name;
    WNDCLASSA info{};
    std::string menuName;
};

struct WindowObject : Object {
    WNDPROC proc = nullptr;
    std::string className;
    std::string title;
    DWORD style = 0;
    RECT rect{0, 0, 0, 0}; // screen coordinates
    bool visible = false;
    const Menu* menu = nullptr;
    COLORREF background = 0;
    bool hasBackground = false;
    bool needsPaint = false;
    bool eraseOnPaint = false;
    RECT update{0, 0, 0, 0}; // client coordinates
};

// Slots are reused; a handle carries its slot's generation, so a stale handle is refused.
class HandleTable {
  public:
    void* Add(HandleKind kind, std::unique_ptr<Object> object, bool stock = false);
    Object* Find(const void* handle, HandleKind kind) const;
    HandleKind KindOf(const void* handle, bool* found) const;
    bool Remove(const void* handle);
    int Live(HandleKind kind) const;
    void Clear();
    template <typename T> T* Get(const void* handle, HandleKind kind) const {
        return static_cast<T*>(Find(handle, kind));
    }
    std::vector<void*> All(HandleKind kind) const;

  private:
    struct Slot {
        uint32_t generation = 0;
        HandleKind kind = HandleKind::Count;
        bool stock = false;
        std::unique_ptr<Object> object;
    };
    const Slot* SlotOf(const void* handle) const;
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
};

struct PlatformState {
    Host* host = nullptr;
    HandleTable handles;
    std::vector<uint32_t> screen;
    int screenWidth = 0;
    int screenHeight = 0;
    std::vector<WindowClass> classes;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    HBRUSH blackBrush = nullptr;
    HBITMAP defaultBitmap = nullptr; // the 1 x 1 bitmap of a new memory context
};

// What the subset's files share, under the file that defines it.
// state.cpp
PlatformState& State();
Surface ScreenSurface();

// handles.cpp: rectangles; an empty result is {0, 0, 0, 0}
RECT Intersect(const RECT& a, const RECT& b);
bool IsEmpty(const RECT& r);
RECT Union(const RECT& a, const RECT& b);

// windows.cpp
WindowObject* FindWindowObject(HWND window);
RECT ClientRectOnScreen(const WindowObject& window);
LRESULT CallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam); // 0: no window
std::string ResourceName(LPCSTR name); // "#5" for MAKEINTRESOURCE(5)

// device_contexts.cpp
DcObject* FindDc(HDC dc);
HDC NewDc(DcKind kind, HWND window, POINT origin, RECT clip);
void FlushDc(DcObject& dc); // tell the host what the context drew on the screen
void FlushAllDcs();

// bitmaps.cpp. Bitmaps larger than this are refused, as a 32-bit process would fail to
// allocate them.
constexpr uint64_t kMaxBitmapPixels = uint64_t(1) << 28;
BitmapObject* FindBitmap(const void* bitmap);
HBITMAP NewBitmap(int width, int height); // zero-filled; NULL when too large

// bmp_header_checks.cpp: whether a BMP file's headers, the first kBmpHeadBytes bytes of
// a file of `fileBytes` (or all of a shorter one), describe a bitmap LoadImageA may
// decode. RLE bitmaps are held to fewer pixels, since a tiny file can claim any number.
constexpr size_t kBmpHeadBytes = 14 + 124;
constexpr uint64_t kMaxRlePixels = uint64_t(1) << 24;
bool BmpHeadersAcceptable(const uint8_t* head, size_t headBytes, uint64_t fileBytes);

// set_pixel.cpp
void ForgetPixelDc(); // drops SetPixel's copy of the last context (see DcObject)

// kernel.cpp
constexpr uint64_t kMaxGlobalBytes = uint64_t(1) << 30;

// resources.cpp
const Image* FindIconResource(const char* name);
const Image* FindCursorResource(const char* name);

} // namespace zod
