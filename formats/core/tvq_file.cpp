#include "formats/core/tvq_file.h"

#include "formats/core/tvq_scale.h"

#include <cstring>
#include <new>
#include <sys/stat.h>

static_assert(kTvqBlockWords >= 32767, "a block must hold the visible part of any row");

namespace {

size_t StdioReadAt(void* context, uint64_t offset, uint8_t* into, size_t count) {
    FILE* file = static_cast<FILE*>(context);
    return fseek(file, long(offset), SEEK_SET) == 0 ? fread(into, 1, count, file) : 0;
}

bool StdioSize(void* context, uint64_t* bytes) {
    FILE* file = static_cast<FILE*>(context);
    const long end = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    *bytes = end < 0 ? 0 : uint64_t(end);
    return end >= 0;
}

// Up to the file's first `count` bytes (at most the size fields), and the extent they
// give; how many came.
size_t ReadStart(const TvqSource& source, uint8_t* start, size_t count, ImageExtent* extent) {
    const size_t got = source.readAt(source.context, 0, start, count);
    *extent = got == kTvqSizeFieldsBytes ? TvqExtentFromHeader(start) : ImageExtent{0, 0};
    return got;
}

// How many bytes of pixel words the source holds, up to `wanted`. A source holding all of
// them is not measured, so a huge file's length never has to fit in a long.
bool StoredPixelBytes(const TvqSource& source, uint64_t wanted, uint64_t* bytes) {
    *bytes = 0;
    uint8_t last;
    if (wanted == 0 ||
        source.readAt(source.context, kTvqPixelsOffset + wanted - 1, &last, 1) == 1) {
        *bytes = wanted;
        return true;
    }
    uint64_t length = 0;
    if (!source.size(source.context, &length))
        return false;
    *bytes = length > kTvqPixelsOffset ? length - kTvqPixelsOffset : 0;
    if (*bytes > wanted) // it stated more than it held
        *bytes = wanted;
    return true;
}

} // namespace

TvqSource TvqStdioSource(FILE* file) {
    return TvqSource{file, StdioReadAt, StdioSize};
}

TvqVerdict TvqReadHead(const TvqSource& source, ImageExtent* extent, uint64_t* fileBytes) {
    *extent = ImageExtent{0, 0};
    *fileBytes = 0;
    if (!source.size(source.context, fileBytes))
        return TVQ_TOO_SHORT;
    uint8_t start[kTvqSizeFieldsBytes] = {};
    // Nothing past the stated length is asked for; a source that holds less is judged by
    // what it holds.
    const size_t wanted = *fileBytes < sizeof start ? size_t(*fileBytes) : sizeof start;
    const size_t got = ReadStart(source, start, wanted, extent);
    return TvqCheckStart(start, got < wanted ? got : *fileBytes);
}

bool OpenTvqSource(const TvqSource& source, TvqFile* tvq) {
    *tvq = TvqFile{};
    uint64_t bytes = 0;
    ImageExtent extent{0, 0};
    bool ok = ReadStart(source, tvq->start, kTvqSizeFieldsBytes, &extent) == kTvqSizeFieldsBytes &&
              StoredPixelBytes(source, 2 * TvqImageWords(extent), &bytes);
    const uint64_t words = (bytes + 1) / 2;
    if (ok && words > 0 && words < TvqImageWords(extent)) {
        // A short file: the word its last pixels repeat.
        uint8_t last[2] = {0, 0};
        const size_t count = bytes % 2 ? 1 : 2;
        ok = source.readAt(source.context, kTvqPixelsOffset + bytes - count, last, count) == count;
        tvq->pastEndWord = TvqPastEndWord(last, count);
    }
    tvq->extent = extent;
    // A block, or the whole of a smaller file.
    const uint64_t blockWords = words < kTvqBlockWords ? (words > 0 ? words : 1) : kTvqBlockWords;
    uint8_t* block = ok ? new (std::nothrow) uint8_t[2 * blockWords] : nullptr;
    if (!block)
        return false;
    tvq->source = source;
    tvq->pixelBytes = bytes;
    tvq->wordCount = words;
    tvq->block = block;
    return true;
}

