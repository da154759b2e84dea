// A file named on the command line, as Windows passes one when a file is dropped on the
// program or opened from a file manager: viewed at start, as if it had been imported.
#include "shell/shell.h"

#include <cctype>
#include <cstddef>
#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool EndsWithTvq(const char* path) {
    size_t length = strlen(path);
    if (length < 4)
        return false;
    const char* extension = path + length - 4;
    for (int i = 0; i < 4; ++i)
        if (tolower(static_cast<unsigned char>(extension[i])) != ".tvq"[i])
            return false;
    return true;
}

// The first argument, unquoted by Windows' rules: quotes group blanks, a backslash escapes a quote,
// and backslashes before a quote pair up; elsewhere a backslash is only a backslash.
bool FirstCommandLineArgument(const char* commandLine, char* argument, size_t capacity) {
    const char* p = commandLine ? commandLine : "";
    while (IsBlank(*p))
        ++p;
    if (!*p)
        return false;
    size_t length = 0;
    bool quoted = false;
    bool fits = true;
    auto append = [&](char c, size_t count) {
        for (; count > 0; --count) {
            if (length + 1 >= capacity)
                fits = false;
            else
                argument[length++] = c;
        }
    };
    while (*p && (quoted || !IsBlank(*p))) {
        size_t backslashes = 0;
        while (p[backslashes] == '\\')
            ++backslashes;
        p += backslashes;
        if (*p != '"') {
            append('\\', backslashes);
            if (*p && (quoted || !IsBlank(*p)))
                append(*p++, 1);
            continue;
        }
        append('\\', backslashes / 2);
        if (backslashes % 2)
            append('"', 1);
        else
            quoted = !quoted;
        ++p;
    }
    argument[length] = '\0';
    // A name cut short would be another file.
    return fits && length > 0;
}

} // namespace

void OpenFileArgument(HWND window, const char* commandLine) {
    if (!FirstCommandLineArgument(commandLine, SelectedPath, kPathCapacity))
        return;
    // The file is first read by the repaint that follows, as after an import.
    CurrentViewMode = EndsWithTvq(SelectedPath) ? VIEW_TVQ : VIEW_BITMAP;
    AdoptSelectedPath();
    InvalidateRect(window, NULL, TRUE);
}
