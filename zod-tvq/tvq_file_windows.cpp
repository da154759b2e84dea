// ReadTvqFacts with Windows' calls: a device (NUL, CON, COM1), a pipe or a folder is refused
// before anything is read from it.
#include "zod-tvq/tvq_input.h"

#include "zod-tvq/file_facts_windows.h"

#include <io.h>

namespace zod::cli {

namespace {

std::string SystemReason(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "No such file or directory";
    case ERROR_ACCESS_DENIED:
        return "Permission denied";
    case ERROR_SHARING_VIOLATION:
        return "in use by another program";
    default:
        return "cannot be opened (error " + std::to_string(code) + ")";
    }
}

} // namespace

bool ReadTvqFacts(const std::string& path, TvqFacts* facts, std::string* reason) {
    reason->clear();
    HANDLE file = OpenForFacts(path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) {
        *reason = SystemReason(GetLastError());
        return false;
    }
    FileIdentity identity{};
    uint64_t size = 0;
    std::string kind;
    uint8_t header[kTvqSizeFieldsBytes] = {};
    DWORD got = 0;
    if (!RegularFileFacts(file, &identity, &size, &kind))
        *reason = "is " + kind + ", not a regular file";
    else if (!ReadFile(file, header, sizeof header, &got, nullptr))
        *reason = SystemReason(GetLastError());
    else
        *facts = FactsOf(header, size);
    facts->device = identity.device;
    facts->inode = identity.inode;
    CloseHandle(file);
    return reason->empty();
}

FILE* OpenRegularFile(const std::string& path, std::string* reason) {
    reason->clear();
    FILE* file = fopen(path.c_str(), "rb"); // UTF-8 names: main_windows.cpp
    if (!file)
        return nullptr;
    FileIdentity identity{};
    uint64_t size = 0;
    std::string kind;
    if (!RegularFileFacts(HANDLE(_get_osfhandle(_fileno(file))), &identity, &size, &kind)) {
        *reason = "is " + kind + ", not a regular file";
        fclose(file);
        return nullptr;
    }
    return file;
}

} // namespace zod::cli
