#include "fuzz/fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace zod::fuzz {

namespace {

struct InputPath {
    std::string path;
    InputPath() {
        // In memory where possible: a file on a disk costs most of a run's time.
        const char* folder = std::getenv("TMPDIR");
        if (access("/dev/shm", W_OK) == 0)
            folder = "/dev/shm";
        path = std::string(folder && *folder ? folder : "/tmp") + "/zod-fuzz-XXXXXX";
        const int fd = mkstemp(path.data());
        if (fd < 0) {
            std::perror("zod-fuzz: temporary input file");
            std::abort();
        }
        close(fd);
    }
    ~InputPath() { unlink(path.c_str()); }
};

} // namespace

const char* InputFile(const uint8_t* data, size_t size) {
    static InputPath input;
    FILE* file = std::fopen(input.path.c_str(), "wb");
    FUZZ_CHECK(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
    return input.path.c_str();
}

const char* NamedPipe() {
    static const struct Pipe {
        std::string path = std::string(InputFile(nullptr, 0)) + ".pipe";
        Pipe() {
            unlink(path.c_str());
            FUZZ_CHECK(mkfifo(path.c_str(), 0600) == 0);
        }
        ~Pipe() { unlink(path.c_str()); }
    } pipe;
    return pipe.path.c_str();
}

} // namespace zod::fuzz
