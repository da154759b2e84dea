#include "files/replace_file.h"

#include "platform/win32.h"

#include <cstdint>
#include <cstring>

namespace {

// "<target>.<8 hex digits>.zod-tmp"
const char kTemporarySuffix[] = ".zod-tmp";
const size_t kTemporaryExtra = 1 + 8 + sizeof kTemporarySuffix;
const int kNameAttempts = 64;
const DWORD kLargestWrite = DWORD(1) << 30;

// A name no one can foresee, so that nobody can make it fail on purpose; the file is
// made only where nothing, not even a link, has that name yet.
HANDLE CreateTemporaryBeside(const char* path, char* temporary) {
    static DWORD counter = 0;
    const size_t length = strlen(path);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        DWORD mix = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (++counter * 0x9E3779B9u);
        mix ^= DWORD(reinterpret_cast<uintptr_t>(&mix));
        mix ^= mix >> 15;
        mix *= 0x2C1B3C6Du;
        mix ^= mix >> 12;
        memcpy(temporary, path, length);
        temporary[length] = '.';
        for (int i = 0; i < 8; ++i)
            temporary[length + 1 + i] = "0123456789abcdef"[(mix >> (28 - 4 * i)) & 15];
        memcpy(temporary + length + 9, kTemporarySuffix, sizeof kTemporarySuffix);
        HANDLE file =
            CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const FilePiece* pieces, int count) {
    for (int i = 0; i < count; ++i) {
        const char* data = static_cast<const char*>(pieces[i].data);
        for (size_t left = pieces[i].size; left > 0;) {
            const DWORD bytes = left < kLargestWrite ? DWORD(left) : kLargestWrite;
            DWORD written = 0;
            if (!WriteFile(file, data, bytes, &written, NULL) || written != bytes)
                return false;
            data += bytes;
            left -= bytes;
        }
    }
    return true;
}

} // namespace

bool ReplaceFileContents(const char* path, const FilePiece* pieces, int count) {
    if (!path || !*path)
        return false;
    // Beside the target, so that the rename never crosses file systems.
    char* temporary = new char[strlen(path) + kTemporaryExtra];
    HANDLE file = CreateTemporaryBeside(path, temporary);
    bool ok = false;
    if (file != INVALID_HANDLE_VALUE) {
        ok = WriteAll(file, pieces, count);
        // On the disk before it takes the target's name: after a power loss the target
        // holds the old content or the new, never an empty file.
        ok = FlushFileBuffers(file) && ok;
        ok = CloseHandle(file) && ok;
        ok = ok && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!ok)
            DeleteFileA(temporary);
    }
    delete[] temporary;
    return ok;
}
