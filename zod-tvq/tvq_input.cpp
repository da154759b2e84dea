#include "zod-tvq/tvq_input.h"

#include "zod-tvq/messages.h"
#include "formats/core/tvq_decode.h"

#include <algorithm>

namespace zod::cli {

TvqFacts FactsOf(const uint8_t* start, uint64_t fileBytes) {
    TvqFacts facts{};
    const size_t count = fileBytes < sizeof facts.start ? size_t(fileBytes) : sizeof facts.start;
    std::copy(start, start + count, facts.start);
    facts.fileBytes = fileBytes;
    facts.extent = count == sizeof facts.start ? TvqExtentFromHeader(start) : ImageExtent{0, 0};
    facts.claimedWords = TvqImageWords(facts.extent);
    facts.storedWords = std::min(TvqStoredWords(fileBytes), facts.claimedWords);
    return facts;
}

std::string ShortFileNote(const TvqFacts& facts) {
    if (facts.storedWords >= facts.claimedWords)
        return "";
    const uint64_t percent = facts.storedWords * 100 / facts.claimedWords; // never rounds up to 100
    return "holds " + (percent ? std::to_string(percent) : std::string("less than 1")) +
           "% of its pixels; the rest repeats the last one";
}

std::string DescribeFacts(const std::string& path, const TvqFacts& facts) {
    return Printable(path) + ": " + std::to_string(facts.extent.width) + " x " +
           std::to_string(facts.extent.height) + ", " + std::to_string(facts.storedWords) + " of " +
           std::to_string(facts.claimedWords) + " pixel words" +
           (facts.storedWords < facts.claimedWords ? ", truncated" : "");
}

std::string FactsAsJson(const std::string& path, const TvqFacts& facts) {
    return "{" + JsonNameFields("file", path) +
           ", \"width\": " + std::to_string(facts.extent.width) +
           ", \"height\": " + std::to_string(facts.extent.height) +
           ", \"words\": " + std::to_string(facts.storedWords) +
           ", \"claimed_words\": " + std::to_string(facts.claimedWords) +
           ", \"truncated\": " + (facts.storedWords < facts.claimedWords ? "true" : "false") + "}";
}

} // namespace zod::cli
