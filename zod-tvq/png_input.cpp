// PNG through libspng: rows as they are inflated, in constant memory; an interlaced
// picture, whose rows come pass by pass, kept whole at its own pixel size.
#include "zod-tvq/picture_source.h"

#include <spng.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <vector>

namespace zod::cli {

namespace {

// What libspng may keep of the chunks it reads: the ones it could inflate or keep at any
// length never reach it (ChunkSkipper), so this only stands behind that.
constexpr size_t kChunkCacheBytes = size_t(16) << 20;

// Chunks nothing here uses, which libspng would read whole, and inflate where compressed:
// text, colour profiles, Exif, suggested palettes.
bool Unused(const uint8_t type[4]) {
    static const char* const kUnused[] = {"tEXt", "zTXt", "iTXt", "iCCP", "eXIf", "sPLT"};
    for (const char* unused : kUnused)
        if (memcmp(type, unused, 4) == 0)
            return true;
    return false;
}

// The PNG file less its unused chunks, which are read past without being looked into.
class ChunkSkipper {
  public:
    explicit ChunkSkipper(PictureSource& source) : source_(source) {}

    // As PictureSource::Read.
    size_t Read(uint8_t* out, size_t size) {
        size_t done = 0;
        while (done < size) {
            if (headerUsed_ < headerSize_) {
                const size_t n = std::min(size - done, headerSize_ - headerUsed_);
                memcpy(out + done, header_ + headerUsed_, n);
                headerUsed_ += n;
                done += n;
            } else if (passing_ > 0) {
                const size_t n =
                    source_.Read(out + done, size_t(std::min<uint64_t>(size - done, passing_)));
                if (n == 0)
                    break;
                passing_ -= n;
                done += n;
            } else if (!NextChunk()) {
                break;
            }
        }
        return done;
    }

  private:
    // Reads the next chunk's length and type, past every unused chunk; false at the end.
    bool NextChunk() {
        for (;;) {
            headerSize_ = source_.Read(header_, sizeof header_);
            headerUsed_ = 0;
            if (headerSize_ < sizeof header_)
                return headerSize_ > 0; // what is left, for libspng to find short
            const uint32_t length = uint32_t(header_[0]) << 24 | uint32_t(header_[1]) << 16 |
                                    uint32_t(header_[2]) << 8 | header_[3];
            passing_ = uint64_t(length) + 4; // and its CRC
            // The first chunk always goes on, for libspng to find whether it is the header.
            if (length > INT32_MAX || !Unused(header_ + 4) || first_) {
                first_ = false;
                return true;
            }
            uint8_t skipped[4096];
            while (passing_ > 0) {
                const size_t n =
                    source_.Read(skipped, size_t(std::min<uint64_t>(sizeof skipped, passing_)));
                if (n == 0)
                    return false; // cut inside it: libspng finds the file short
                passing_ -= n;
            }
        }
    }

