#include "zod-tvq/tvq_input.h"

#include "zod-tvq/messages.h"
#include "formats/core/tvq_decode.h"

namespace zod::cli {

TvqFacts FactsOf(const uint8_t header[kTvqSizeFieldsBytes], uint64_t fileBytes) {
    const ImageExtent extent = TvqExtentFromHeader(header);
    return {extent, TvqStoredWords(fileBytes), TvqImageWords(extent), 0, 0};
}

std::string ConversionRefusal(const TvqFacts& facts, uint64_t maxPixels) {
    if (facts.claimedWords == 0)
        return "zero or negative size (" + std::to_string(facts.extent.width) + " x " +
               std::to_string(facts.extent.height) + ")";
    if (facts.storedWords == 0)
        return "no pixel word";
    if (facts.claimedWords > maxPixels)
        return std::to_string(facts.claimedWords) + " pixels, more than the limit of " +
               std::to_string(maxPixels) + " (--max-pixels)";
    return "";
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
