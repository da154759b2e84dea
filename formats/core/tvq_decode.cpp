#include "formats/core/tvq_decode.h"

#include "common/little_endian.h"

#include <cstring>
#include <new>
#include <sys/stat.h>

static_assert(kTvqBlockWords >= 32767, "a block must hold the visible part of any row");

namespace {

// Every position the reader needs fits in a long, even a 32-bit one: the last word of the
// largest image ends at 32 + 2 x 32767 x 32767, below 2^31.
bool SeekTo(FILE* file, uint64_t offset) {
    return fseek(file, long(offset), SEEK_SET) == 0;
}

// How many bytes of pixel words the file holds, up to `wanted`. A file holding all of
// them is not measured, so a huge file's length never has to fit in a long.
bool StoredPixelBytes(FILE* file, uint64_t wanted, uint64_t& bytes) {
    bytes = 0;
    if (wanted == 0)
        return true;
    if (SeekTo(file, kTvqPixelsOffset + wanted - 1) && fgetc(file) != EOF) {
        bytes = wanted;
        return true;
    }
    long end = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    if (end < 0)
        return false;
    bytes = uint64_t(end) > kTvqPixelsOffset ? uint64_t(end) - kTvqPixelsOffset : 0;
    return true;
}

} // namespace

ImageExtent TvqExtentFromHeader(const uint8_t* header) {
    return ImageExtent{ReadSignedLe16(header + 4), ReadSignedLe16(header + 8)};
}

uint64_t TvqImageWords(ImageExtent extent) {
    if (extent.width <= 0 || extent.height <= 0)
        return 0;
    return uint64_t(extent.width) * uint64_t(extent.height);
}

uint64_t TvqStoredWords(uint64_t fileBytes) {
    return fileBytes > kTvqPixelsOffset ? (fileBytes - kTvqPixelsOffset + 1) / 2 : 0;
}

void MakeTvqPalette(int32_t factor, TvqPalette* palette) {
    uint32_t level[32];
    for (int c = 0; c < 32; ++c) {
        int64_t amplified = int64_t(c) * factor;
        level[c] = uint32_t(amplified < 0 ? 0 : amplified > 255 ? 255 : amplified);
        palette->blue[c] = level[c] << 16;
    }
    for (int i = 0; i < 1024; ++i)
        palette->redGreen[i] = level[i >> 5] | level[i & 31] << 8;
}

uint16_t TvqPastEndWord(const uint8_t* last, size_t count) {
    return count >= 2 ? ReadLe16(last) : last[0];
}

void MakeTvqTripleTable(const TvqPalette& palette, bool bgr, TvqTripleTable* table) {
    const int first = bgr ? 16 : 0;
    const int third = bgr ? 0 : 16;
    for (uint32_t word = 0; word < 65536; ++word) {
        const uint32_t colour = TvqWordColour(palette, uint16_t(word));
        uint8_t* triple = table->triple[word];
        triple[0] = uint8_t(colour >> first);
        triple[1] = uint8_t(colour >> 8);
        triple[2] = uint8_t(colour >> third);
        triple[3] = 0xFF; // opaque, for readers that store whole entries
    }
}

void TvqRunToTriples(const TvqTripleTable& table, const uint8_t* words, uint64_t held, size_t count,
                     uint16_t pastEnd, uint8_t* out) {
    if (count == 0)
        return;
    auto own = [&table, words](uint64_t i) { return table.triple[ReadLe16(words + 2 * i)]; };
    const uint8_t* pastEndTriple = table.triple[pastEnd];
    // Each entry is stored whole, its fourth byte overwritten by the next pixel: one store
    // per pixel. The last pixel gets three bytes, so nothing lands past the triples.
    TvqFillRun(held, count - 1, own, pastEndTriple,
               [out](uint64_t i, const uint8_t* triple) { memcpy(out + 3 * i, triple, 4); });
    const uint64_t last = count - 1;
    memcpy(out + 3 * last, last < held ? own(last) : pastEndTriple, 3);
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
    *tvq = TvqFile{};
    uint8_t header[kTvqSizeFieldsBytes];
    uint64_t bytes = 0;
    ImageExtent extent{0, 0};
    bool ok = fread(header, 1, sizeof header, file) == sizeof header;
    if (ok) {
        extent = TvqExtentFromHeader(header);
        ok = StoredPixelBytes(file, 2 * TvqImageWords(extent), bytes);
    }
    uint8_t last[2] = {0, 0};
    const uint64_t words = (bytes + 1) / 2;
    if (ok && words > 0 && words < TvqImageWords(extent)) {
        // A short file: the word its last pixels repeat.
        const size_t count = bytes % 2 ? 1 : 2;
        ok = SeekTo(file, kTvqPixelsOffset + bytes - count) && fread(last, 1, count, file) == count;
        tvq->pastEndWord = TvqPastEndWord(last, count);
    }
    tvq->extent = extent;
    uint8_t* block = ok ? new (std::nothrow) uint8_t[2 * kTvqBlockWords] : nullptr;
    if (!block) {
        fclose(file);
        return false;
    }
    tvq->file = file;
    tvq->pixelBytes = bytes;
    tvq->wordCount = words;
    tvq->block = block;
    return true;
}

void CloseTvqFile(TvqFile* tvq) {
    if (tvq->file)
        fclose(tvq->file);
    delete[] tvq->block;
    *tvq = TvqFile{};
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
    size_t got = 0;
    if (SeekTo(tvq->file, kTvqPixelsOffset + 2 * first))
        got = fread(tvq->block, 1, bytes, tvq->file);
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
