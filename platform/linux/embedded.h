// Files built into the Linux program: the icon and cursor files the resource script names.
#pragma once

#include <cstddef>

namespace zod {

struct EmbeddedFile {
    const char* name; // as the resource script names it, e.g. "tvq_big.ico"
    const unsigned char* data;
    size_t size; // data[size] is an extra NUL
};

// Case-insensitive, as file names are on Windows; nullptr when there is no such file.
const EmbeddedFile* FindEmbeddedFile(const char* name);

} // namespace zod
