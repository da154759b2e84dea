// The converter's decoding of one TVQ file to BMP (or PNG when the first byte, which the
// format does not use, is odd). Checked: it converts exactly the files its own checks
// accept; a BMP has the header's size, the full length, and the first word's colour at
// the top left; nothing is left beside the output.
#include "common/little_endian.h"
#include "converter/convert.h"
#include "converter/tvq_input.h"
#include "converter/verdict.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr int32_t kFactor = 5;
constexpr uint64_t kMaxPixels = uint64_t(1) << 20; // keeps each run short

uint32_t Le32(const std::string& b, size_t at) {
    return ReadLe32(reinterpret_cast<const uint8_t*>(b.data()) + at);
}

uint8_t Level(unsigned channel) {
    return uint8_t(std::min(255u, channel * kFactor));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zod::tvq::Progress progress(false);
    static zod::tvq::Converter bmp({kFactor, false, true, false, kMaxPixels, false}, progress);
    static zod::tvq::Converter png({kFactor, true, true, false, kMaxPixels, false}, progress);
    const std::string input = zod::fuzz::InputFile(data, size);
    const bool asPng = size > 0 && (data[0] & 1);
    const std::string output = input + (asPng ? ".png" : ".bmp");

    zod::tvq::TvqFacts facts;
    std::string reason;
    const bool convertible = zod::tvq::ReadTvqFacts(input, &facts, &reason) &&
                             zod::tvq::ConvertRefusal(facts, kMaxPixels, false).empty();
    const bool converted = (asPng ? png : bmp).Convert(input, output, &reason);
    FUZZ_CHECK(converted == convertible);
    FUZZ_CHECK(converted || !reason.empty());
    if (converted && !asPng) {
        std::ifstream file(output, std::ios::binary);
        const std::string out((std::istreambuf_iterator<char>(file)), {});
        const int32_t width = facts.extent.width, height = facts.extent.height;
        const uint64_t stride = (uint64_t(width) * 3 + 3) / 4 * 4;
        FUZZ_CHECK(out.size() == 54 + stride * uint64_t(height));
        FUZZ_CHECK(int32_t(Le32(out, 18)) == width && int32_t(Le32(out, 22)) == height);
        const uint16_t word = uint16_t(data[32] | (size > 33 ? data[33] << 8 : 0));
        const size_t topLeft = 54 + size_t(stride) * size_t(height - 1); // rows bottom-up
        FUZZ_CHECK(uint8_t(out[topLeft]) == Level(word & 31) &&
                   uint8_t(out[topLeft + 1]) == Level((word >> 6) & 31) &&
                   uint8_t(out[topLeft + 2]) == Level(word >> 11));
    }
    std::filesystem::remove(output);
    const std::string folder = std::filesystem::path(input).parent_path().string();
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        FUZZ_CHECK(entry.path().string().rfind(output, 0) != 0); // no temporary left
    return 0;
}
