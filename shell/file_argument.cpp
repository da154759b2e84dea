// A file named on the command line, as Windows passes one when a file is dropped on the
// program or opened from a file manager: viewed at start, as if it had been imported.
#include "shell/shell.h"

#include "common/tvq_name.h"

#include <cstddef>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Appends `count` copies of `c` while they fit with the terminating NUL; `fits` records
// whether everything did.
void Append(char* argument, size_t capacity, size_t* length, bool* fits, char c, size_t count) {
    for (; count > 0; --count) {
        if (*length + 1 >= capacity)
            *fits = false;
        else
            argument[(*length)++] = c;
    }
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
    while (*p && (quoted || !IsBlank(*p))) {
        size_t backslashes = 0;
        while (p[backslashes] == '\\')
            ++backslashes;
        p += backslashes;
        if (*p != '"') {
            Append(argument, capacity, &length, &fits, '\\', backslashes);
            if (*p && (quoted || !IsBlank(*p)))
                Append(argument, capacity, &length, &fits, *p++, 1);
            continue;
        }
        Append(argument, capacity, &length, &fits, '\\', backslashes / 2);
        if (backslashes % 2)
            Append(argument, capacity, &length, &fits, '"', 1);
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
    CurrentViewMode = TvqNamed(SelectedPath) ? VIEW_TVQ : VIEW_BITMAP;
    AdoptSelectedPath();
    InvalidateRect(window, NULL, TRUE);
}
