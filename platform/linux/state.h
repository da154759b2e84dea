// Internal state of the Win32 subset: the handle table, GDI and window objects, and the
// virtual screen. Only the subset's own files include this; hosts and tests use host.h,
// screen.h, resources.h and live_handles.h.
#pragma once

#include "common/types.h"
#include "host.h"
#include "live_handles.h"
#include "resources.h"
#include "screen.h"

#include <cstdint>
#include <ctime>
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

// Pixels a bitmap may share with the BMP cache until something draws on it.
using PixelBuffer = std::shared_ptr<uint32_t[]>;

struct BitmapObject : Object {
    int width = 0;
    int height = 0;
    PixelBuffer pixels; // width x height; copied before a change while it is shared
    int selections = 0; // device contexts it is selected into
};

enum class DcKind { Screen, Window, Paint, Memory };

// SetPixel keeps a copy of the last context's origin, clip, surface and drawn state
// (pixel_cache.h). So a live context is changed only through ChangeDc(), which drops that
// copy; FindDc() gives one to read.
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
    std::string finalPath; // opened to be asked its final path: the file behind any links
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
    PixelBuffer screen;
    int screenWidth = 0;
    int screenHeight = 0;
    RECT drawnArea{0, 0, 0, 0}; // outside it the screen is still all zero (black)
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
const DcObject* FindDc(HDC dc);
DcObject* ChangeDc(HDC dc); // for a change: SetPixel's copy of the last context is dropped

// set_pixel.cpp
void ForgetPixelDc(); // ChangeDc and handle removal call it; nothing else needs to
HDC NewDc(DcKind kind, HWND window, POINT origin, RECT clip);
void FlushDc(DcObject& dc); // tell the host what the context drew on the screen
// Notes that `dc` changed the surface rectangle `r`: to tell the host, for a screen context.
void MarkDrawn(DcObject& dc, const RECT& r);
// Gives a memory context a bitmap of its own before it draws: a bitmap shared with the BMP
// cache is copied first.
bool MakeSurfaceWritable(DcObject& dc);
void FlushAllDcs();

// bitmaps.cpp. Bitmaps larger than kMaxImagePixels are refused, as a 32-bit process would
// fail to allocate them.
BitmapObject* FindBitmap(const void* bitmap);
// Zeroed without writing to the memory, which the system hands out zeroed. NULL when too
// large or out of memory.
PixelBuffer NewPixelBuffer(size_t count);
HBITMAP NewBitmap(int width, int height); // all black; NULL when too large
// A bitmap showing `pixels`, which it shares until it is drawn on.
HBITMAP NewSharedBitmap(int width, int height, PixelBuffer pixels);

// bitmap_cache.cpp: the last BMP file decoded, by the file's identity and version
struct FileVersion {
    uint64_t device;
    uint64_t inode;
    int64_t size;
    timespec modified;
    timespec changed; // the inode's change time: a rewrite that restores the mtime shows here
};
bool ReadFileVersion(const char* path, FileVersion& version); // false: no such regular file
HBITMAP LoadCachedBitmap(const FileVersion& version);         // NULL unless it is kept
void KeepDecodedBitmap(const FileVersion& version, int width, int height, PixelBuffer pixels);
void ForgetDecodedBitmap();

// bmp_header_checks.cpp: whether a BMP file's headers, the first kBmpHeadBytes bytes of
// a file of `fileBytes` (or all of a shorter one), describe a bitmap LoadImageA may
// decode. RLE bitmaps are held to fewer pixels, since a tiny file can claim any number.
// When they do, `described` says which bytes of the file the decoder needs.
constexpr size_t kBmpHeadBytes = 14 + 124;
constexpr uint64_t kMaxRlePixels = uint64_t(1) << 24;
struct BmpSpans {
    uint64_t tableEnd;    // the headers, masks and colour table end here
    uint64_t pixelOffset; // bfOffBits
    uint64_t pixelBytes;  // what the rows take, or for RLE the data's size, bounded
    uint64_t pixels;      // width x height
};
bool BmpHeadersAcceptable(const uint8_t* head, size_t headBytes, uint64_t fileBytes,
                          BmpSpans* described = nullptr);

// kernel.cpp
constexpr uint64_t kMaxGlobalBytes = uint64_t(1) << 30;

} // namespace zod
