// The one plausibility rule of formats/ applied to a file's facts, in the words that
// convert and info share.
#pragma once

#include "zod-tvq/tvq_input.h"
#include "formats/core/tvq_plausible.h"

#include <string>

namespace zod::cli {

TvqVerdict VerdictOf(const TvqFacts& facts);
// A short name for scripts: "plausible", "too-short", "no-size", "no-pixels",
// "too-large", "too-sparse".
const char* VerdictName(TvqVerdict verdict);
// What is wrong, for people; empty when the file is plausible.
std::string VerdictMessage(TvqVerdict verdict, const TvqFacts& facts);

// Why convert leaves a file alone, or empty: the verdict (a sparse file passes with
// `allowSparse`), then the --max-pixels limit.
std::string ConvertRefusal(const TvqFacts& facts, uint64_t maxPixels, bool allowSparse);

} // namespace zod::cli
