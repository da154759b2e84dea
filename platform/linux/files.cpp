// Files as the program replaces them: a new file made exclusively, written, flushed to the
// disk and renamed over the old one, which is refused when the old one is read-only.
#include "file_creation.h"
#include "common/folder_sync.h"
#include "state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace zod;

namespace {

DWORD lastError = 0;
std::function<void(const char*)> creationWatch;

BOOL Fail(DWORD error) {
    lastError = error;
    return FALSE;
}

DWORD ErrorOf(int posixError) {
    switch (posixError) {
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

FileObject* FindFile(HANDLE file) {
    return State().handles.Get<FileObject>(file, HandleKind::File);
}

void SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    SyncFolder(folder.c_str());
}

} // namespace

void zod::WatchFileCreation(std::function<void(const char*)> watch) {
    creationWatch = std::move(watch);
}

FileObject::~FileObject() {
    if (fd >= 0)
        close(fd);
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD, LPVOID, DWORD disposition, DWORD,
                          HANDLE) {
    const bool create = access == GENERIC_WRITE && disposition == CREATE_NEW;
    const bool query = access == 0 && disposition == OPEN_EXISTING;
    if (!name || (!create && !query)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_unique<FileObject>();
    if (create) {
        if (creationWatch)
            creationWatch(name);
        // O_EXCL also refuses a symbolic link at the name, even one that leads nowhere.
        file->fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } else {
        // Follows links, as Windows does; the handle can only be asked where it leads.
        file->fd = open(name, O_PATH | O_CLOEXEC);
        char* resolved = file->fd >= 0 ? realpath(name, nullptr) : nullptr;
        if (file->fd >= 0 && !resolved) {
            close(file->fd);
            file->fd = -1;
        }
        if (resolved) {
            file->finalPath = resolved;
            free(resolved);
        }
    }
    if (file->fd < 0) {
        Fail(ErrorOf(errno));
        return INVALID_HANDLE_VALUE;
    }
    return State().handles.Add(HandleKind::File, std::move(file));
}

DWORD WINAPI GetFinalPathNameByHandleA(HANDLE handle, LPSTR path, DWORD capacity, DWORD) {
    FileObject* file = FindFile(handle);
    if (!file || file->finalPath.empty())
        return Fail(ERROR_INVALID_PARAMETER);
    const size_t length = file->finalPath.size();
    if (!path || capacity <= length)
        return DWORD(length + 1); // what it needs, its end included
    memcpy(path, file->finalPath.c_str(), length + 1);
    return DWORD(length);
}

DWORD WINAPI GetFileAttributesA(LPCSTR name) {
    struct stat info;
    if (!name || lstat(name, &info) != 0) {
        Fail(name ? ErrorOf(errno) : ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    // A link is itself, as on Windows; the mode bits make a file read-only, even for root.
    if (S_ISLNK(info.st_mode))
        return FILE_ATTRIBUTE_REPARSE_POINT;
    if (S_ISDIR(info.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    return info.st_mode & S_IWUSR ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

BOOL WINAPI WriteFile(HANDLE handle, const void* data, DWORD bytes, DWORD* written, LPVOID) {
    FileObject* file = FindFile(handle);
    if (written)
        *written = 0;
    if (!file || (!data && bytes))
        return Fail(ERROR_INVALID_PARAMETER);
    const auto* from = static_cast<const uint8_t*>(data);
    DWORD done = 0;
    while (done < bytes) {
        const ssize_t n = write(file->fd, from + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (written)
                *written = done;
            return Fail(n < 0 ? ErrorOf(errno) : ERROR_INVALID_PARAMETER);
        }
        done += DWORD(n);
    }
    if (written)
        *written = done;
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE handle) {
    FileObject* file = FindFile(handle);
    if (!file)
        return Fail(ERROR_INVALID_PARAMETER);
    return fsync(file->fd) == 0 ? TRUE : Fail(ErrorOf(errno));
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    FileObject* file = FindFile(handle);
    if (!file)
        return Fail(ERROR_INVALID_PARAMETER);
    // close() can report a write that failed late (NFS, a full disk); the handle goes anyway.
    const int fd = file->fd;
    file->fd = -1;
    State().handles.Remove(handle);
    return close(fd) == 0 ? TRUE : Fail(ErrorOf(errno));
}

BOOL WINAPI DeleteFileA(LPCSTR name) {
    if (!name)
        return Fail(ERROR_INVALID_PARAMETER);
    return unlink(name) == 0 ? TRUE : Fail(ErrorOf(errno));
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags) {
    if (!existing || !replacement || !(flags & MOVEFILE_REPLACE_EXISTING))
        return Fail(ERROR_INVALID_PARAMETER);
    // Windows will not replace a read-only file. Permissions would not stop root, so look
    // at the mode itself.
    struct stat target;
    if (lstat(replacement, &target) == 0 && S_ISREG(target.st_mode) && !(target.st_mode & S_IWUSR))
        return Fail(ERROR_ACCESS_DENIED);
    // rename(2) replaces the target atomically.
    if (std::rename(existing, replacement) != 0)
        return Fail(ErrorOf(errno));
    if (flags & MOVEFILE_WRITE_THROUGH)
        SyncFolderOf(replacement);
    return TRUE;
}

DWORD WINAPI GetLastError() {
    return lastError;
}
