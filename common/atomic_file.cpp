#include "common/atomic_file.h"

#include "platform/win32.h"

#include <cstdio>
#include <cstring>

namespace {

const char kTemporarySuffix[] = ".zod-tmp";

bool WriteAll(FILE* file, const FilePiece* pieces, int count) {
    for (int i = 0; i < count; ++i)
        if (pieces[i].size > 0 && fwrite(pieces[i].data, 1, pieces[i].size, file) != pieces[i].size)
            return false;
    return true;
}

} // namespace

bool ReplaceFileContents(const char* path, const FilePiece* pieces, int count) {
    if (!path || !*path)
        return false;
    // Beside the target, so that the rename never crosses file systems.
    size_t length = strlen(path);
    char* temporary = new char[length + sizeof kTemporarySuffix];
    memcpy(temporary, path, length);
    memcpy(temporary + length, kTemporarySuffix, sizeof kTemporarySuffix);

    bool ok = false;
    FILE* file = fopen(temporary, "wb");
    if (file) {
        ok = WriteAll(file, pieces, count);
        ok = fflush(file) == 0 && ok; // a full disk often shows only here
        ok = fclose(file) == 0 && ok;
        ok = ok && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING);
        if (!ok)
            remove(temporary);
    }
    delete[] temporary;
    return ok;
}
