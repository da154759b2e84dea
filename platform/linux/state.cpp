// The subset's one state: the installed host and the virtual screen it shows.
#include "state.h"

#include <algorithm>

namespace zod {

PlatformState& State() {
    static PlatformState state;
    return state;
}

void InstallHost(Host* host) {
    PlatformState& s = State();
    s.handles.Clear();
    ForgetDecodedBitmap();
    s.classes.clear();
    s.queue.clear();
    s.quitPosted = false;
    s.quitCode = 0;
    s.host = host;
    s.screenWidth = 0;
    s.screenHeight = 0;
    s.drawnArea = RECT{0, 0, 0, 0};
    if (host)
        host->ScreenSize(s.screenWidth, s.screenHeight);
    s.screenWidth = std::max(0, s.screenWidth);
    s.screenHeight = std::max(0, s.screenHeight);
    // Zeroed by the system as it is first touched: most of it is drawn before it is shown.
    s.screen = NewPixelBuffer(size_t(s.screenWidth) * size_t(s.screenHeight));
    if (!s.screen)
        s.screenWidth = s.screenHeight = 0;
    auto brush = std::make_unique<BrushObject>();
    s.blackBrush = static_cast<HBRUSH>(s.handles.Add(HandleKind::Brush, std::move(brush), true));
    auto bitmap = std::make_unique<BitmapObject>();
    bitmap->width = bitmap->height = 1;
    bitmap->pixels = NewPixelBuffer(1);
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
    return State().screen.get();
}

COLORREF ScreenPixel(int x, int y) {
    if (x < 0 || y < 0 || x >= ScreenWidth() || y >= ScreenHeight())
        return CLR_INVALID;
    return State().screen[size_t(y) * size_t(ScreenWidth()) + size_t(x)];
}

RECT ScreenDrawnArea() {
    return State().drawnArea;
}

Surface ScreenSurface() {
    PlatformState& s = State();
    return Surface{s.screen.get(), s.screenWidth, s.screenHeight};
}

} // namespace zod
