#include "settings/stored_factor.h"

#include "common/types.h"

#include <sys/stat.h>

namespace {

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The factor at the start of a text that `next` gives a byte at a time, EOF at its end.
template <typename Next> int32_t ParseFactor(Next next) {
    int c = next();
    while (IsSpace(c))
        c = next();
    bool negative = false;
    if (c == '-' || c == '+') {
        negative = c == '-';
        c = next();
    }
    if (c < '0' || c > '9')
        return kDefaultAmplificationFactor;
    int64_t value = 0;
    const int64_t limit = negative ? -int64_t(INT32_MIN) : int64_t(INT32_MAX);
    for (; c >= '0' && c <= '9'; c = next()) {
        value = value * 10 + (c - '0');
        if (value > limit)
            return kDefaultAmplificationFactor;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

} // namespace

int32_t ParseStoredFactor(FILE* file) {
    return ParseFactor([file] { return fgetc(file); });
}

int32_t ParseStoredFactorPrefix(FILE* file) {
    unsigned char text[kSavedFactorPrefixBytes];
    const size_t size = fread(text, 1, sizeof text, file);
    size_t at = 0;
    bool cut = false; // the parse wanted a byte past the prefix, and the file goes on
    const int32_t factor = ParseFactor([&]() -> int {
        if (at < size)
            return text[at++];
        cut = size == sizeof text && fgetc(file) != EOF;
        return EOF;
    });
    return cut ? kDefaultAmplificationFactor : factor;
}

FILE* OpenSettingsFileAt(const char* path) {
    struct stat status;
    if (!path[0] || stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    return fopen(path, "r");
}

bool LoadStoredFactor(int32_t* factor) {
    FILE* file = OpenSettingsFileAt(SettingsFilePath(false).text);
    if (!file)
        return false;
    const int32_t parsed = ParseStoredFactor(file);
    // A folder opens on some systems but cannot be read, as on Windows it cannot be opened.
    const bool read = !ferror(file);
    fclose(file);
    if (read)
        *factor = parsed;
    return read;
}

int32_t SavedFactorOrDefault() {
    FILE* file = OpenViewerSettingsFile();
    if (!file)
        return kDefaultAmplificationFactor;
    const int32_t factor = ParseStoredFactorPrefix(file);
    const bool read = !ferror(file);
    fclose(file);
    return read ? factor : kDefaultAmplificationFactor;
}
