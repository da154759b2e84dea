// Replacing a file so that readers see either the old content or all of the new.
#pragma once

#include <cstddef>

struct FilePiece {
    const void* data;
    size_t size;
};

// Writes the pieces, in order, to a new temporary file of its own (a short name in the same
// folder), flushes it to the disk and renames it over `path`. A symbolic link at `path` is
// kept: the file it leads to is replaced, in that file's folder. A read-only file, a folder
// and a link that leads nowhere are not replaced. On any failure the old file is left as it
// was, no temporary file remains, and the result is false.
bool ReplaceFileContents(const char* path, const FilePiece* pieces, int count);
