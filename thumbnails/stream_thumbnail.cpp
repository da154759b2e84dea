#include "thumbnails/thumbnails.h"

#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_plausible.h"
#include "formats/core/tvq_sampler.h"
#include "formats/core/tvq_scale.h"
#include "settings/stored_factor.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr ULONG kPieceBytes = 64 * 1024;
// Gaps shorter than this are read through: a seek costs a call, and some streams seek by
// reading anyway.
constexpr uint64_t kSkipAtLeast = 256 * 1024;

const HRESULT kRefused = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);

// Reads up to `size` bytes; fewer only at the stream's end.
HRESULT ReadUpTo(IStream* stream, uint8_t* into, ULONG size, ULONG* got) {
    *got = 0;
    while (*got < size) {
        ULONG piece = 0;
        const HRESULT hr = stream->Read(into + *got, size - *got, &piece);
        if (FAILED(hr))
            return hr;
        if (piece == 0)
            break;
        *got += piece;
    }
    return S_OK;
}

// Feeds the sampler from the stream until it has every sample or the stream ends, never
// asking for bytes past `limit` (the pixel bytes the stream says it holds).
HRESULT FeedFromStream(IStream* stream, TvqSampler* sampler, uint64_t limit, bool* ended) {
    std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kPieceBytes]);
    if (!piece)
        return E_OUTOFMEMORY;
    *ended = false;
    const uint64_t imageBytes = 2 * TvqImageWords(sampler->source);
    for (;;) {
        const uint64_t wants = TvqSamplerWants(*sampler);
        if (wants >= imageBytes)
            return S_OK;
        if (sampler->position >= limit) {
            *ended = true;
            return S_OK;
        }
        const uint64_t gap = wants - sampler->position;
        if (gap >= kSkipAtLeast && wants < limit) {
            LARGE_INTEGER move;
            move.QuadPart = LONGLONG(gap);
            if (SUCCEEDED(stream->Seek(move, STREAM_SEEK_CUR, nullptr))) {
                TvqSkipSamplerBytes(sampler, gap);
                continue;
            }
        }
        const uint64_t left = limit - sampler->position;
        const ULONG size = left < kPieceBytes ? ULONG(left) : kPieceBytes;
        ULONG got = 0;
        const HRESULT hr = ReadUpTo(stream, piece.get(), size, &got);
        if (FAILED(hr))
            return hr;
        TvqFeedSampler(sampler, piece.get(), got);
        if (got < size) {
            *ended = true;
            return S_OK;
        }
    }
}

// A top-down 32-bit DIB section of `extent`, whose bits are at `*bits`.
HBITMAP MakeBitmap(ImageExtent extent, void** bits) {
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = extent.width;
    info.bmiHeader.biHeight = -extent.height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    HBITMAP made = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (made && !*bits) {
        DeleteObject(made);
        made = nullptr;
    }
    return made;
}

} // namespace

HRESULT MakeTvqThumbnail(IStream* stream, UINT size, HBITMAP* bitmap) {
    *bitmap = nullptr;
    STATSTG stat;
    HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr))
        return hr;
    const uint64_t fileBytes = stat.cbSize.QuadPart;

    uint8_t header[kTvqPixelsOffset];
    const ULONG headerBytes = fileBytes < sizeof header ? ULONG(fileBytes) : ULONG(sizeof header);
    ULONG got = 0;
    hr = ReadUpTo(stream, header, headerBytes, &got);
    if (FAILED(hr))
        return hr;
    const ImageExtent extent =
        got >= kTvqSizeFieldsBytes ? TvqExtentFromHeader(header) : ImageExtent{0, 0};
    // A stream shorter than it said is judged by what it holds.
    if (TvqCheckStart(header, got < headerBytes ? got : fileBytes) != TVQ_PLAUSIBLE)
        return kRefused;

    const int32_t side = size == 0 ? 1 : size > 32767 ? 32767 : int32_t(size);
    const ImageExtent out = TvqFitExtent(extent, side, side);
    // Blue first, four bytes a pixel: the DIB's 0xFFRRGGBB, opaque though WTSAT_RGB tells
    // Explorer to ignore alpha.
    std::unique_ptr<TvqTripleTable> table(new (std::nothrow) TvqTripleTable);
    if (!table)
        return E_OUTOFMEMORY;
    int32_t factor = kDefaultAmplificationFactor;
    LoadViewerFactor(&factor); // the default stays when there is no file
    TvqPalette palette;
    MakeTvqPalette(factor, &palette);
    MakeTvqTripleTable(palette, true, table.get());
    void* bits = nullptr;
    HBITMAP made = MakeBitmap(out, &bits);
    if (!made)
        return E_OUTOFMEMORY;
    TvqSampler sampler;
    if (!TvqStartSampler(extent, out, *table, 4, static_cast<uint8_t*>(bits), 4 * size_t(out.width),
                         &sampler)) {
        DeleteObject(made);
        return E_OUTOFMEMORY;
    }
    const uint64_t imageBytes = 2 * TvqImageWords(extent);
    const uint64_t stored = fileBytes - kTvqPixelsOffset;
    bool ended = false;
    hr = FeedFromStream(stream, &sampler, stored < imageBytes ? stored : imageBytes, &ended);
    if (SUCCEEDED(hr) && ended &&
        (sampler.position == 0 ||
         !TvqHoldsEnough(extent, TvqStoredWords(kTvqPixelsOffset + sampler.position))))
        hr = kRefused;
    if (SUCCEEDED(hr) && !TvqFinishSampler(&sampler))
        hr = E_FAIL; // the stream ended inside a skipped stretch: it shrank as it was read
    TvqFreeSampler(&sampler);
    if (SUCCEEDED(hr))
        *bitmap = made;
    else
        DeleteObject(made);
    return hr;
}
