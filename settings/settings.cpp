#include "settings/settings.h"

#include "common/atomic_file.h"

#include <cstdio>
#include <cstring>

namespace {

const char kReadErrorText[] = "There was an error reading RARURI.INI\nLoading Default settings...";
const char kReadErrorCaption[] = "Initialization Error";
const char kCreateErrorText[] = "THERE WAS A CRITICAL ERROR CREATING RARURI.ININN";
const char kCreateErrorCaption[] = "CRITICAL ERROR";
const char kUpdateErrorText[] = "There was an error updating RARURI.INI";
const char kUpdateErrorCaption[] = "Update Error";

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Leading white space, an optional sign and decimal digits; whatever follows is ignored.
// A file with no number, or one outside 32 bits, gives the default.
int32_t ParseFactor(FILE* file) {
    int c = fgetc(file);
    while (IsSpace(c))
        c = fgetc(file);
    bool negative = false;
    if (c == '-' || c == '+') {
        negative = c == '-';
        c = fgetc(file);
    }
    if (c < '0' || c > '9')
        return kDefaultAmplificationFactor;
    int64_t value = 0;
    const int64_t limit = negative ? -int64_t(INT32_MIN) : int64_t(INT32_MAX);
    for (; c >= '0' && c <= '9'; c = fgetc(file)) {
        value = value * 10 + (c - '0');
        if (value > limit)
            return kDefaultAmplificationFactor;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

bool StoreFactor(int32_t factor) {
    const char* path = SettingsFilePath(true);
    char text[16];
    int length = snprintf(text, sizeof text, "%d", static_cast<int>(factor));
    FilePiece piece = {text, static_cast<size_t>(length)};
    return *path && ReplaceFileContents(path, &piece, 1);
}

} // namespace

int32_t ReadSettings(HWND owner) {
    const char* path = SettingsFilePath(false);
    FILE* file = *path ? fopen(path, "r") : NULL;
    if (!file) {
        MessageBoxA(owner, kReadErrorText, kReadErrorCaption, MB_OK | MB_ICONHAND);
        WriteDefaultSettings(owner);
        return kDefaultAmplificationFactor;
    }
    int32_t factor = ParseFactor(file);
    fclose(file);
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
