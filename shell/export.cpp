// Export > BMP File: the image on view is read back from the screen and written.
#include "shell/shell.h"

#include "formats/bmp_writer.h"

#include <cstring>

namespace {

const char kExportErrorText[] = "There was an error writing the BMP file";
const char kExportErrorCaption[] = "Export Error";

// The image is drawn at the top-left of the drawing area, which starts under the menu bar;
// ask where that is rather than assume the bar's height.
POINT DrawingAreaOrigin(HWND window) {
    POINT origin = {0, 0};
    if (!ClientToScreen(window, &origin)) {
        origin.x = 0;
        origin.y = kMenuBarRows;
    }
    return origin;
}

// How much of `length` pixels from `start` lies before the screen's edge at `screenLength`.
int OnScreen(int32_t length, LONG start, int screenLength) {
    const int64_t room = int64_t(screenLength) - start;
    return int(room < length ? (room > 0 ? room : 0) : length);
}

} // namespace

void ExportBitmapCommand(HWND window, HINSTANCE instance) {
    HDC context = GetDC(window);
    char title[kPathCapacity];
    OPENFILENAMEA record;
    PrepareFileDialog(&record, window, instance, "Bitmap Files (.bmp)\0*.bmp\0", "BMP",
                      OFN_HIDEREADONLY, title);
    if (!GetSaveFileNameA(&record)) {
        ReleaseDC(window, context);
        return;
    }
    // Where the dialog was, the window is still to be painted: black first, as every paint
    // erases, so that no part of the dialog is read back where the image draws nothing.
    UpdateWindow(window);
    DrawImageOnView(window, context);

    // The view moves to the new file only once it has really been written.
    char previousPath[kPathCapacity];
    memcpy(previousPath, CurrentPath, sizeof previousPath);
    AdoptSelectedPath();
    if (ExportDisplayedImage(CurrentPath, CurrentExtent, window)) {
        CurrentViewMode = VIEW_BITMAP;
    } else {
        memcpy(CurrentPath, previousPath, sizeof CurrentPath);
        MessageBoxA(window, kExportErrorText, kExportErrorCaption, MB_OK | MB_ICONHAND);
    }
    ReleaseDC(window, context);
}

bool ExportDisplayedImage(const char* path, ImageExtent extent, HWND window) {
    int32_t width = extent.width;
    int32_t height = extent.height;
    if (width < 0 || height < 0)
        width = height = 0; // a header can claim a negative size; there is nothing to capture
    const uint64_t bytes = BitmapRowStride(width) * uint64_t(height);
    if (bytes > SIZE_T(-1))
        return false;
    const POINT origin = DrawingAreaOrigin(window);

    // The window's own pixels, not the screen's: a window system may put them on the screen
    // later (Wine does), and until then the screen can still show a closed dialog there.
    HDC view = GetDC(window);
    HDC memory = CreateCompatibleDC(view);
    HBITMAP bitmap = CreateCompatibleBitmap(view, width, height);
    bool written = false;
    if (memory && bitmap) {
        SelectObject(memory, bitmap);
        // Only what lies on the screen: some systems copy nothing at all when the source
        // leaves it. The rest of the new bitmap stays black.
        const int onScreenWidth = OnScreen(width, origin.x, GetDeviceCaps(view, HORZRES));
        const int onScreenHeight = OnScreen(height, origin.y, GetDeviceCaps(view, VERTRES));
        if (onScreenWidth > 0 && onScreenHeight > 0)
            BitBlt(memory, 0, 0, onScreenWidth, onScreenHeight, view, 0, 0, SRCCOPY);

        // At least one byte, so that an empty image still gets a block of its own.
        HGLOBAL block = GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(bytes ? bytes : 1));
        void* pixels = block ? GlobalLock(block) : NULL;
        if (pixels) {
            BITMAPINFO info;
            memset(&info, 0, sizeof info);
            info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            bool captured = bytes == 0 || GetDIBits(memory, bitmap, 0, static_cast<UINT>(height),
                                                    pixels, &info, DIB_RGB_COLORS) == height;
            written = captured && WriteBitmapFile(path, width, height, pixels);
            GlobalUnlock(block);
        }
        if (block)
            GlobalFree(block);
    }
    if (memory)
        DeleteDC(memory);
    if (bitmap)
        DeleteObject(bitmap);
    ReleaseDC(window, view);
    return written;
}
