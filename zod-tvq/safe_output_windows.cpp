// SafeOutput with Windows' own calls: a temporary file made with CREATE_NEW beside the
// target, FlushFileBuffers, then MoveFileExW with MOVEFILE_WRITE_THROUGH, and
// MOVEFILE_REPLACE_EXISTING only when replacing was asked for, so that without it a file
// that appeared meanwhile is never replaced. A read-only target is refused even then.
// Ctrl+C, Ctrl+Break and closing the console remove the temporary file. A file is known by
// its volume serial number and file index, whatever name reaches it.
#include "zod-tvq/safe_output.h"

#include "zod-tvq/file_facts_windows.h"
#include "zod-tvq/messages.h"
#include "zod-tvq/utf8_path.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <vector>

namespace zod::cli {

namespace {

// The temporary file the console handler must remove: one output is written at a time.
wchar_t pendingPath[32768];
volatile LONG pendingSet = 0;

BOOL WINAPI RemovePendingOnInterrupt(DWORD) {
    if (InterlockedCompareExchange(&pendingSet, 0, 0))
        DeleteFileW(pendingPath); // made with FILE_SHARE_DELETE: goes even while open
    return FALSE;                 // and the default handler ends the process
}

std::wstring Wide(const std::string& utf8) {
    return PathOf(utf8).wstring();
}

void SetPending(const std::wstring& path) {
    if (path.size() < sizeof pendingPath / sizeof pendingPath[0]) {
        wmemcpy(pendingPath, path.c_str(), path.size() + 1);
        InterlockedExchange(&pendingSet, 1);
    }
}

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message =
        text ? std::filesystem::path(text).string() : "error " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' '))
        message.pop_back();
    if (!message.empty() && message[0] >= 'A' && message[0] <= 'Z')
        message[0] = char(message[0] - 'A' + 'a');
    return message;
}

bool IsReadOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

} // namespace

std::vector<FileIdentity> IdentitiesOf(const std::vector<std::string>& paths) {
    std::vector<FileIdentity> identities;
    for (const std::string& path : paths) {
        HANDLE file = OpenForFacts(path, 0);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        FileIdentity identity{};
        uint64_t size = 0;
        std::string kind;
        if (RegularFileFacts(file, &identity, &size, &kind))
            identities.push_back(identity);
        CloseHandle(file);
    }
    return identities;
}

std::string OutputRefusal(const std::string& target, const std::vector<FileIdentity>& inputs) {
    HANDLE file = OpenForFacts(target, 0);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // Nothing there yet; a name Windows rejects gets the system's own word on creation.
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            code == ERROR_INVALID_NAME)
            return "";
        // Something is there that cannot even be looked at (CON without a console, say).
        return Printable(target) + " cannot be examined (" + SystemMessage(code) +
               "); not replaced";
    }
    FileIdentity identity{};
    uint64_t size = 0;
    std::string kind;
    const bool regular = RegularFileFacts(file, &identity, &size, &kind);
    CloseHandle(file);
    return RefusalOf(target, identity, regular ? nullptr : kind.c_str(), inputs);
}

bool SafeOutput::Fail(const std::string& what) {
    error_ = what + ": " + SystemMessage(GetLastError());
    return false;
}

bool SafeOutput::Create(const std::string& target, const std::vector<FileIdentity>* inputs) {
    Abandon();
    target_ = target;
    inputs_ = inputs;
    if (Refused())
        return false;
    if (IsReadOnly(Wide(target))) {
        error_ = target + " is read-only";
        return false;
    }
    const std::filesystem::path targetPath = PathOf(target);
    const std::filesystem::path folder =
        targetPath.has_parent_path() ? targetPath.parent_path() : std::filesystem::path(L".");
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[16];
        swprintf(suffix, 16, L"%08x", unsigned(random()));
        // As short whatever the target's name: that may already be as long as allowed.
        const std::wstring name = (folder / (std::wstring(L".zod-tvq-") + suffix)).wstring();
        // CREATE_NEW: nothing already there is opened, not even a planted link.
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            fd_ = _open_osfhandle(intptr_t(file), _O_WRONLY | _O_BINARY);
            if (fd_ < 0) {
                CloseHandle(file);
                DeleteFileW(name.c_str());
                return Fail("cannot create a file in " + folder.string());
            }
            temporary_ = std::filesystem::path(name).string();
            SetPending(name);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return Fail("cannot create a file in " + folder.string());
}

