#include "zod-tvq/verdict.h"

#include "formats/core/tvq_decode.h"

namespace zod::cli {

namespace {

std::string Size(const TvqFacts& facts) {
    return std::to_string(facts.extent.width) + " x " + std::to_string(facts.extent.height);
}

} // namespace

TvqVerdict VerdictOf(const TvqFacts& facts) {
    // The facts hold the file's words, not its bytes; a length with the same words gives
    // the same verdict, since the rule counts whole words, a lone byte as one.
    return TvqCheckFile(facts.extent, facts.storedWords ? kTvqPixelsOffset + 2 * facts.storedWords
                                                        : kTvqPixelsOffset);
}

const char* VerdictName(TvqVerdict verdict) {
    switch (verdict) {
    case TVQ_PLAUSIBLE:
        return "plausible";
    case TVQ_TOO_SHORT:
        return "too-short";
    case TVQ_NO_SIZE:
        return "no-size";
    case TVQ_NO_PIXELS:
        return "no-pixels";
    case TVQ_TOO_LARGE:
        return "too-large";
    case TVQ_TOO_SPARSE:
        return "too-sparse";
    }
    return "unknown";
}

std::string VerdictMessage(TvqVerdict verdict, const TvqFacts& facts) {
    switch (verdict) {
    case TVQ_PLAUSIBLE:
        return "";
    case TVQ_TOO_SHORT:
        return "shorter than the size fields";
    case TVQ_NO_SIZE:
        return "zero or negative size (" + Size(facts) + ")";
    case TVQ_NO_PIXELS:
        return "no pixel word";
    case TVQ_TOO_LARGE:
        return "claims " + Size(facts) + " pixels, more than " + std::to_string(kTvqMaxPixels) +
               ": not a TVQ image";
    case TVQ_TOO_SPARSE:
        return "claims " + Size(facts) + " pixels but holds only " +
               std::to_string(facts.storedWords) + " of them (less than 1 in " +
               std::to_string(kTvqMaxPixelsPerStoredWord) +
               "): probably not a TVQ image; --allow-sparse converts it anyway";
    }
    return "";
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
