#include "common/printable.h"

#include <cstdint>

namespace {

// "\x1b" or "\u009b": the escape `letter`, then `digits` hex digits of `value`.
std::string Hex(char letter, int digits, unsigned value) {
    std::string out = {'\\', letter};
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += "0123456789abcdef"[(value >> shift) & 15];
    return out;
}

// Whether text[at] is shown as an escape, and how many bytes that escape covers.
size_t EscapedLength(std::string_view text, size_t at) {
    const uint8_t c = uint8_t(text[at]);
    if (Utf8Length(text, at) == 0 || c < 0x20 || c == 0x7F)
        return 1;
    return c == 0xC2 && uint8_t(text[at + 1]) < 0xA0 ? 2 : 0; // U+0080..U+009F
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
