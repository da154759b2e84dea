// The thumbnail sampler against the whole picture: whatever pieces the bytes come in,
// whatever is skipped, each sample is the picture's pixel at the centre of its span.
#include "formats/tvq_sampler.h"
#include "formats/tvq_scale.h"

#include "tests/support/image_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace zod::test;

constexpr int kFactor = 8; // every channel value keeps its own colour

struct Feeding {
    size_t piece; // bytes per feed
    bool skip;    // skip whatever the sampler does not want
};

// Feeds the file's pixel bytes as a stream reader would; false when the sampler refuses
// to finish.
bool Sample(const std::string& file, ImageExtent out, Feeding feeding, TvqSampler* sampler) {
    const ImageExtent source{int16_t(ReadLe16(BytesAt(file, 4))),
                             int16_t(ReadLe16(BytesAt(file, 8)))};
    EXPECT_TRUE(TvqStartSampler(source, out, sampler));
    const std::string pixels = file.substr(32);
    const uint64_t imageBytes = 2 * uint64_t(source.width) * uint64_t(source.height);
    const uint64_t end = std::min<uint64_t>(pixels.size(), imageBytes);
    while (sampler->position < end) {
        const uint64_t wants = TvqSamplerWants(*sampler);
        if (wants >= imageBytes)
            break;
        if (feeding.skip && wants > sampler->position) {
            TvqSkipSamplerBytes(sampler, std::min(wants, end) - sampler->position);
            continue;
        }
        const size_t count = size_t(std::min<uint64_t>(feeding.piece, end - sampler->position));
        TvqFeedSampler(sampler, BytesAt(pixels, size_t(sampler->position)), count);
    }
    return TvqFinishSampler(sampler);
}

TEST(TvqSampler, TakesThePixelAtTheCentreOfEachSpanFedAnyWay) {
    const struct {
        int width, height;
        size_t stored; // words in the file
        bool loneByte; // and a last byte
        ImageExtent out;
    } pictures[] = {
        {300, 200, 60000, false, {256, 171}}, // whole
        {64, 64, 4096, false, {64, 64}},      // every pixel
        {1000, 10, 2500, true, {256, 3}},     // short, ending in a lone byte
        {7, 900, 3000, false, {1, 128}},      // tall, short
        {50, 50, 1, false, {10, 10}},         // one word
        {50, 50, 0, true, {5, 5}},            // one lone byte
        {33, 17, 600, false, {32, 16}},       // the short end inside a sampled row
    };
    const Feeding feedings[] = {{1, false}, {3, false}, {4096, false},
                                {1, true},  {5, true},  {1 << 20, true}};
    for (const auto& p : pictures) {
        std::string file = TvqBytes(int16_t(p.width), int16_t(p.height), NoiseWords(p.stored, 11));
        if (p.loneByte)
            file += char(0xA7);
        const std::vector<uint32_t> picture = TvqPicture(file, kFactor);
        for (const Feeding& f : feedings) {
            SCOPED_TRACE(testing::Message()
                         << p.width << "x" << p.height << " stored " << p.stored << " pieces of "
                         << f.piece << (f.skip ? ", skipping" : ""));
            TvqSampler sampler;
            const bool finished = Sample(file, p.out, f, &sampler);
            // Skipping to the end of a short file loses its last word; the reader must read it.
            const bool lastWordSkipped =
                f.skip && p.stored + p.loneByte < size_t(p.width) * p.height;
            if (!lastWordSkipped || finished) {
                ASSERT_TRUE(finished);
                int wrong = 0;
                for (int y = 0; y < p.out.height; ++y)
                    for (int x = 0; x < p.out.width; ++x) {
                        const size_t source =
                            size_t(TvqSampleIndex(y, p.out.height, p.height)) * p.width +
                            size_t(TvqSampleIndex(x, p.out.width, p.width));
                        wrong += AmplifiedColour(sampler.words[size_t(y) * p.out.width + x],
                                                 kFactor) != picture[source];
                    }
                EXPECT_EQ(wrong, 0);
            }
            TvqFreeSampler(&sampler);
        }
    }
}

// A file longer than its picture: the sampler is done at the last sample and asks for
// nothing more.
TEST(TvqSampler, WantsNothingPastItsLastSample) {
    const std::string file = TvqBytes(20, 10, NoiseWords(400));
    TvqSampler sampler;
    ASSERT_TRUE(TvqStartSampler({20, 10}, {4, 2}, &sampler));
    const std::string pixels = file.substr(32);
    TvqFeedSampler(&sampler, BytesAt(pixels, 0), 400);
    EXPECT_EQ(TvqSamplerWants(sampler), 400u);
    EXPECT_TRUE(TvqFinishSampler(&sampler));
    TvqFreeSampler(&sampler);
}

} // namespace
