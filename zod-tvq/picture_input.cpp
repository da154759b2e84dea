#include "zod-tvq/picture_input.h"

#include "zod-tvq/tvq_input.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <spng.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zod::cli {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// A file or standard input whose first bytes were read to tell the format, read again
// from the start.
struct Source {
    FILE* file = nullptr;
    bool owned = false;
    uint8_t head[8] = {};
    size_t headSize = 0, headUsed = 0;

    ~Source() {
        if (owned)
            fclose(file);
    }
    size_t Read(uint8_t* out, size_t size) {
        size_t done = 0;
        while (done < size && headUsed < headSize)
            out[done++] = head[headUsed++];
        return done + (done < size ? fread(out + done, 1, size - done, file) : 0);
    }
};

std::string TooLarge(uint64_t width, uint64_t height, int32_t maxSide) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels: TVQ holds at most " +
           std::to_string(maxSide) + " on a side";
}

class PngInput : public PictureInput {
  public:
    explicit PngInput(std::unique_ptr<Source> source) : source_(std::move(source)) {}
    ~PngInput() override { spng_ctx_free(context_); }

    bool Open(int32_t maxSide, std::string* reason) {
        // Each chunk's CRC still catches damage; the second checksum over the same bytes
        // only costs time.
        context_ = spng_ctx_new(SPNG_CTX_IGNORE_ADLER32);
        spng_ihdr header{};
        size_t size = 0;
        if (!context_ || spng_set_png_stream(context_, ReadSource, source_.get()) ||
            !Check(spng_get_ihdr(context_, &header), reason))
            return false;
        if (header.width > uint32_t(maxSide) || header.height > uint32_t(maxSide)) {
            *reason = TooLarge(header.width, header.height, maxSide);
            return false;
        }
        extent_ = {int32_t(header.width), int32_t(header.height)};
        // Alpha only where the picture has some: RGB rows are a quarter smaller.
        spng_trns transparency{};
        const bool alpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                           header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                           spng_get_trns(context_, &transparency) == 0;
        channels_ = alpha ? 4 : 3;
        const int format = alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
        interlaced_ = header.interlace_method != SPNG_INTERLACE_NONE;
        if (!Check(spng_decoded_image_size(context_, format, &size), reason))
            return false;
        if (!interlaced_)
            return Check(spng_decode_image(context_, nullptr, 0, format,
                                           SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE),
                         reason);
        // Interlaced rows arrive pass by pass: only the whole picture can be handed out
        // in order.
        whole_.resize(size);
        return Check(spng_decode_image(context_, whole_.data(), size, format, SPNG_DECODE_TRNS),
                     reason);
    }

    bool ReadRows(uint8_t* rows, int32_t count) override {
        const size_t rowBytes = size_t(channels_) * size_t(extent_.width);
        for (int32_t i = 0; i < count; ++i, ++row_, rows += rowBytes) {
            if (interlaced_) {
                memcpy(rows, whole_.data() + size_t(row_) * rowBytes, rowBytes);
                continue;
            }
            const int result = spng_decode_row(context_, rows, rowBytes);
            if (result != 0 && !(result == SPNG_EOI && row_ + 1 == extent_.height))
                return Check(result, &error_);
        }
        return true;
    }

  private:
    static int ReadSource(spng_ctx*, void* user, void* out, size_t size) {
        auto* source = static_cast<Source*>(user);
        if (source->Read(static_cast<uint8_t*>(out), size) == size)
            return 0;
        return ferror(source->file) ? SPNG_IO_ERROR : SPNG_IO_EOF;
    }
    bool Check(int result, std::string* reason) {
        if (result == 0)
            return true;
        *reason = result == SPNG_IO_EOF
                      ? "the PNG file ends early"
                      : std::string("not a readable PNG file: ") + spng_strerror(result);
        return false;
    }

    std::unique_ptr<Source> source_;
    spng_ctx* context_ = nullptr;
    bool interlaced_ = false;
    std::vector<uint8_t> whole_;
    int32_t row_ = 0;
};

