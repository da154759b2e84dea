// The application, one section per file: entry point, main window, commands, bitmap
// display and export.
#pragma once

#include "shell/state.h"

// --- main_window.cpp: WinMain, the window class and the message loop -----------------
extern const char kMainWindowClass[];

// --- window_proc.cpp: the window procedure, painting and the menu commands -----------
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Draws the BMP or TVQ file on view at (0, 0) of the window; its size becomes CurrentExtent.
void DrawImageOnView(HWND window, HDC context);

// --- import.cpp: the import commands and the file dialog record ----------------------
void ImportBitmapCommand(HWND window, HINSTANCE instance);
void ImportTvqCommand(HWND window, HINSTANCE instance);
// CurrentPath takes the name the last file dialog chose.
void AdoptSelectedPath();
// Fills a file dialog record that returns its choice in SelectedPath, which is emptied.
void PrepareFileDialog(OPENFILENAMEA* record, HWND window, HINSTANCE instance, const char* filter,
                       const char* defaultExtension, DWORD flags, char* titleBuffer);

// --- file_argument.cpp: a file named on the command line ------------------------------
// Views the file that the command line names, a TVQ file when its name ends in ".tvq" in
// any case and a BMP file otherwise, as if it had been imported. Without one, nothing changes.
void OpenFileArgument(HWND window, const char* commandLine);

// --- bitmap_display.cpp: BMP files on the screen --------------------------------------
// Draws a BMP file into the window (the whole screen when `window` is NULL): at its (0, 0),
// or, when `centred` is set, centred on the screen ten pixels to the left. Returns its
// size, (0, 0) when it cannot be loaded.
ImageExtent DrawBitmapFile(const char* path, HWND window, bool centred);

// --- export.cpp: Export > BMP File ------------------------------------------------------
void ExportBitmapCommand(HWND window, HINSTANCE instance);
// Reads the image back from the window's drawing area, as the window shows it, and writes
// it as a BMP file. Returns whether the file was completely written.
bool ExportDisplayedImage(const char* path, ImageExtent extent, HWND window);
