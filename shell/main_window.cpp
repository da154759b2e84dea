#include "shell/shell.h"

const char kMainWindowClass[] = "ZOD Edozuv";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "TVQ_BIG");
    windowClass.hCursor = LoadCursorA(instance, "TVQ_CURSOR");
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = "TVQ_MENU";
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassA(&windowClass))
        return 0;

    // The settings are read while the window is created (WM_CREATE). It is made as large as
    // the screen: under Wine without a window manager, a window made smaller could keep its
    // first size on the X server although it was maximised, and be cut there.
    HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowClass, WS_POPUP | WS_CLIPSIBLINGS,
                                  0, 0, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), NULL, NULL, instance, NULL);
    if (!window)
        return 0;
    // A file named on the command line is what the first paint shows.
    OpenFileArgument(window, commandLine);
    // Always full screen, whatever show command we were started with.
    ShowWindow(window, SW_MAXIMIZE);
    UpdateWindow(window);
    InstanceHandle = instance;

    MSG message = {};
    // GetMessageA returns -1 on failure; treat that as the end rather than spin.
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
