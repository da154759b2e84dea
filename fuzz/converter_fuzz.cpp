// The converter's decoding of one TVQ file to BMP (or PNG when the first byte, which the
// format does not use, is odd), in memory: the input through a memory stream, the output
// into a memory file. Checked: it converts exactly the files its own checks accept; a BMP
// has the header's size, the full length, and the first word's colour at the top left.
// When the second byte is 0x5A the input also goes through real files: named as its own
// output it is refused and left as it was, a named pipe is refused without waiting, and a
// conversion leaves nothing beside its output.
#include "common/little_endian.h"
#include "zod-tvq/convert.h"
#include "zod-tvq/tvq_input.h"
#include "zod-tvq/verdict.h"
#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr int32_t kFactor = 5;
// Keeps each run short: every pixel costs time, and a few thousand reach every case.
constexpr uint64_t kMaxPixels = uint64_t(1) << 14;
// Bands of a few rows when the first byte is 0xFE or 0xFF, so that small images take many.
constexpr size_t kSmallBands = 4096;

using zod::cli::Converter;

uint8_t Level(unsigned channel) {
    return uint8_t(std::min(255u, channel * kFactor));
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

// The refusals that need real files, and that nothing is left beside an output.
void CheckThroughFiles(Converter& converter, const uint8_t* data, size_t size, bool png) {
    const std::string pipe = zod::fuzz::NamedPipe();
    const std::string input = zod::fuzz::InputFile(data, size);
    std::string reason;
    FUZZ_CHECK(!converter.Convert(input, input, &reason) && !reason.empty());
    FUZZ_CHECK(ReadAll(input) == std::string(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(!converter.Convert(pipe, pipe + ".bmp", &reason));
    FUZZ_CHECK(reason.find("named pipe") != std::string::npos);
    const std::string output = input + (png ? ".png" : ".bmp");
    converter.Convert(input, output, &reason);
    std::filesystem::remove(output);
    const std::string folder = std::filesystem::path(input).parent_path().string();
    // Neither the output nor a temporary file (".zod-tvq-...") is left.
    const std::string name = std::filesystem::path(output).filename().string();
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string left = entry.path().filename().string();
        FUZZ_CHECK(left.find(name) == std::string::npos && left.rfind(".zod-tvq-", 0) != 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zod::cli::Progress progress(false);
    static Converter converters[2][2] = {
        {{{kFactor, false, true, false, kMaxPixels, false}, progress},
         {{kFactor, true, true, false, kMaxPixels, false}, progress}},
        {{{kFactor, false, true, false, kMaxPixels, false, kSmallBands}, progress},
         {{kFactor, true, true, false, kMaxPixels, false, kSmallBands}, progress}}};
    static const int memory = memfd_create("zod-fuzz-output", MFD_CLOEXEC);
    FUZZ_CHECK(memory >= 0);
    const bool asPng = size > 0 && (data[0] & 1);
    const bool banded = size > 0 && data[0] >= 0xFE;
    Converter& converter = converters[banded][asPng];

    const bool sized = size >= kTvqSizeFieldsBytes;
    const zod::cli::TvqFacts facts = sized ? zod::cli::FactsOf(data, size) : zod::cli::TvqFacts{};
    const bool convertible = sized && zod::cli::ConvertRefusal(facts, kMaxPixels, false).empty();
    // fmemopen refuses an empty buffer; an empty file is not opened either.
    FILE* stream = size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : nullptr;
    TvqFile tvq{};
    const bool opened = stream && AdoptTvqFile(stream, &tvq);
    FUZZ_CHECK(opened == sized);
    bool converted = false;
    std::string reason;
    if (convertible) {
        FUZZ_CHECK(ftruncate(memory, 0) == 0 && lseek(memory, 0, SEEK_SET) == 0);
        zod::cli::SafeOutput out;
        out.Attach(memory);
        converted = converter.Encode(tvq, out, &reason);
        FUZZ_CHECK(converted || !reason.empty());
    }
    if (opened)
        CloseTvqFile(&tvq);
    FUZZ_CHECK(converted == convertible);
    if (converted && !asPng) {
        const int32_t width = facts.extent.width, height = facts.extent.height;
        const uint64_t stride = (uint64_t(width) * 3 + 3) / 4 * 4;
        const uint64_t length = 54 + stride * uint64_t(height);
        struct stat status;
        FUZZ_CHECK(fstat(memory, &status) == 0 && uint64_t(status.st_size) == length);
        const auto* out =
            static_cast<const uint8_t*>(mmap(nullptr, length, PROT_READ, MAP_SHARED, memory, 0));
        FUZZ_CHECK(out != MAP_FAILED);
        FUZZ_CHECK(int32_t(ReadLe32(out + 18)) == width && int32_t(ReadLe32(out + 22)) == height);
        const uint16_t word = uint16_t(data[32] | (size > 33 ? data[33] << 8 : 0));
        const uint8_t* topLeft = out + 54 + stride * uint64_t(height - 1); // rows bottom-up
        FUZZ_CHECK(topLeft[0] == Level(word & 31) && topLeft[1] == Level((word >> 6) & 31) &&
                   topLeft[2] == Level(word >> 11));
        munmap(const_cast<uint8_t*>(out), length);
    }
    if (size > 1 && data[1] == 0x5A)
        CheckThroughFiles(converters[0][asPng], data, size, asPng);
    return 0;
}