bool OpenTvqFile(const char* path, TvqFile* tvq) {
    *tvq = TvqFile{};
    // Opening a named pipe would wait for a writer, forever; a device never ends.
    struct stat status;
    if (!path || stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    FILE* file = fopen(path, "rb");
    return file && AdoptTvqFile(file, tvq);
}

bool AdoptTvqFile(FILE* file, TvqFile* tvq) {
    if (!OpenTvqSource(TvqStdioSource(file), tvq)) {
        fclose(file);
        return false;
    }
    tvq->owned = file;
    return true;
}

void CloseTvqFile(TvqFile* tvq) {
    if (tvq->owned)
        fclose(tvq->owned);
    delete[] tvq->block;
    *tvq = TvqFile{};
}

TvqVerdict TvqCheckOpenFile(const TvqFile& tvq) {
    // The file as far as it matters: the header and the pixel words it holds.
    return TvqCheckStart(tvq.start, kTvqPixelsOffset + tvq.pixelBytes);
}

const uint8_t* TvqWords(TvqFile* tvq, uint64_t first, uint64_t count, uint64_t ahead) {
    if (first >= tvq->blockFirst && first + count <= tvq->blockFirst + tvq->blockWords)
        return tvq->block + 2 * (first - tvq->blockFirst);
    uint64_t words = ahead > count ? ahead : count;
    if (words > kTvqBlockWords)
        words = kTvqBlockWords;
    if (words > tvq->wordCount - first)
        words = tvq->wordCount - first;
    const size_t bytes = size_t(2 * words);
    const uint64_t available = tvq->pixelBytes - 2 * first;
    const size_t expected = available < bytes ? size_t(available) : bytes;
    const size_t got =
        tvq->source.readAt(tvq->source.context, kTvqPixelsOffset + 2 * first, tvq->block, expected);
    if (got < expected)
        tvq->readFailed = true;
    // Zero fill gives the lone last byte its high byte (and a file that shrank, black).
    memset(tvq->block + got, 0, bytes - got);
    tvq->blockFirst = first;
    tvq->blockWords = words;
    return tvq->block;
}

void TvqRowsToTriples(TvqFile* tvq, const TvqTripleTable& table, int32_t first, int32_t rows,
                      uint8_t* out, size_t stride) {
    const uint64_t width = uint64_t(tvq->extent.width);
    const uint64_t end = (uint64_t(first) + uint64_t(rows)) * width;
    for (int32_t y = first; y < first + rows; ++y, out += stride) {
        const uint64_t rowFirst = uint64_t(y) * width;
        const uint64_t held = TvqWordsHeld(rowFirst, width, tvq->wordCount);
        // A row fits in a block; reading ahead to the band's end serves the rows after it.
        const uint8_t* words = held ? TvqWords(tvq, rowFirst, held, end - rowFirst) : nullptr;
        TvqRunToTriples(table, words, held, size_t(width), tvq->pastEndWord, out);
    }
}

void TvqScaledRows(TvqFile* tvq, const TvqTripleTable& table, ImageExtent out, size_t pixelBytes,
                   uint8_t* pixels, size_t stride) {
    const ImageExtent source = tvq->extent;
    const uint64_t width = uint64_t(source.width);
    // Every row sampled: read ahead in blocks; fewer: each sampled row alone.
    const bool everyRow = out.height >= source.height;
    const uint64_t end = uint64_t(source.height) * width;
    for (int32_t j = 0; j < out.height; ++j, pixels += stride) {
        const int32_t y = TvqSampleIndex(j, out.height, source.height);
        const uint64_t rowFirst = uint64_t(y) * width;
        const uint64_t held = TvqWordsHeld(rowFirst, width, tvq->wordCount);
        const uint64_t ahead = everyRow ? end - rowFirst : held;
        const uint8_t* words = held ? TvqWords(tvq, rowFirst, held, ahead) : nullptr;
        TvqSampleRow(table, words, int32_t(held), source.width, tvq->pastEndWord, out.width,
                     pixelBytes, pixels);
    }
}
