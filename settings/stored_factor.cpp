#include "settings/stored_factor.h"

#include "common/types.h"

#include <sys/stat.h>

namespace {

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

int32_t ParseStoredFactor(FILE* file) {
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

FILE* OpenSettingsFileAt(const char* path) {
    struct stat status;
    if (!path[0] || stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    return fopen(path, "r");
}

namespace {

// Parses and closes `file`; a folder opens on some systems but cannot be read, as on
// Windows it cannot be opened.
bool ReadFactor(FILE* file, int32_t* factor) {
    if (!file)
        return false;
    const int32_t parsed = ParseStoredFactor(file);
    const bool read = !ferror(file);
    fclose(file);
    if (read)
        *factor = parsed;
    return read;
}

} // namespace

bool LoadStoredFactor(int32_t* factor) {
    return ReadFactor(OpenSettingsFileAt(SettingsFilePath(false).text), factor);
}

bool LoadViewerFactor(int32_t* factor) {
    return ReadFactor(OpenViewerSettingsFile(), factor);
}
