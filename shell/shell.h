// The application: entry point, main window, commands, bitmap display and export.
#pragma once

#include "common/common.h"

extern const char kMainWindowClass[];

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void ImportBitmapCommand(HWND window, HINSTANCE instance);
void ImportTvqCommand(HWND window, HINSTANCE instance);
void AdoptSelectedPath();

// Draws a BMP file at (0, 0) of the window, or centred on the screen when `window` is
// NULL and `centred` is set. Returns its size, (0, 0) when it cannot be loaded.
ImageExtent DrawBitmapFile(const char* path, HWND window, bool centred);

// Draws the BMP or TVQ file on view at (0, 0) of the window; its size becomes CurrentExtent.
void DrawImageOnView(HWND window, HDC context);

void ExportBitmapCommand(HWND window, HINSTANCE instance);
// Reads the image back from the window's drawing area on the screen and writes it as a
// BMP file. Returns whether the file was completely written.
bool ExportDisplayedImage(const char* path, ImageExtent extent, HWND window);

// Fills a file dialog record that returns its choice in SelectedPath, which is emptied.
void PrepareFileDialog(OPENFILENAMEA* record, HWND window, HINSTANCE instance, const char* filter,
                       const char* defaultExtension, DWORD flags, char* titleBuffer);
