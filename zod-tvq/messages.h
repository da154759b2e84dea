// What the converter prints: file names in JSON whatever bytes they hold (on a terminal they
// go through Printable, from common/), and standard output that must reach its reader.
#pragma once

#include "common/printable.h"

#include <string>
#include <string_view>

namespace zod::cli {

// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

// `"key": "name"` for a JSON object, followed by `, "key_bytes": "BASE64"` holding the exact
// bytes when the name is not UTF-8, so a script can still find the file.
std::string JsonNameFields(const std::string& key, std::string_view name);

// What kind of file `mode` (from stat) is, for a message: "a named pipe", "a folder"...
// (Linux; Windows names kinds from its own calls, in file_facts_windows.cpp)
const char* FileKind(unsigned mode);

// At exit, standard output is flushed; when that or any earlier write to it failed (a full
// disk, /dev/full, a closed pipe), the program says so and its exit status is 1.
void CheckStandardOutputAtExit();

} // namespace zod::cli
