#include "zod-tvq/file_facts_windows.h"

#include "zod-tvq/utf8_path.h"

namespace zod::cli {

HANDLE OpenForFacts(const std::string& path, DWORD access) {
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder; no access right reads the facts of a file
    // that another program holds open.
    return CreateFileW(PathOf(path).wstring().c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool RegularFileFacts(HANDLE file, FileIdentity* identity, uint64_t* size, std::string* kind) {
    // NUL, CON, COM1 and pipes: what replacing or reading them would mean is not a file's.
    switch (GetFileType(file)) {
    case FILE_TYPE_DISK:
        break;
    case FILE_TYPE_PIPE:
        *kind = "a pipe";
        return false;
    default:
        *kind = "a device";
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information)) {
        *kind = "a file whose kind cannot be told";
        return false;
    }
    *identity = {information.dwVolumeSerialNumber,
                 uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
    *size = uint64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        *kind = "a folder";
        return false;
    }
    return true;
}

} // namespace zod::cli
