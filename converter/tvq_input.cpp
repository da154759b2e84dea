#include "converter/tvq_input.h"

#include "formats/tvq_decode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace zod::tvq {

bool ReadTvqFacts(const std::string& path, TvqFacts* facts, std::string* reason) {
    reason->clear();
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        *reason = strerror(errno);
        return false;
    }
    struct stat status;
    uint8_t header[kTvqSizeFieldsBytes];
    bool ok = fstat(fileno(file), &status) == 0;
    if (!ok)
        *reason = strerror(errno);
    else if (!S_ISREG(status.st_mode))
        *reason = S_ISDIR(status.st_mode) ? "is a folder" : "not a regular file";
    else if (fread(header, 1, sizeof header, file) != sizeof header)
        *reason = ferror(file) ? strerror(errno) : "shorter than the size fields";
    else
        *facts = {TvqExtentFromHeader(header), TvqStoredWords(uint64_t(status.st_size)),
                  TvqImageWords(TvqExtentFromHeader(header))};
    ok = ok && reason->empty();
    fclose(file);
    return ok;
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
    return path + ": " + std::to_string(facts.extent.width) + " x " +
           std::to_string(facts.extent.height) + ", " + std::to_string(facts.storedWords) + " of " +
           std::to_string(facts.claimedWords) + " pixel words" +
           (facts.storedWords < facts.claimedWords ? ", truncated" : "");
}

std::string FactsAsJson(const std::string& path, const TvqFacts& facts) {
    return "{\"file\": " + JsonString(path) + ", \"width\": " + std::to_string(facts.extent.width) +
           ", \"height\": " + std::to_string(facts.extent.height) +
           ", \"words\": " + std::to_string(facts.storedWords) +
           ", \"claimed_words\": " + std::to_string(facts.claimedWords) +
           ", \"truncated\": " + (facts.storedWords < facts.claimedWords ? "true" : "false") + "}";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uint8_t(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace zod::tvq
