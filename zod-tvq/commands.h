// What each of zod-tvq's commands does with its parsed command line.
#pragma once

#include "formats/core/tvq_plausible.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zod::cli {

constexpr int kFailedInput = 1;
constexpr int kUsageError = 2;

struct Options {
    std::vector<std::string> files;
    int32_t factor = 0;
    bool factorGiven = false; // by --factor or --level
    std::string format;       // --to, empty when not given
    std::string output;
    bool force = false;
    bool noSync = false;
    bool quiet = false;
    bool allowSparse = false;
    bool dither = false;
    uint64_t maxPixels = kTvqMaxPixels;
    bool json = false;
};

// Each returns the exit status: 0 when all went well, kFailedInput when any input
// failed, kUsageError when the command line cannot be followed.
int RunConvert(const Options& options);
int RunEncode(const Options& options);
int RunInfo(const Options& options);

// The whole program (main.cpp): the command line, names in UTF-8, to the exit status.
// main() on Linux (main_posix.cpp) and wmain() on Windows (main_windows.cpp) call it.
int RunZodTvq(int argc, char** argv);

} // namespace zod::cli
