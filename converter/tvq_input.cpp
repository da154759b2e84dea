#include "converter/tvq_input.h"

#include "converter/messages.h"
#include "formats/tvq_decode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zod::tvq {

bool ReadTvqFacts(const std::string& path, TvqFacts* facts, std::string* reason) {
    reason->clear();
    // Without O_NONBLOCK, opening a named pipe waits for a writer, forever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *reason = strerror(errno);
        return false;
    }
    struct stat status;
    uint8_t header[kTvqSizeFieldsBytes];
    if (fstat(fd, &status) != 0) {
        *reason = strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        *reason = std::string("is ") + FileKind(status.st_mode) + ", not a regular file";
    } else {
        const ssize_t got = pread(fd, header, sizeof header, 0);
        if (got < 0)
            *reason = strerror(errno);
        else if (size_t(got) != sizeof header)
            *reason = "shorter than the size fields";
        else
            *facts = FactsOf(header, uint64_t(status.st_size));
        facts->device = uint64_t(status.st_dev);
        facts->inode = uint64_t(status.st_ino);
    }
    close(fd);
    return reason->empty();
}

TvqFacts FactsOf(const uint8_t header[kTvqSizeFieldsBytes], uint64_t fileBytes) {
    const ImageExtent extent = TvqExtentFromHeader(header);
    return {extent, TvqStoredWords(fileBytes), TvqImageWords(extent), 0, 0};
}

std::string ConversionRefusal(const TvqFacts& facts, uint64_t maxPixels) {
    if (facts.claimedWords == 0)
        return "zero or negative size (" + std::to_string(facts.extent.width) + " x " +
               std::to_string(facts.extent.height) + ")";
    if (facts.storedWords == 0)
        return "no pixel word";
    if (facts.claimedWords > maxPixels)
        return std::to_string(facts.claimedWords) + " pixels, more than the limit of " +
               std::to_string(maxPixels) + " (--max-pixels)";
    return "";
}

std::string DescribeFacts(const std::string& path, const TvqFacts& facts) {
    return Printable(path) + ": " + std::to_string(facts.extent.width) + " x " +
           std::to_string(facts.extent.height) + ", " + std::to_string(facts.storedWords) + " of " +
           std::to_string(facts.claimedWords) + " pixel words" +
           (facts.storedWords < facts.claimedWords ? ", truncated" : "");
}

std::string FactsAsJson(const std::string& path, const TvqFacts& facts) {
    return "{" + JsonNameFields("file", path) +
           ", \"width\": " + std::to_string(facts.extent.width) +
           ", \"height\": " + std::to_string(facts.extent.height) +
           ", \"words\": " + std::to_string(facts.storedWords) +
           ", \"claimed_words\": " + std::to_string(facts.claimedWords) +
           ", \"truncated\": " + (facts.storedWords < facts.claimedWords ? "true" : "false") + "}";
}

} // namespace zod::tvq
