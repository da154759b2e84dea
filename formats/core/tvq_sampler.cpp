#include "formats/core/tvq_sampler.h"

#include "formats/core/tvq_scale.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

uint64_t RowBytes(const TvqSampler& s) {
    return 2 * uint64_t(s.source.width);
}

// The output rows that sample the current source row, from its first `held` words.
void MakeRows(TvqSampler* s, const uint8_t* words, int32_t held, uint16_t pastEnd) {
    const int32_t y = s->sampledRow;
    do { // several when enlarged
        TvqSampleRow(*s->table, words, held, s->source.width, pastEnd, s->out.width, s->pixelBytes,
                     s->pixels + size_t(s->rowsMade) * s->stride);
        ++s->rowsMade;
        s->sampledRow = s->rowsMade < s->out.height
                            ? TvqSampleIndex(s->rowsMade, s->out.height, s->source.height)
                            : -1;
    } while (s->sampledRow == y);
}

} // namespace

bool TvqStartSampler(ImageExtent source, ImageExtent out, const TvqTripleTable& table,
                     size_t pixelBytes, uint8_t* pixels, size_t stride, TvqSampler* s) {
    *s = TvqSampler{};
    s->source = source;
    s->out = out;
    s->table = &table;
    s->pixelBytes = pixelBytes;
    s->pixels = pixels;
    s->stride = stride;
    s->row = static_cast<uint8_t*>(calloc(size_t(RowBytes(*s)), 1));
    s->sampledRow = TvqSampleIndex(0, out.height, source.height);
    return s->row != nullptr;
}

void TvqFreeSampler(TvqSampler* s) {
    free(s->row);
    *s = TvqSampler{};
}

uint64_t TvqSamplerWants(const TvqSampler& s) {
    if (s.rowsMade >= s.out.height)
        return 2 * TvqImageWords(s.source);
    return std::max(s.position, uint64_t(s.sampledRow) * RowBytes(s));
}

void TvqSkipSamplerBytes(TvqSampler* s, uint64_t count) {
    if (count == 0)
        return;
    s->position += count;
    s->lastKnown = 0;
}

void TvqFeedSampler(TvqSampler* s, const uint8_t* bytes, size_t count) {
    const uint64_t imageBytes = 2 * TvqImageWords(s->source);
    count = size_t(std::min<uint64_t>(count, imageBytes - std::min(s->position, imageBytes)));
    if (count == 0)
        return;
    const uint64_t start = s->position;
    const uint64_t end = start + count;
    s->last[0] = count >= 2 ? bytes[count - 2] : s->last[1];
    s->last[1] = bytes[count - 1];
    s->lastKnown = count >= 2 || s->lastKnown >= 1 ? 2 : 1;
    s->position = end;
    const uint64_t rowBytes = RowBytes(*s);
    while (s->rowsMade < s->out.height) {
        const uint64_t first = uint64_t(s->sampledRow) * rowBytes;
        const uint64_t from = std::max(start, first);
        const uint64_t to = std::min(end, first + rowBytes);
        if (from >= to && end <= first)
            return; // the row lies ahead
        if (from == first && to == first + rowBytes) {
            MakeRows(s, bytes + (first - start), s->source.width, 0); // whole here: no copy
            continue;
        }
        if (from < to)
            memcpy(s->row + (from - first), bytes + (from - start), size_t(to - from));
        if (to < first + rowBytes)
            return; // the rest of the row comes later
        MakeRows(s, s->row, s->source.width, 0);
    }
}

bool TvqFinishSampler(TvqSampler* s) {
    if (s->rowsMade >= s->out.height)
        return true;
    // A lone last byte is a word whose high byte is 0.
    const int32_t needed = s->position % 2 ? 1 : 2;
    if (s->position == 0 || s->lastKnown < needed)
        return false;
    const uint16_t pastEnd = TvqPastEndWord(s->last + 2 - needed, size_t(needed));
    const uint64_t rowBytes = RowBytes(*s);
    const uint64_t first = uint64_t(s->sampledRow) * rowBytes;
    if (s->position > first) { // the file ends inside the sampled row
        const uint64_t bytes = std::min(s->position - first, rowBytes);
        if (bytes % 2)
            s->row[bytes] = 0;
        MakeRows(s, s->row, int32_t((bytes + 1) / 2), pastEnd);
    }
    // Rows wholly past the end are all alike: the first is made, the rest copied.
    const int32_t firstPast = s->rowsMade;
    const size_t outBytes = size_t(s->out.width) * s->pixelBytes;
    for (; s->rowsMade < s->out.height; ++s->rowsMade) {
        uint8_t* row = s->pixels + size_t(s->rowsMade) * s->stride;
        if (s->rowsMade == firstPast)
            TvqSampleRow(*s->table, nullptr, 0, s->source.width, pastEnd, s->out.width,
                         s->pixelBytes, row);
        else
            memcpy(row, s->pixels + size_t(firstPast) * s->stride, outBytes);
    }
    s->sampledRow = -1;
    return true;
}

bool TvqSampleSource(const TvqSource& source, uint64_t fileBytes, TvqSampler* s,
                     TvqVerdict* verdict) {
    constexpr size_t kPieceBytes = 64 * 1024;
    *verdict = TVQ_PLAUSIBLE;
    uint8_t* piece = new (std::nothrow) uint8_t[kPieceBytes];
    if (!piece)
        return false;
    const uint64_t imageBytes = 2 * TvqImageWords(s->source);
    const uint64_t stated = fileBytes > kTvqPixelsOffset ? fileBytes - kTvqPixelsOffset : 0;
    const uint64_t limit = std::min(stated, imageBytes); // nothing past either is asked for
    bool ended = false; // before the sampler had every byte it wants
    while (TvqSamplerWants(*s) < imageBytes) {
        const uint64_t wants = TvqSamplerWants(*s);
        if (s->position >= limit) {
            ended = true;
            break;
        }
        if (wants - s->position >= kTvqSkipAtLeast && wants < limit) {
            TvqSkipSamplerBytes(s, wants - s->position);
            continue;
        }
        const size_t size = size_t(std::min<uint64_t>(limit - s->position, kPieceBytes));
        const size_t got =
            source.readAt(source.context, kTvqPixelsOffset + s->position, piece, size);
        TvqFeedSampler(s, piece, got);
        if (got < size) {
            ended = true;
            break;
        }
    }
    delete[] piece;
    if (ended && s->position == 0)
        *verdict = TVQ_NO_PIXELS;
    else if (ended && !TvqHoldsEnough(s->source, TvqStoredWords(kTvqPixelsOffset + s->position)))
        *verdict = TVQ_TOO_SPARSE;
    return *verdict != TVQ_PLAUSIBLE || TvqFinishSampler(s);
}
