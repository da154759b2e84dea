// "-" as a file name: standard input in, standard output out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zod::cli {

inline bool IsStandardStream(const std::string& name) {
    return name == "-";
}

// A path that reads standard input from where it stands, for readers that seek: standard
// input itself when it is a file not yet read from, else a copy of the rest of it, at most
// `limit` bytes, in a temporary file that lives as long as the process. What comes past
// the limit is never read, so an endless pipe costs no more. Empty with a reason when the
// copy fails.
std::string StandardInputPath(uint64_t limit, std::string* reason);

// The bytes of a TVQ file on standard input worth keeping: the header and every word of
// the largest image --max-pixels allows, and one word more, so that a larger claim is
// still judged as too large rather than as holding no pixels.
inline uint64_t TvqStreamByteLimit(uint64_t maxPixels) {
    return maxPixels >= (UINT64_MAX - 34) / 2 ? UINT64_MAX : 32 + 2 * (maxPixels + 1);
}

// Copies standard input into `to` until it ends or `limit` bytes have come. False when a
// write fails; ferror(stdin) tells a failed read.
inline bool CopyStandardInput(FILE* to, uint64_t limit) {
    static char buffer[1 << 16];
    size_t got = 0;
    for (uint64_t left = limit; left > 0; left -= got) {
        got = fread(buffer, 1, left < sizeof buffer ? size_t(left) : sizeof buffer, stdin);
        if (got == 0)
            return true;
        if (fwrite(buffer, 1, got, to) != got)
            return false;
    }
    return true;
}

// Whether standard output is a terminal, which binary image data would only garble.
bool StandardOutputIsTerminal();

// How a file is named in messages: "standard input" for "-".
std::string InputName(const std::string& name);

} // namespace zod::cli