    PictureSource& source_;
    uint8_t header_[8] = {};
    size_t headerSize_ = 0, headerUsed_ = 0;
    uint64_t passing_ = 8; // the signature, read by libspng first
    bool first_ = true;
};

// Where each of the seven interlace passes puts its first pixel of a row, and the step.
constexpr uint32_t kPassX[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr uint32_t kPassStep[7] = {8, 8, 4, 4, 2, 2, 1};

class PngInput final : public PictureInput {
  public:
    PngInput(std::unique_ptr<PictureSource> source, uint64_t maxPixels)
        : source_(std::move(source)), skipper_(*source_), maxPixels_(maxPixels) {}
    ~PngInput() override {
        spng_ctx_free(context_);
        if (whole_)
            munmap(whole_, wholeBytes_);
    }

    bool Open(const PictureLimits& limits, std::string* reason) {
        // The last IDAT's CRC is checked once the rows are read (ReadToEnd), so the second
        // checksum over the same bytes only costs time.
        context_ = spng_ctx_new(SPNG_CTX_IGNORE_ADLER32);
        spng_ihdr header{};
        if (!context_ || spng_set_png_stream(context_, ReadSource, this) ||
            spng_set_chunk_limits(context_, kChunkCacheBytes, kChunkCacheBytes) ||
            !Check(spng_get_ihdr(context_, &header), reason))
            return false;
        *reason = PictureSizeRefusal(header.width, header.height, limits);
        if (!reason->empty())
            return false;
        extent_ = {int32_t(header.width), int32_t(header.height)};
        // Alpha only where the picture has some: RGB rows are a quarter smaller.
        spng_trns transparency{};
        const bool alpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                           header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                           spng_get_trns(context_, &transparency) == 0;
        channels_ = alpha ? 4 : 3;
        if (!Check(spng_decode_image(context_, nullptr, 0, alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8,
                                     SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE),
                   reason))
            return false;
        return header.interlace_method == SPNG_INTERLACE_NONE || KeepInterlaced(reason);
    }

    bool ReadRows(uint8_t* rows, int32_t count) override {
        const size_t rowBytes = RowBytes();
        for (int32_t i = 0; i < count; ++i, ++row_, rows += rowBytes) {
            if (whole_) {
                memcpy(rows, whole_ + size_t(row_) * rowBytes, rowBytes);
                continue;
            }
            const int result = spng_decode_row(context_, rows, rowBytes);
            if (result == SPNG_EOI && row_ + 1 == extent_.height)
                return ReadToEnd(&error_);
            if (result != 0)
                return Check(result, &error_);
        }
        return true;
    }

  private:
    size_t RowBytes() const { return size_t(channels_) * size_t(extent_.width); }

    static int ReadSource(spng_ctx*, void* user, void* out, size_t size) {
        auto& png = *static_cast<PngInput*>(user);
        const PictureSource& source = *png.source_;
        if (png.skipper_.Read(static_cast<uint8_t*>(out), size) == size)
            return 0;
        return ferror(source.file) || source.overLimit ? SPNG_IO_ERROR : SPNG_IO_EOF;
    }

    // The interlaced passes fill the picture in memory that is taken only as rows arrive.
    bool KeepInterlaced(std::string* reason) {
        wholeBytes_ = RowBytes() * size_t(extent_.height);
        void* memory = mmap(nullptr, wholeBytes_, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory == MAP_FAILED) {
            *reason = "out of memory for an interlaced picture of " +
                      std::to_string(wholeBytes_ >> 20) + " MiB";
            return false;
        }
        whole_ = static_cast<uint8_t*>(memory);
        std::vector<uint8_t> row(RowBytes());
        const size_t pixel = size_t(channels_);
        for (int result = 0; result != SPNG_EOI;) {
            spng_row_info info{};
            if (!Check(spng_get_row_info(context_, &info), reason))
                return false;
            result = spng_decode_row(context_, row.data(), row.size());
            if (result != SPNG_EOI && !Check(result, reason))
                return false;
            // A pass's row holds its own pixels only, at their places in the whole row.
            uint8_t* to = whole_ + size_t(info.row_num) * row.size();
            for (size_t x = kPassX[info.pass]; x < size_t(extent_.width); x += kPassStep[info.pass])
                memcpy(to + x * pixel, row.data() + x * pixel, pixel);
        }
        return ReadToEnd(reason);
    }

    // What follows the rows, up to the end chunk: the last IDAT's CRC is checked on the way.
    bool ReadToEnd(std::string* reason) { return Check(spng_decode_chunks(context_), reason); }

    bool Check(int result, std::string* reason) {
        if (result == 0)
            return true;
        if (source_->overLimit)
            *reason = PictureBytesRefusal(maxPixels_);
        else if (result == SPNG_IO_EOF)
            *reason = "the PNG file ends early";
        else if (result == SPNG_IO_ERROR)
            *reason = std::string("cannot read: ") + strerror(errno);
        else
            *reason = std::string("not a readable PNG file: ") + spng_strerror(result);
        return false;
    }

    std::unique_ptr<PictureSource> source_;
    ChunkSkipper skipper_;
    uint64_t maxPixels_;
    spng_ctx* context_ = nullptr;
    uint8_t* whole_ = nullptr; // an interlaced picture
    size_t wholeBytes_ = 0;
    int32_t row_ = 0;
};

} // namespace

std::unique_ptr<PictureInput> OpenPng(std::unique_ptr<PictureSource> source,
                                      const PictureLimits& limits, std::string* reason) {
    auto png = std::make_unique<PngInput>(std::move(source), limits.maxPixels);
    if (!png->Open(limits, reason))
        return nullptr;
    return png;
}

} // namespace zod::cli
