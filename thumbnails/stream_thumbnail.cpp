#include "thumbnails/thumbnails.h"

#include "formats/core/tvq_file.h"
#include "formats/core/tvq_plausible.h"
#include "formats/core/tvq_sampler.h"
#include "formats/core/tvq_scale.h"
#include "settings/stored_factor.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

const HRESULT kRefused = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);

// A stream as the core's byte source, read in rising offsets: a forward gap is sought past
// where the stream allows it, else read through. The first failure is kept, to be returned.
struct StreamBytes {
    IStream* stream;
    uint64_t position; // where the stream stands
    HRESULT failure;
};

// Up to `size` bytes from where the stream stands; fewer only at its end or on a failure.
ULONG ReadUpTo(StreamBytes* s, uint8_t* into, ULONG size) {
    ULONG got = 0;
    while (got < size && SUCCEEDED(s->failure)) {
        ULONG piece = 0;
        const HRESULT hr = s->stream->Read(into + got, size - got, &piece);
        if (FAILED(hr))
            s->failure = hr;
        if (piece == 0)
            break;
        got += piece;
    }
    s->position += got;
    return got;
}

size_t ReadAt(void* context, uint64_t offset, uint8_t* into, size_t count) {
    auto* s = static_cast<StreamBytes*>(context);
    if (offset > s->position) {
        LARGE_INTEGER move;
        move.QuadPart = LONGLONG(offset - s->position);
        if (SUCCEEDED(s->stream->Seek(move, STREAM_SEEK_CUR, nullptr))) {
            s->position = offset;
        } else {
            uint8_t skipped[16 * 1024];
            while (s->position < offset) {
                const ULONG size = ULONG(std::min<uint64_t>(offset - s->position, sizeof skipped));
                if (ReadUpTo(s, skipped, size) < size)
                    return 0;
            }
        }
    }
    if (offset != s->position) // behind: a stream read in order never goes back
        return 0;
    return ReadUpTo(s, into, ULONG(count));
}

bool SizeOf(void* context, uint64_t* size) {
    auto* s = static_cast<StreamBytes*>(context);
    STATSTG stat;
    const HRESULT hr = s->stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr) && SUCCEEDED(s->failure))
        s->failure = hr;
    *size = SUCCEEDED(hr) ? stat.cbSize.QuadPart : 0;
    return SUCCEEDED(hr);
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
    StreamBytes bytes{stream, 0, S_OK};
    const TvqSource source{&bytes, ReadAt, SizeOf};
    ImageExtent extent;
    uint64_t fileBytes;
    const TvqVerdict head = TvqReadHead(source, &extent, &fileBytes);
    if (FAILED(bytes.failure))
        return bytes.failure;
    if (head != TVQ_PLAUSIBLE)
        return kRefused;

    const int32_t side = size == 0 ? 1 : size > 32767 ? 32767 : int32_t(size);
    const ImageExtent out = TvqFitExtent(extent, side, side);
    // Blue first, four bytes a pixel: the DIB's 0xFFRRGGBB, opaque though WTSAT_RGB tells
    // Explorer to ignore alpha.
    std::unique_ptr<TvqTripleTable> table(new (std::nothrow) TvqTripleTable);
    if (!table)
        return E_OUTOFMEMORY;
    MakeTvqTripleTable(SavedFactorOrDefault(), TVQ_BLUE_FIRST, table.get());
    void* bits = nullptr;
    HBITMAP made = MakeBitmap(out, &bits);
    if (!made)
        return E_OUTOFMEMORY;
    TvqSampler sampler;
    TvqVerdict verdict = TVQ_PLAUSIBLE;
    HRESULT hr = S_OK;
    if (!TvqStartSampler(extent, out, *table, 4, static_cast<uint8_t*>(bits), 4 * size_t(out.width),
                         &sampler))
        hr = E_OUTOFMEMORY;
    // False: the stream ended inside a skipped stretch, so it shrank as it was read.
    else if (!TvqSampleSource(source, fileBytes, &sampler, &verdict))
        hr = FAILED(bytes.failure) ? bytes.failure : E_FAIL;
    else if (FAILED(bytes.failure))
        hr = bytes.failure;
    else if (verdict != TVQ_PLAUSIBLE)
        hr = kRefused;
    TvqFreeSampler(&sampler);
    if (SUCCEEDED(hr))
        *bitmap = made;
    else
        DeleteObject(made);
    return hr;
}
