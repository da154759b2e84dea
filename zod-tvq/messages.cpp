#include "zod-tvq/messages.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zod::cli {

namespace {

std::string Base64(std::string_view bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? uint8_t(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// Exits with 1, saying why, when standard output lost anything.
void ExitFailingOnLostOutput() {
    errno = 0;
    const bool flushFailed = fflush(stdout) != 0;
    const int error = flushFailed ? errno : 0;
    if (flushFailed || ferror(stdout)) {
        fprintf(stderr, "zod-tvq: cannot write to standard output: %s\n",
                error ? strerror(error) : "a write failed");
        std::_Exit(1);
    }
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const uint8_t c = uint8_t(text[i]);
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\\ufffd";
            i += 1;
            continue;
        }
        if (c == '"' || c == '\\')
            out += {'\\', char(c)};
        else if (c < 0x20 || c == 0x7F) {
            char escape[7];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else
            out.append(text.substr(i, length));
        i += length;
    }
    return out + "\"";
}

std::string JsonNameFields(const std::string& key, std::string_view name) {
    std::string fields = "\"" + key + "\": " + JsonString(name);
    for (size_t i = 0; i < name.size(); i += Utf8Length(name, i))
        if (Utf8Length(name, i) == 0)
            return fields + ", \"" + key + "_bytes\": \"" + Base64(name) + "\"";
    return fields;
}

void CheckStandardOutputAtExit() {
    atexit(ExitFailingOnLostOutput);
}

} // namespace zod::cli
