#include "settings/stored_factor.h"

#include <cstdlib>
#include <cwchar>

SettingsPath SettingsFilePath(bool) {
    return SettingsPath{"c:\\windows\\RARURI.ini"};
}

FILE* OpenViewerSettingsFile() {
    // Wide calls: a user profile's folder name need not fit the ANSI code page.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local && *local) {
        static const wchar_t kTail[] = L"\\VirtualStore\\Windows\\RARURI.ini";
        constexpr size_t kTailLength = sizeof kTail / sizeof kTail[0]; // with the NUL
        const size_t length = wcslen(local);
        wchar_t* path = static_cast<wchar_t*>(malloc((length + kTailLength) * sizeof(wchar_t)));
        if (path) {
            wmemcpy(path, local, length);
            wmemcpy(path + length, kTail, kTailLength);
            FILE* file = _wfopen(path, L"r");
            free(path);
            if (file)
                return file;
        }
    }
    return fopen(SettingsFilePath(false).text, "r");
}
