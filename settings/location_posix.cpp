// $XDG_CONFIG_HOME/zod-edozuv/RARURI.ini, or ~/.config/zod-edozuv/RARURI.ini.
#include "settings/stored_factor.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

bool MakeFolders(char* path) {
    // Every prefix of the folder, as mkdir -p does.
    for (char* p = path + 1; *p; ++p) {
        if (*p != '/')
            continue;
        *p = '\0';
        bool ok = mkdir(path, 0755) == 0 || errno == EEXIST;
        *p = '/';
        if (!ok)
            return false;
    }
    return mkdir(path, 0755) == 0 || errno == EEXIST;
}

} // namespace

SettingsPath SettingsFilePath(bool createFolder) {
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    SettingsPath path{};
    char folder[sizeof path.text];
    int length;
    // Relative values are ignored, as the base directory convention asks.
    if (config && config[0] == '/')
        length = snprintf(folder, sizeof folder, "%s/zod-edozuv", config);
    else if (home && home[0] == '/')
        length = snprintf(folder, sizeof folder, "%s/.config/zod-edozuv", home);
    else
        length = -1;
    if (length < 0 || size_t(length) + sizeof "/RARURI.ini" > sizeof path.text)
        return path;
    if (createFolder)
        MakeFolders(folder); // a failure shows when the file is written
    memcpy(path.text, folder, size_t(length));
    memcpy(path.text + length, "/RARURI.ini", sizeof "/RARURI.ini");
    return path;
}

FILE* OpenViewerSettingsFile() {
    return OpenSettingsFileAt(SettingsFilePath(false).text);
}
