#include "settings/settings.h"

#include "files/replace_file.h"
#include "settings/stored_factor.h"

#include <cstdio>

namespace {

const char kReadErrorText[] = "There was an error reading RARURI.INI\nLoading Default settings...";
const char kReadErrorCaption[] = "Initialization Error";
const char kCreateErrorText[] = "THERE WAS A CRITICAL ERROR CREATING RARURI.ININN";
const char kCreateErrorCaption[] = "CRITICAL ERROR";
const char kUpdateErrorText[] = "There was an error updating RARURI.INI";
const char kUpdateErrorCaption[] = "Update Error";

bool StoreFactor(int32_t factor) {
    const SettingsPath path = SettingsFilePath(true);
    char text[16];
    int length = snprintf(text, sizeof text, "%d", static_cast<int>(factor));
    FilePiece piece = {text, static_cast<size_t>(length)};
    return path.text[0] && ReplaceFileContents(path.text, &piece, 1);
}

} // namespace

int32_t ReadSettings(HWND owner) {
    int32_t factor = kDefaultAmplificationFactor;
    if (!LoadStoredFactor(&factor)) {
        MessageBoxA(owner, kReadErrorText, kReadErrorCaption, MB_OK | MB_ICONHAND);
        WriteDefaultSettings(owner);
    }
    return factor;
}

void WriteDefaultSettings(HWND owner) {
    if (!StoreFactor(kDefaultAmplificationFactor)) {
        MessageBoxA(owner, kCreateErrorText, kCreateErrorCaption, MB_OK | MB_ICONHAND);
        PostQuitMessage(0);
    }
}

void WriteSettings(HWND owner, int32_t factor) {
    if (!StoreFactor(factor))
        MessageBoxA(owner, kUpdateErrorText, kUpdateErrorCaption, MB_OK | MB_ICONHAND);
}
