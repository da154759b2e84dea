// Names and other outside text shown safely on a terminal, whatever bytes they hold.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `text` with every control character (C0, DEL, C1) and every byte that is not UTF-8 written
// as \xHH (C1 as \u00HH), so that no name can move the cursor, retitle the terminal or hide
// the rest of a line. Backslashes are doubled only when something was escaped.
std::string Printable(std::string_view text);

// The length of the UTF-8 sequence at text[at], or 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t at);
