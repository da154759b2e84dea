// What Windows says about a file, shared by the input and output checks of zod-tvq.exe.
#pragma once

#include "zod-tvq/safe_output.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace zod::cli {

// Opens `path` (UTF-8) with `access` (none at all is enough for the facts), sharing
// everything; folders open too, so that they can be named as such.
HANDLE OpenForFacts(const std::string& path, DWORD access);

// The identity (volume serial number and file index) and size of the open `file`. False
// when it is not a regular file on a disk, with `kind` saying what it is: "a folder",
// "a device", "a pipe".
bool RegularFileFacts(HANDLE file, FileIdentity* identity, uint64_t* size, std::string* kind);

} // namespace zod::cli
