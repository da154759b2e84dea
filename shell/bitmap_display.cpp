#include "shell/shell.h"

ImageExtent DrawBitmapFile(const char* path, HWND window, bool centred) {
    ImageExtent extent = {0, 0};
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageA(NULL, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!bitmap)
        return extent;

    HDC target = GetDC(window);
    HDC memory = CreateCompatibleDC(target);
    SelectObject(memory, bitmap);
    BITMAP description = {};
    GetObjectA(bitmap, sizeof description, &description);
    extent.width = description.bmWidth;
    extent.height = description.bmHeight;

    int x = 0;
    int y = 0;
    if (centred) {
        // Ten pixels left of centre, as the intro picture has always been placed.
        x = GetDeviceCaps(target, HORZRES) / 2 - extent.width / 2 - 10;
        y = GetDeviceCaps(target, VERTRES) / 2 - extent.height / 2;
        // Placed on the screen, drawn through the window: what the window paints is never
        // erased after it.
        POINT origin = {0, 0};
        if (window && ClientToScreen(window, &origin)) {
            x -= origin.x;
            y -= origin.y;
        }
    }
    BitBlt(target, x, y, extent.width, extent.height, memory, 0, 0, SRCCOPY);

    DeleteDC(memory);
    ReleaseDC(window, target);
    DeleteObject(bitmap);
    return extent;
}
