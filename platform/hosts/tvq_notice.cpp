// The terminal's line for a TVQ file that the plausibility rule refuses. The program draws
// it all the same, as it draws any file; the line says what zod-tvq info would.
#include "common/printable.h"
#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_plausible.h"
#include "platform/hosts/fltk_parts.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zod {

void SayWhyNotTvq(const std::string& path) {
    // A named pipe would wait for a writer: only a regular file is read.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat status;
    uint8_t start[kTvqSizeFieldsBytes] = {};
    const bool read = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                      pread(fd, start, sizeof start, 0) >= 0;
    close(fd);
    if (!read)
        return;
    const uint64_t fileBytes = uint64_t(status.st_size);
    const TvqVerdict verdict = TvqCheckStart(start, fileBytes);
    if (verdict == TVQ_PLAUSIBLE)
        return;
    char text[kTvqVerdictTextCapacity];
    TvqVerdictText(verdict, start, fileBytes, kTvqMaxPixels, text, sizeof text);
    std::fprintf(stderr, "zod-edozuv: %s: %s\n", Printable(path).c_str(), text);
}

} // namespace zod
