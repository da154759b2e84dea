// Encoding one picture as a TVQ file, streamed a band of rows at a time.
#pragma once

#include "zod-tvq/progress.h"
#include "zod-tvq/safe_output.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zod::cli {

struct EncodeSettings {
    int32_t factor; // at least 1
    bool dither;    // Floyd-Steinberg error diffusion
    bool force;
    bool sync;
    uint64_t maxPixels; // pictures larger are refused, as convert and info refuse TVQ files
};

// Writes `output` ("-": standard output) from the picture `input` ("-": standard input),
// or leaves it as it was and gives the reason. The output is never `input` (which may be
// a copy of standard input) nor any of `protect` (the command's inputs, some of them yet
// to be read), whatever its name.
bool EncodePicture(const std::string& input, const std::string& output,
                   const EncodeSettings& settings, const std::vector<FileIdentity>& protect,
                   Progress& progress, std::string* reason);

} // namespace zod::cli
