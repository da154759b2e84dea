#include "formats/tvq_sampler.h"

#include "formats/tvq_decode.h"
#include "formats/tvq_scale.h"

#include <cstdlib>

namespace {

uint64_t SampleCount(const TvqSampler& s) {
    return uint64_t(s.out.width) * uint64_t(s.out.height);
}

void AimAtNextSample(TvqSampler* s) {
    if (s->taken >= SampleCount(*s))
        return;
    const uint64_t row = uint64_t(s->rows[s->taken / uint64_t(s->out.width)]);
    const uint64_t column = uint64_t(s->columns[s->taken % uint64_t(s->out.width)]);
    s->nextByte = 2 * (row * uint64_t(s->source.width) + column);
}

} // namespace

bool TvqStartSampler(ImageExtent source, ImageExtent out, TvqSampler* s) {
    *s = TvqSampler{};
    s->source = source;
    s->out = out;
    s->columns = static_cast<int32_t*>(malloc(sizeof(int32_t) * size_t(out.width)));
    s->rows = static_cast<int32_t*>(malloc(sizeof(int32_t) * size_t(out.height)));
    s->words = static_cast<uint16_t*>(malloc(sizeof(uint16_t) * size_t(SampleCount(*s))));
    if (!s->columns || !s->rows || !s->words) {
        TvqFreeSampler(s);
        return false;
    }
    for (int32_t x = 0; x < out.width; ++x)
        s->columns[x] = TvqSampleIndex(x, out.width, source.width);
    for (int32_t y = 0; y < out.height; ++y)
        s->rows[y] = TvqSampleIndex(y, out.height, source.height);
    AimAtNextSample(s);
    return true;
}

void TvqFreeSampler(TvqSampler* s) {
    free(s->columns);
    free(s->rows);
    free(s->words);
    *s = TvqSampler{};
}

uint64_t TvqSamplerWants(const TvqSampler& s) {
    if (s.taken >= SampleCount(s))
        return 2 * TvqImageWords(s.source);
    // A sample whose low byte came with the last piece needs its high byte next.
    return s.nextByte < s.position ? s.position : s.nextByte;
}

void TvqSkipSamplerBytes(TvqSampler* s, uint64_t count) {
    if (count == 0)
        return;
    s->position += count;
    s->lastKnown = 0;
}

void TvqFeedSampler(TvqSampler* s, const uint8_t* bytes, size_t count) {
    if (count == 0)
        return;
    const uint64_t start = s->position;
    const uint64_t end = start + count;
    const uint64_t samples = SampleCount(*s);
    while (s->taken < samples && s->nextByte + 1 < end) {
        // The low byte may have come last time, as last[1].
        const uint8_t low = s->nextByte >= start ? bytes[s->nextByte - start] : s->last[1];
        const uint8_t high = bytes[s->nextByte + 1 - start];
        s->words[s->taken++] = uint16_t(low | high << 8);
        AimAtNextSample(s);
    }
    s->last[0] = count >= 2 ? bytes[count - 2] : s->last[1];
    s->last[1] = bytes[count - 1];
    s->lastKnown = count >= 2 ? 2 : s->lastKnown >= 1 ? 2 : 1;
    s->position = end;
}

bool TvqFinishSampler(TvqSampler* s) {
    const uint64_t samples = SampleCount(*s);
    if (s->taken >= samples)
        return true;
    // A lone last byte is a word whose high byte is 0.
    const int32_t needed = s->position % 2 ? 1 : 2;
    if (s->position == 0 || s->lastKnown < needed)
        return false;
    const uint16_t pastEnd = TvqPastEndWord(s->last + 2 - needed, size_t(needed));
    for (uint64_t i = s->taken; i < samples; ++i)
        s->words[i] = pastEnd;
    s->taken = samples;
    return true;
}
