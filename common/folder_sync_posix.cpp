#include "common/folder_sync.h"

#include <fcntl.h>
#include <unistd.h>

namespace zod {

void SyncFolder(const char* folder) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace zod
