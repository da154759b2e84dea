// What a TVQ file's header and length say, and why a file cannot be converted.
#pragma once

#include "common/types.h"
#include "formats/core/tvq_decode.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace zod::cli {

struct TvqFacts {
    ImageExtent extent; // 0 x 0 when the file ends before the size fields
    uint64_t fileBytes;
    uint64_t storedWords;               // the image's pixel words the file holds, a lone last byte
                                        // counting as one; never more than claimedWords
    uint64_t claimedWords;              // width x height, 0 when either is 0 or less
    uint8_t start[kTvqSizeFieldsBytes]; // the file's first bytes, as many as it has
    uint64_t device, inode;             // which file it is, whatever its name
};

// Reads the first bytes and the length of `path`. False with a reason when the file is
// missing, unreadable or not a regular file. A named pipe or device is refused before
// anything is read from it, so that it cannot stall a batch.
bool ReadTvqFacts(const std::string& path, TvqFacts* facts, std::string* reason);

// `path` open for reading, or nullptr with `reason` (empty: see errno) when it cannot be
// opened or is not a regular file; a named pipe or device is not waited on, so it cannot
// stall a batch. Unlike the core's OpenTvqFile, it takes UTF-8 names on Windows too.
FILE* OpenRegularFile(const std::string& path, std::string* reason);

// The facts of a file of `fileBytes` bytes whose first min(fileBytes, kTvqSizeFieldsBytes)
// bytes are `start`.
TvqFacts FactsOf(const uint8_t* start, uint64_t fileBytes);

// For a file that holds less than its image: "holds 12% of its pixels; ...", else "".
std::string ShortFileNote(const TvqFacts& facts);

// One line for people, or one JSON object for scripts.
std::string DescribeFacts(const std::string& path, const TvqFacts& facts);
std::string FactsAsJson(const std::string& path, const TvqFacts& facts);

} // namespace zod::cli
