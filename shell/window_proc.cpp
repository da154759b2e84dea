// The main window's procedure: view state, painting and the menu commands.
#include "shell/shell.h"

#include "formats/core/tvq_levels.h"
#include "formats/tvq_draw.h"
#include "settings/settings.h"
#include "shell/commands.h"

namespace {

const char kAboutCaption[] = "About ZOD Edozuv";
const char kAboutText[] = "ZOD Edozuv 1.0\n"
                          "A viewer for TVQ images with colour amplification.\n"
                          "Written by the ZOD Edozuv developers.";
const char kIntroPicture[] = "intro.bmp";

// The Level commands follow one another, so Level n is IDM_LEVEL1 + n - 1.
static_assert(IDM_LEVEL5 - IDM_LEVEL1 + 1 == kTvqLevelCount, "one command per Level");

LRESULT OnCreate(HWND window) {
    AmplificationFactor = ReadSettings(window);
    InvalidateRect(window, NULL, TRUE);
    return 0;
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC context = BeginPaint(window, &paint);
    if (CurrentViewMode == VIEW_INTRO)
        DrawBitmapFile(kIntroPicture, window, true); // not the image on view: no extent
    else
        DrawImageOnView(window, context);
    EndPaint(window, &paint);
}

void OnLevel(HWND window, int32_t factor) {
    AmplificationFactor = factor;
    InvalidateRect(window, NULL, TRUE);
}

void OnCommand(HWND window, int command) {
    switch (command) {
    case IDM_EXPORT_TVQ:
        break; // greyed: TVQ files are never written
    case IDM_EXPORT_BMP:
        ExportBitmapCommand(window, InstanceHandle);
        break;
    case IDM_ABOUT:
        MessageBoxExA(window, kAboutText, kAboutCaption, MB_OK, 0);
        break;
    case IDM_EXIT:
        WriteSettings(window, AmplificationFactor);
        PostQuitMessage(0);
        break;
    case IDM_IMPORT_TVQ:
        ImportTvqCommand(window, InstanceHandle);
        break;
    case IDM_IMPORT_BMP:
        ImportBitmapCommand(window, InstanceHandle);
        break;
    default:
        if (command >= IDM_LEVEL1 && command <= IDM_LEVEL5)
            OnLevel(window, TvqLevelFactor(command - IDM_LEVEL1 + 1));
        break;
    }
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        PostQuitMessage(0); // closed without File > Exit: the factor is not saved
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void DrawImageOnView(HWND window, HDC context) {
    switch (CurrentViewMode) {
    case VIEW_BITMAP:
        CurrentExtent = DrawBitmapFile(CurrentPath, window, false);
        break;
    case VIEW_TVQ:
        CurrentExtent = DrawTvqFile(CurrentPath, context, AmplificationFactor);
        break;
    case VIEW_INTRO:
        break; // nothing has been drawn in the window: the extent stays (0, 0)
    }
}
