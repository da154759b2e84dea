// The one plausibility rule of formats/core applied to a file's facts, in the words that
// convert and info share with every other reader.
#pragma once

#include "zod-tvq/tvq_input.h"
#include "formats/core/tvq_plausible.h"

#include <string>

namespace zod::cli {

TvqVerdict VerdictOf(const TvqFacts& facts, uint64_t maxPixels);
// What is wrong, for people; empty when the file is plausible.
std::string VerdictMessage(TvqVerdict verdict, const TvqFacts& facts, uint64_t maxPixels);

// Why convert leaves a file alone, or empty: the verdict, a sparse file passing with
// `allowSparse`.
std::string ConvertRefusal(const TvqFacts& facts, uint64_t maxPixels, bool allowSparse);

} // namespace zod::cli
