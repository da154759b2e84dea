// What the converter prints: file names shown safely on a terminal and in JSON whatever
// bytes they hold, and standard output that must reach its reader.
#pragma once

#include <string>
#include <string_view>

namespace zod::tvq {

// `text` with every control character (C0, DEL, C1) and every byte that is not UTF-8 written
// as \xHH (C1 as \u00HH), so that no name can move the cursor, retitle the terminal or hide
// the rest of a line. Backslashes are doubled only when something was escaped.
std::string Printable(std::string_view text);

// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

// `"key": "name"` for a JSON object, followed by `, "key_bytes": "BASE64"` holding the exact
// bytes when the name is not UTF-8, so a script can still find the file.
std::string JsonNameFields(const std::string& key, std::string_view name);

// What kind of file `mode` (from stat) is, for a message: "a named pipe", "a folder"...
const char* FileKind(unsigned mode);

// The length of the UTF-8 sequence at text[at], or 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t at);

// At exit, standard output is flushed; when that or any earlier write to it failed (a full
// disk, /dev/full, a closed pipe), the program says so and its exit status is 1.
void CheckStandardOutputAtExit();

} // namespace zod::tvq
