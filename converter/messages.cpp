#include "converter/messages.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zod::tvq {

namespace {

// "\x1b" or "\u009b": the escape `letter`, then `digits` hex digits of `value`.
std::string Hex(char letter, int digits, unsigned value) {
    std::string out = {'\\', letter};
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += "0123456789abcdef"[(value >> shift) & 15];
    return out;
}

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

// Whether text[at] is shown as an escape, and how many bytes that escape covers.
size_t EscapedLength(std::string_view text, size_t at) {
    const uint8_t c = uint8_t(text[at]);
    if (Utf8Length(text, at) == 0 || c < 0x20 || c == 0x7F)
        return 1;
    return c == 0xC2 && uint8_t(text[at + 1]) < 0xA0 ? 2 : 0; // U+0080..U+009F
}

// Exits with 1, saying why, when standard output lost anything.
void ExitFailingOnLostOutput() {
    errno = 0;
    const bool flushFailed = fflush(stdout) != 0;
    const int error = flushFailed ? errno : 0;
    if (flushFailed || ferror(stdout)) {
        fprintf(stderr, "zod-tvq: cannot write to standard output: %s\n",
                error ? strerror(error) : "a write failed");
        _exit(1);
    }
}

} // namespace

size_t Utf8Length(std::string_view text, size_t at) {
    const uint8_t lead = uint8_t(text[at]);
    if (lead < 0x80)
        return 1;
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((uint8_t(text[at + k]) & 0xC0) != 0x80)
            return 0;
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    const uint8_t second = uint8_t(text[at + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

std::string Printable(std::string_view text) {
    bool plain = true;
    for (size_t i = 0; plain && i < text.size(); i += Utf8Length(text, i) ? Utf8Length(text, i) : 1)
        plain = EscapedLength(text, i) == 0;
    if (plain)
        return std::string(text);
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t escaped = EscapedLength(text, i);
        if (escaped == 2)
            out += Hex('u', 4, uint8_t(text[i + 1]));
        else if (escaped == 1)
            out += Hex('x', 2, uint8_t(text[i]));
        else if (text[i] == '\\')
            out += "\\\\"; // so that a backslash in the name does not read as an escape
        else
            out.append(text.substr(i, Utf8Length(text, i)));
        i += escaped ? escaped : Utf8Length(text, i);
    }
    return out;
}

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
        else if (c < 0x20 || c == 0x7F)
            out += Hex('u', 4, c);
        else
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

void CheckStandardOutputAtExit() {
    atexit(ExitFailingOnLostOutput);
}

} // namespace zod::tvq
