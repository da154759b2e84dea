#include "zod-tvq/standard_streams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zod::cli {

namespace {

std::string DescriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

std::string StandardInputPath(uint64_t limit, std::string* reason) {
    struct stat status;
    // Opening the path starts at the file's beginning, which is where standard input stands
    // only when nothing has read from it yet: `(read head; zod-tvq info -) <file`.
    if (fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode) &&
        lseek(STDIN_FILENO, 0, SEEK_CUR) == 0)
        return DescriptorPath(STDIN_FILENO);
    // A pipe or a terminal cannot seek: keep what it gives from here on, as for a file read
    // in part. tmpfile() removes its name at once, so nothing is left behind however the
    // process ends.
    FILE* copy = tmpfile();
    const bool ok = copy != nullptr && CopyStandardInput(copy, limit);
    if (ok && ferror(stdin)) {
        *reason = std::string("cannot read standard input: ") + strerror(errno);
        return "";
    }
    if (!ok || fflush(copy) != 0) {
        *reason = std::string("cannot keep standard input in a temporary file: ") + strerror(errno);
        return "";
    }
    return DescriptorPath(fileno(copy));
}

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

std::string InputName(const std::string& name) {
    return IsStandardStream(name) ? "standard input" : name;
}

} // namespace zod::cli