class PixbufInput : public PictureInput {
  public:
    ~PixbufInput() override {
        if (pixbuf_)
            g_object_unref(pixbuf_);
    }

    bool Open(Source& source, int32_t maxSide, std::string* reason) {
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
        Sizes sizes{maxSide, false, 0, 0};
        g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSize), &sizes);
        GError* error = nullptr;
        static uint8_t chunk[1 << 16];
        size_t got = 0;
        bool ok = true;
        while (ok && !sizes.tooLarge && (got = source.Read(chunk, sizeof chunk)) > 0)
            ok = gdk_pixbuf_loader_write(loader, chunk, got, &error);
        const bool readFailed = ferror(source.file);
        // Closing after a failure only tidies up: its own error says nothing new.
        GError* closing = nullptr;
        ok = gdk_pixbuf_loader_close(loader, ok ? &error : &closing) && ok;
        if (closing)
            g_error_free(closing);
        GdkPixbuf* loaded = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
        if (sizes.tooLarge)
            *reason = TooLarge(sizes.width, sizes.height, maxSide);
        else if (readFailed)
            *reason = std::string("cannot read: ") + strerror(errno);
        else if (!loaded)
            *reason = error ? error->message : "not a picture this system can read";
        else
            pixbuf_ = gdk_pixbuf_apply_embedded_orientation(loaded); // a new reference
        if (error)
            g_error_free(error);
        g_object_unref(loader);
        if (!pixbuf_)
            return false;
        extent_ = {gdk_pixbuf_get_width(pixbuf_), gdk_pixbuf_get_height(pixbuf_)};
        channels_ = gdk_pixbuf_get_n_channels(pixbuf_);
        if (extent_.width > maxSide || extent_.height > maxSide) { // turned by its orientation
            *reason = TooLarge(uint64_t(extent_.width), uint64_t(extent_.height), maxSide);
            return false;
        }
        if (gdk_pixbuf_get_bits_per_sample(pixbuf_) != 8 || channels_ < 3) {
            *reason = "a pixel layout other than 8-bit RGB or RGBA";
            return false;
        }
        return true;
    }

    bool ReadRows(uint8_t* rows, int32_t count) override {
        const size_t rowBytes = size_t(channels_) * size_t(extent_.width);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf_);
        const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf_);
        for (int32_t i = 0; i < count; ++i, ++row_, rows += rowBytes)
            memcpy(rows, pixels + size_t(row_) * size_t(stride), rowBytes);
        return true;
    }

  private:
    struct Sizes {
        int32_t maxSide;
        bool tooLarge;
        int width, height;
    };
    static void OnSize(GdkPixbufLoader* loader, int width, int height, gpointer user) {
        auto* sizes = static_cast<Sizes*>(user);
        if (width > sizes->maxSide || height > sizes->maxSide) {
            *sizes = {sizes->maxSide, true, width, height};
            gdk_pixbuf_loader_set_size(loader, 1, 1); // nothing big is allocated
        }
    }

    GdkPixbuf* pixbuf_ = nullptr;
    int32_t row_ = 0;
};

} // namespace

std::unique_ptr<PictureInput> OpenPicture(const std::string& path, int32_t maxSide,
                                          std::string* reason) {
    auto source = std::make_unique<Source>();
    source->file = path == "-" ? stdin : OpenRegularFile(path, reason);
    source->owned = path != "-" && source->file;
    if (!source->file) {
        if (reason->empty())
            *reason = strerror(errno);
        return nullptr;
    }
    source->headSize = fread(source->head, 1, sizeof source->head, source->file);
    if (source->headSize == sizeof kPngSignature &&
        memcmp(source->head, kPngSignature, sizeof kPngSignature) == 0) {
        auto png = std::make_unique<PngInput>(std::move(source));
        if (!png->Open(maxSide, reason))
            return nullptr;
        return png;
    }
    auto picture = std::make_unique<PixbufInput>();
    if (!picture->Open(*source, maxSide, reason))
        return nullptr;
    return picture;
}

} // namespace zod::cli
