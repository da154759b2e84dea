#include "files/replace_file.h"

#include "platform/win32.h"

#include <cstdint>
#include <cstring>

namespace {

// "~" and five random characters in the target's folder: so short that beside any target
// the program's path buffer holds, the temporary file's path still fits in MAX_PATH.
const char kTemporaryMark = '~';
const int kRandomCharacters = 5;
const char kRandomAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const int kNameAttempts = 64;
const DWORD kLargestWrite = DWORD(1) << 30;
const char kLongPathPrefix[] = "\\\\?\\";
const char kLongUncPrefix[] = "\\\\?\\UNC\\";

// A name no one can foresee, so that nobody can make it fail on purpose; the file is
// made only where nothing, not even a link, has that name yet. `temporary` holds the
// folder's part of the path already, `nameAt` characters of it.
HANDLE CreateTemporaryIn(char* temporary, size_t nameAt) {
    static DWORD counter = 0;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        DWORD mix = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (++counter * 0x9E3779B9u);
        mix ^= DWORD(reinterpret_cast<uintptr_t>(&mix));
        mix ^= mix >> 15;
        mix *= 0x2C1B3C6Du;
        mix ^= mix >> 12;
        char* name = temporary + nameAt;
        *name++ = kTemporaryMark;
        for (int i = 0; i < kRandomCharacters; ++i, mix /= 36)
            *name++ = kRandomAlphabet[mix % 36];
        *name = '\0';
        HANDLE file =
            CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// The file that `path` stands for, behind any symbolic links, in a new[] string: the
// file is replaced there and the links stay. A file that does not exist yet is `path`
// itself; NULL when what is there cannot be followed.
char* FinalPathOf(const char* path) {
    char* resolved = NULL;
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        // Nothing there yet. A link that leads nowhere is refused rather than replaced.
        if (GetLastError() != ERROR_FILE_NOT_FOUND ||
            GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            return NULL;
        resolved = new char[strlen(path) + 1];
        memcpy(resolved, path, strlen(path) + 1);
        return resolved;
    }
    // One more than asked for: Wine's answer leaves out the terminating NUL.
    const DWORD capacity = GetFinalPathNameByHandleA(file, NULL, 0, 0) + 1;
    if (capacity > 1) {
        resolved = new char[capacity];
        const DWORD length = GetFinalPathNameByHandleA(file, resolved, capacity, 0);
        if (length == 0 || length >= capacity) {
            delete[] resolved;
            resolved = NULL;
        }
    }
    CloseHandle(file);
    if (!resolved)
        return NULL;
    // "\\?\C:\..." is "C:\...", and "\\?\UNC\host\..." is "\\host\...", as the other calls take
    // them.
    size_t skip = 0;
    if (strncmp(resolved, kLongUncPrefix, sizeof kLongUncPrefix - 1) == 0) {
        skip = sizeof kLongUncPrefix - 3;
        resolved[skip] = '\\';
    } else if (strncmp(resolved, kLongPathPrefix, sizeof kLongPathPrefix - 1) == 0) {
        skip = sizeof kLongPathPrefix - 1;
    }
    memmove(resolved, resolved + skip, strlen(resolved + skip) + 1);
    return resolved;
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
    char* target = FinalPathOf(path);
    if (!target)
        return false;
    // Windows' own rename replaces a read-only file anyway on some systems (Wine's does).
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        delete[] target;
        return false;
    }
    // In the target's folder, so that the rename never crosses file systems.
    const char* slash = strrchr(target, '/');
    const char* backslash = strrchr(target, '\\');
    const char* nameStart = slash > backslash ? slash + 1 : backslash ? backslash + 1 : target;
    const size_t nameAt = size_t(nameStart - target);
    char* temporary = new char[nameAt + 1 + kRandomCharacters + 1];
    memcpy(temporary, target, nameAt);
    HANDLE file = CreateTemporaryIn(temporary, nameAt);
    bool ok = false;
    if (file != INVALID_HANDLE_VALUE) {
        ok = WriteAll(file, pieces, count);
        // On the disk before it takes the target's name: after a power loss the target
        // holds the old content or the new, never an empty file.
        ok = FlushFileBuffers(file) && ok;
        ok = CloseHandle(file) && ok;
        ok = ok &&
             MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!ok)
            DeleteFileA(temporary);
    }
    delete[] temporary;
    delete[] target;
    return ok;
}
