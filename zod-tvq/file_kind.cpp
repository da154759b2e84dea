// FileKind from a POSIX file mode: Linux only (Windows names kinds in file_facts_windows.cpp).
#include "zod-tvq/messages.h"

#include <sys/stat.h>

namespace zod::cli {

const char* FileKind(unsigned mode) {
    return S_ISREG(mode)    ? "a regular file"
           : S_ISDIR(mode)  ? "a folder"
           : S_ISFIFO(mode) ? "a named pipe"
           : S_ISCHR(mode)  ? "a character device"
           : S_ISBLK(mode)  ? "a block device"
           : S_ISSOCK(mode) ? "a socket"
           : S_ISLNK(mode)  ? "a symbolic link"
                            : "not a regular file";
}

} // namespace zod::cli
