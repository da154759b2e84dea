#include "zod-tvq/verdict.h"

namespace zod::cli {

TvqVerdict VerdictOf(const TvqFacts& facts, uint64_t maxPixels) {
    return TvqCheckStart(facts.start, facts.fileBytes, maxPixels);
}

std::string VerdictMessage(TvqVerdict verdict, const TvqFacts& facts, uint64_t maxPixels) {
    char text[kTvqVerdictTextCapacity];
    TvqVerdictText(verdict, facts.start, facts.fileBytes, maxPixels, text, sizeof text);
    return text;
}

std::string ConvertRefusal(const TvqFacts& facts, uint64_t maxPixels, bool allowSparse) {
    const TvqVerdict verdict = VerdictOf(facts, maxPixels);
    if (verdict == TVQ_PLAUSIBLE || (verdict == TVQ_TOO_SPARSE && allowSparse))
        return "";
    return VerdictMessage(verdict, facts, maxPixels);
}

} // namespace zod::cli
