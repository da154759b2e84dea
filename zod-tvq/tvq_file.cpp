// ReadTvqFacts with POSIX calls; tvq_file_windows.cpp is Windows' own.
#include "zod-tvq/tvq_input.h"

#include "zod-tvq/messages.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zod::cli {

bool ReadTvqFacts(const std::string& path, TvqFacts* facts, std::string* reason) {
    reason->clear();
    // Without O_NONBLOCK, opening a named pipe waits for a writer, forever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *reason = strerror(errno);
        return false;
    }
    struct stat status;
    uint8_t header[kTvqSizeFieldsBytes] = {};
    if (fstat(fd, &status) != 0) {
        *reason = strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        *reason = std::string("is ") + FileKind(status.st_mode) + ", not a regular file";
    } else {
        const ssize_t got = pread(fd, header, sizeof header, 0);
        if (got < 0)
            *reason = strerror(errno);
        else
            *facts = FactsOf(header, uint64_t(status.st_size));
        facts->device = uint64_t(status.st_dev);
        facts->inode = uint64_t(status.st_ino);
    }
    close(fd);
    return reason->empty();
}

FILE* OpenRegularFile(const std::string& path, std::string* reason) {
    reason->clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat status;
    if (fstat(fd, &status) != 0)
        *reason = strerror(errno);
    else if (!S_ISREG(status.st_mode))
        *reason = std::string("is ") + FileKind(status.st_mode) + ", not a regular file";
    if (!reason->empty()) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

} // namespace zod::cli
