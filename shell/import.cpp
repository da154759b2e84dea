// Import > TVQ File and Import > BMP File, and the file dialog record they share with
// the export.
#include "shell/shell.h"

#include <cstring>

namespace {

void RunImport(HWND window, HINSTANCE instance, const char* filter, const char* defaultExtension,
               ViewMode mode) {
    char title[kPathCapacity];
    OPENFILENAMEA record;
    PrepareFileDialog(&record, window, instance, filter, defaultExtension,
                      OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, title);
    if (!GetOpenFileNameA(&record))
        return;
    // The file is first read by the repaint that follows.
    CurrentViewMode = mode;
    AdoptSelectedPath();
    InvalidateRect(window, NULL, TRUE);
}

} // namespace

void PrepareFileDialog(OPENFILENAMEA* record, HWND window, HINSTANCE instance, const char* filter,
                       const char* defaultExtension, DWORD flags, char* titleBuffer) {
    memset(record, 0, sizeof *record);
    // The classic record size, which every version of the dialog accepts.
    record->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record->hwndOwner = window;
    record->hInstance = instance;
    record->lpstrFilter = filter;
    record->nFilterIndex = 1;
    SelectedPath[0] = '\0';
    record->lpstrFile = SelectedPath;
    record->nMaxFile = kPathCapacity;
    titleBuffer[0] = '\0';
    record->lpstrFileTitle = titleBuffer;
    record->nMaxFileTitle = kPathCapacity;
    record->Flags = flags;
    record->lpstrDefExt = defaultExtension;
}

void ImportBitmapCommand(HWND window, HINSTANCE instance) {
    RunImport(window, instance, "Bitmap Files (.bmp)\0*.bmp\0", "BMP", VIEW_BITMAP);
}

void ImportTvqCommand(HWND window, HINSTANCE instance) {
    RunImport(window, instance, "TVQ Files (.TVQ)\0*.tvq\0", "TVQ", VIEW_TVQ);
}

void AdoptSelectedPath() {
    // Bounded, so that even an unterminated buffer cannot overrun CurrentPath.
    size_t length = strnlen(SelectedPath, kPathCapacity - 1);
    memcpy(CurrentPath, SelectedPath, length);
    CurrentPath[length] = '\0';
}
