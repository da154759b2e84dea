#include "zod-tvq/verdict.h"

#include "formats/core/tvq_decode.h"

namespace zod::cli {

TvqVerdict VerdictOf(const TvqFacts& facts) {
    // The facts hold the file's words, not its bytes; a length with the same words gives
    // the same verdict, since the rule counts whole words, a lone byte as one.
    return TvqCheckFile(facts.extent, facts.storedWords ? kTvqPixelsOffset + 2 * facts.storedWords
                                                        : kTvqPixelsOffset);
}

const char* VerdictName(TvqVerdict verdict) {
    return TvqVerdictName(verdict);
}

std::string VerdictMessage(TvqVerdict verdict, const TvqFacts& facts) {
    char text[kTvqVerdictTextCapacity];
    TvqVerdictText(verdict, facts.extent, facts.storedWords, text, sizeof text);
    return text;
}

std::string ConvertRefusal(const TvqFacts& facts, uint64_t maxPixels, bool allowSparse) {
    const TvqVerdict verdict = VerdictOf(facts);
    if (verdict != TVQ_PLAUSIBLE && !(verdict == TVQ_TOO_SPARSE && allowSparse))
        return VerdictMessage(verdict, facts);
    if (facts.claimedWords > maxPixels)
        return std::to_string(facts.claimedWords) + " pixels, more than the limit of " +
               std::to_string(maxPixels) + " (--max-pixels)";
    return "";
}

} // namespace zod::cli