void SafeOutput::Attach(int fd) {
    Abandon();
    target_ = "the output";
    fd_ = fd;
    attached_ = true;
}

bool SafeOutput::AttachStandardOutput() {
    Attach(_fileno(stdout));
    target_ = "standard output";
    _setmode(fd_, _O_BINARY);
    return true;
}

bool SafeOutput::Write(const void* data, size_t size) {
    iovec piece{const_cast<void*>(data), size};
    return WritePieces(&piece, 1);
}

bool SafeOutput::WritePieces(iovec* pieces, int count) {
    // Windows has no gathering write: small pieces (a BMP band's rows) are gathered here,
    // so that a band costs a few WriteFile calls rather than one a row.
    constexpr size_t kGather = 1 << 20;
    static std::vector<char> gathered;
    HANDLE file = HANDLE(_get_osfhandle(fd_));
    auto writeAll = [&](const char* data, size_t left) {
        while (left > 0) {
            const DWORD chunk = left > (1u << 30) ? DWORD(1u << 30) : DWORD(left);
            DWORD written = 0;
            if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
                return false;
            data += written;
            left -= written;
        }
        return true;
    };
    gathered.clear();
    for (int i = 0; i < count; ++i) {
        const char* data = static_cast<const char*>(pieces[i].iov_base);
        const size_t size = pieces[i].iov_len;
        if (gathered.size() + size > kGather) {
            if (!writeAll(gathered.data(), gathered.size()))
                return Fail("cannot write " + target_);
            gathered.clear();
        }
        if (size >= kGather) {
            if (!writeAll(data, size))
                return Fail("cannot write " + target_);
        } else {
            gathered.insert(gathered.end(), data, data + size);
        }
    }
    if (!writeAll(gathered.data(), gathered.size()))
        return Fail("cannot write " + target_);
    return true;
}

bool SafeOutput::Commit(bool replace, bool sync) {
    if (attached_)
        return true; // every write was checked
    HANDLE file = HANDLE(_get_osfhandle(fd_));
    if (sync && !FlushFileBuffers(file))
        return Fail("cannot write " + target_);
    const int fd = fd_;
    fd_ = -1;
    if (_close(fd) != 0)
        return Fail("cannot write " + target_);
    const std::wstring target = Wide(target_);
    // What appeared at the name meanwhile is looked at once more just before it is replaced.
    if (Refused())
        return false;
    // Windows refuses to replace a read-only file; so does Wine's MoveFileExW only sometimes.
    if (IsReadOnly(target)) {
        error_ = target_ + " is read-only";
        return false;
    }
    DWORD flags = MOVEFILE_WRITE_THROUGH;
    if (replace)
        flags |= MOVEFILE_REPLACE_EXISTING;
    if (!MoveFileExW(Wide(temporary_).c_str(), target.c_str(), flags)) {
        const DWORD code = GetLastError();
        if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
            error_ = target_ + " exists; --force replaces it";
            return false;
        }
        SetLastError(code);
        return Fail("cannot write " + target_);
    }
    InterlockedExchange(&pendingSet, 0);
    temporary_.clear();
    return true;
}

void SafeOutput::Abandon() {
    if (fd_ >= 0 && !attached_)
        _close(fd_);
    attached_ = false;
    fd_ = -1;
    if (!temporary_.empty()) {
        DeleteFileW(Wide(temporary_).c_str());
        InterlockedExchange(&pendingSet, 0);
        temporary_.clear();
    }
}

void InstallOutputSignalHandlers() {
    SetConsoleCtrlHandler(RemovePendingOnInterrupt, TRUE);
}

} // namespace zod::cli
