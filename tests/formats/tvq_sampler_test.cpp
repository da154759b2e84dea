// The streamed sampler against the whole picture shrunk by the thumbnail rule: whatever
// pieces the bytes come in, whatever is skipped, each output row is the picture's.
#include "formats/core/tvq_sampler.h"

#include "tests/support/image_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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
bool Sample(const std::string& file, Feeding feeding, TvqSampler* sampler) {
    const std::string pixels = file.substr(32);
    const uint64_t imageBytes =
        2 * uint64_t(sampler->source.width) * uint64_t(sampler->source.height);
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

TEST(TvqSampler, MakesThePictureShrunkByTheRuleFedAnyWay) {
    const struct {
        int width, height;
        size_t stored; // words in the file
        bool loneByte; // and a last byte
        ImageExtent out;
    } pictures[] = {
        {300, 200, 60000, false, {256, 171}}, // whole
        {64, 64, 4096, false, {64, 64}},      // every pixel
        {7, 5, 16, true, {7, 5}},             // every pixel, short: rows past the end
        {1000, 10, 2500, true, {256, 3}},     // short, ending in a lone byte
        {7, 900, 3000, false, {1, 128}},      // tall, short
        {50, 50, 1, false, {10, 10}},         // one word
        {50, 50, 0, true, {5, 5}},            // one lone byte
        {33, 17, 600, false, {32, 16}},       // longer than the picture
        {10, 10, 55, true, {5, 5}},           // a lone byte inside a sampled row
        {10, 10, 64, false, {5, 5}},          // the end inside a sampled row
        {9, 4, 36, false, {12, 10}},          // enlarged: rows and pixels repeat
    };
    const Feeding feedings[] = {{1, false}, {3, false}, {4096, false},
                                {1, true},  {5, true},  {1 << 20, true}};
    auto table = std::make_unique<TvqTripleTable>();
    for (const auto& p : pictures) {
        std::string file = TvqBytes(int16_t(p.width), int16_t(p.height), NoiseWords(p.stored, 11));
        if (p.loneByte)
            file += char(0xA7);
        const std::vector<uint32_t> want =
            Resampled(TvqPicture(file, kFactor), p.width, p.height, p.out.width, p.out.height);
        for (const Feeding& f : feedings)
            for (size_t pixelBytes : {3, 4}) {
                const bool bgr = pixelBytes == 4; // as the Windows DIB has it
                MakeTvqTripleTable(kFactor, bgr ? TVQ_BLUE_FIRST : TVQ_RED_FIRST, table.get());
                SCOPED_TRACE(testing::Message()
                             << p.width << "x" << p.height << " stored " << p.stored
                             << " pieces of " << f.piece << (f.skip ? ", skipping" : "")
                             << ", pixel bytes " << pixelBytes);
                const size_t stride = pixelBytes * size_t(p.out.width) + 1;
                std::vector<uint8_t> rows(stride * size_t(p.out.height), 0xAB);
                TvqSampler sampler;
                ASSERT_TRUE(TvqStartSampler({p.width, p.height}, p.out, *table, pixelBytes,
                                            rows.data(), stride, &sampler));
                const bool finished = Sample(file, f, &sampler);
                // Skipping to the end of a short file loses its last word; the reader must
                // read it.
                const bool lastWordSkipped =
                    f.skip && p.stored + p.loneByte < size_t(p.width) * p.height;
                if (!lastWordSkipped || finished) {
                    ASSERT_TRUE(finished);
                    EXPECT_EQ(sampler.rowsMade, p.out.height);
                    int wrong = 0;
                    for (int y = 0; y < p.out.height; ++y) {
                        const uint8_t* row = &rows[stride * size_t(y)];
                        for (int x = 0; x < p.out.width; ++x) {
                            const uint8_t* px = row + pixelBytes * size_t(x);
                            const uint32_t got = bgr ? uint32_t(px[2] | px[1] << 8 | px[0] << 16)
                                                     : uint32_t(px[0] | px[1] << 8 | px[2] << 16);
                            wrong += got != want[size_t(y) * p.out.width + x] ||
                                     (pixelBytes == 4 && px[3] != 0xFF); // opaque
                        }
                        wrong += row[stride - 1] != 0xAB; // nothing past the row
                    }
                    EXPECT_EQ(wrong, 0);
                }
                TvqFreeSampler(&sampler);
            }
    }
}

// A file longer than its picture: the sampler is done at the last sampled row, asks for
// nothing more, and ignores what comes past the picture.
TEST(TvqSampler, WantsNothingPastItsLastSampledRow) {
    const std::string file = TvqBytes(20, 10, NoiseWords(400));
    auto table = std::make_unique<TvqTripleTable>();
    MakeTvqTripleTable(3, TVQ_RED_FIRST, table.get());
    std::vector<uint8_t> rows(4 * 3 * 2);
    TvqSampler sampler;
    ASSERT_TRUE(TvqStartSampler({20, 10}, {4, 2}, *table, 3, rows.data(), 4 * 3, &sampler));
    EXPECT_EQ(TvqSamplerWants(sampler), 2u * 20 * 2); // the first sampled row: row 2
    const std::string pixels = file.substr(32);
    TvqFeedSampler(&sampler, BytesAt(pixels, 0), 2 * 20 * 8);
    EXPECT_EQ(sampler.rowsMade, 2);
    EXPECT_EQ(TvqSamplerWants(sampler), 400u);
    TvqFeedSampler(&sampler, BytesAt(pixels, 320), 400); // past the picture
    EXPECT_EQ(sampler.position, 400u);
    EXPECT_TRUE(TvqFinishSampler(&sampler));
    TvqFreeSampler(&sampler);
}

} // namespace
