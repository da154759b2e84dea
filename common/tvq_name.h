// TVQ has no signature, so a file is known as TVQ by its name alone: one ending in ".tvq",
// in any case. The viewer's file argument, its desktop host and the Qt plugin ask this.
#pragma once

#include <cstddef>
#include <cstring>

inline bool TvqNamed(const char* path) {
    const size_t length = strlen(path);
    if (length < 4)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        const char c = path[length - 4 + i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != ".tvq"[i])
            return false;
    }
    return true;
}
