// The settings parser, checked against a plain reading with strtoll: leading white space,
// one optional sign, decimal digits; no number or one outside 32 bits gives the default.
// The tools' bounded reading agrees with it on a file that fits its prefix, and elsewhere
// finds the same number or the default.
#include "common/types.h"
#include "fuzz/fuzz_support.h"
#include "settings/stored_factor.h"

#include <cerrno>
#include <string>

namespace {

int32_t Reference(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size); // stops at a NUL
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
        return kDefaultAmplificationFactor;
    return int32_t(value);
}

FILE* OpenInput(const uint8_t* data, size_t size) {
    static const uint8_t kEmpty[1] = {0}; // a memory stream needs a byte; a NUL ends the text
    FILE* file = size ? fmemopen(const_cast<uint8_t*>(data), size, "r")
                      : fmemopen(const_cast<uint8_t*>(kEmpty), 1, "r");
    FUZZ_CHECK(file);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = OpenInput(data, size);
    const int32_t factor = ParseStoredFactor(file);
    std::fclose(file);
    const int32_t reference = Reference(data, size);
    FUZZ_CHECK(factor == reference);
    file = OpenInput(data, size);
    const int32_t prefixFactor = ParseStoredFactorPrefix(file);
    std::fclose(file);
    FUZZ_CHECK(prefixFactor == reference ||
               (size > kSavedFactorPrefixBytes && prefixFactor == kDefaultAmplificationFactor));
    return 0;
}
