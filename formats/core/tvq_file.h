// A TVQ file read in blocks from a byte source. Opening (the size fields, how much of the
// image the file holds, the past-end word) and the reading of words are written here once,
// for every reader that can seek: a stdio stream (the viewer, zod-tvq), a Qt device. A
// reader that streams (a Windows stream) takes the header here and its rows through
// tvq_sampler.h.
#pragma once

#include "common/types.h"
#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_plausible.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr uint64_t kTvqBlockWords = 128 * 1024;

// Where a reader's bytes come from. `readAt` copies up to `count` bytes from `offset` on
// into `into` and says how many came: fewer only where the source ends or fails. `size`
// gives the length the source states, false when it cannot tell. A source that cannot
// seek serves offsets in rising order only.
struct TvqSource {
    void* context;
    size_t (*readAt)(void* context, uint64_t offset, uint8_t* into, size_t count);
    bool (*size)(void* context, uint64_t* bytes);
};

// A stdio stream as a source; it stays the caller's. Every offset a reader asks for lies
// below 2^31 (the largest image's last word), so a 32-bit long reaches it.
TvqSource TvqStdioSource(FILE* file);

// For a reader that streams: the file's first bytes up to the size fields (from offset 0,
// and nothing past the length the source states) and that length, judged by the whole
// plausibility rule (TvqCheckStart). The extent is (0, 0) when the size fields cannot be
// read; the length unknown is TOO_SHORT.
TvqVerdict TvqReadHead(const TvqSource& source, ImageExtent* extent, uint64_t* fileBytes);

struct TvqFile {
    TvqSource source;
    uint8_t start[kTvqSizeFieldsBytes]; // the file's first bytes, for the plausibility rule
    FILE* owned;                        // the stream OpenTvqFile or AdoptTvqFile closes
    ImageExtent extent;
    uint64_t pixelBytes;  // bytes of pixel words the file holds, at most the image's
    uint64_t wordCount;   // the same in words, a lone last byte counting as one
    uint16_t pastEndWord; // meaningful when 0 < wordCount < TvqImageWords(extent)
    bool readFailed;      // a read came back short of what the file's length promised
    uint8_t* block;       // kTvqBlockWords words, or the file's words when fewer
    uint64_t blockFirst;
    uint64_t blockWords;
};

// Opens a source that can seek, which stays the caller's. False, with nothing held, when
// the source ends before the size fields, cannot be measured, or no block can be
// allocated; the extent is then the header's where the size fields could be read, else
// (0, 0). A file holding every word of its image is not measured.
bool OpenTvqSource(const TvqSource& source, TvqFile* tvq);
// The same for `path`; only a regular file is opened: a named pipe would wait for a
// writer, a device never end.
bool OpenTvqFile(const char* path, TvqFile* tvq);
// The same for a stream already open (one over memory, say), which it closes on failure
// and otherwise through CloseTvqFile.
bool AdoptTvqFile(FILE* file, TvqFile* tvq);
void CloseTvqFile(TvqFile* tvq);

// What the plausibility rule says of an open file.
TvqVerdict TvqCheckOpenFile(const TvqFile& tvq);

// Words first .. first + count - 1 of the image, all below wordCount, count at most
// kTvqBlockWords. A refill of the block reads up to `ahead` words, to serve the calls
// that follow. The bytes stay valid until the next call.
const uint8_t* TvqWords(TvqFile* tvq, uint64_t first, uint64_t count, uint64_t ahead);

// Rows first .. first + rows - 1 (all inside the image) as triples, `stride` bytes apart
// in `out`. Pixels past the file's end take the past-end colour.
void TvqRowsToTriples(TvqFile* tvq, const TvqTripleTable& table, int32_t first, int32_t rows,
                      uint8_t* out, size_t stride);

// The picture at `out` (smaller or larger) by the sampling rule (tvq_scale.h), reading only
// the sampled rows: output row j at `pixels` + j * `stride`, `pixelBytes` a pixel as
// TvqSampleRow makes them.
void TvqScaledRows(TvqFile* tvq, const TvqTripleTable& table, ImageExtent out, size_t pixelBytes,
                   uint8_t* pixels, size_t stride);
