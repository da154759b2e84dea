// Every format but PNG, through the system's gdk-pixbuf loaders, which hold the whole
// picture. The loader is chosen here, as the library would choose it, so that the ones
// that cannot be bounded are refused before they see a byte; a picture beyond the limits
// is refused when its size is known, before its pixels are allocated; one cut short is
// refused however its loader takes it.
#include "zod-tvq/jpeg_end.h"
#include "zod-tvq/picture_source.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zod::cli {

namespace {

// As much of the start as the library looks at to tell a format.
constexpr size_t kSniffBytes = 1024;

// Formats whose loaders no limit here bounds: a drawing's memory and time follow what it
// draws, not its size; the X11 text icons are copied whole into temporary files, which
// a killed process leaves behind.
struct Refused {
    const char* format;
    const char* why;
};
constexpr Refused kRefused[] = {
    {"svg", "SVG drawings are not read: drawing one may take memory and time its size does "
            "not bound"},
    {"xpm", "XPM icons are not read: the system's reader copies them into temporary files"},
    {"xbm", "XBM icons are not read: the system's reader copies them into temporary files"},
};

// The format the library would take `bytes` for: the one that reads the content type the
// system's MIME database sees in them.
GdkPixbufFormat* FormatOf(const uint8_t* bytes, size_t size) {
    gchar* type = g_content_type_guess(nullptr, bytes, size, nullptr);
    GSList* formats = gdk_pixbuf_get_formats();
    GdkPixbufFormat* found = nullptr;
    for (GSList* item = formats; item && !found; item = item->next) {
        auto* format = static_cast<GdkPixbufFormat*>(item->data);
        gchar** mimes = gdk_pixbuf_format_get_mime_types(format);
        for (gchar** mime = mimes; mime && *mime && !found; ++mime) {
            gchar* candidate = g_content_type_from_mime_type(*mime);
            if (candidate && g_content_type_equals(candidate, type) &&
                !gdk_pixbuf_format_is_disabled(format))
                found = format;
            g_free(candidate);
        }
        g_strfreev(mimes);
    }
    g_slist_free(formats);
    g_free(type);
    return found;
}

class PixbufInput final : public PictureInput {
  public:
    ~PixbufInput() override {
        if (pixbuf_)
            g_object_unref(pixbuf_);
    }

    bool Open(PictureSource& source, const PictureLimits& limits, std::string* reason) {
        // A loader's warnings (a picture it finds odd, or a failure it did not explain) would
        // add lines to the one that names the input; what matters reaches us as its error.
        static const guint quiet = g_log_set_handler(
            "GdkPixbuf", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        (void)quiet;
        std::vector<uint8_t> chunk(1 << 16);
        size_t got = source.Read(chunk.data(), chunk.size());
        GdkPixbufFormat* format = FormatOf(chunk.data(), std::min(got, kSniffBytes));
        gchar* formatName = format ? gdk_pixbuf_format_get_name(format) : nullptr;
        const std::string name = formatName ? formatName : "";
        g_free(formatName);
        for (const Refused& refused : kRefused)
            if (name == refused.format) {
                *reason = refused.why;
                return false;
            }
        GError* error = nullptr;
        GdkPixbufLoader* loader =
            format ? gdk_pixbuf_loader_new_with_type(name.c_str(), &error) : nullptr;
        if (!loader) {
            *reason = ferror(source.file) ? std::string("cannot read: ") + strerror(errno)
                                          : "not a picture this system can read";
            if (error)
                g_error_free(error);
            return false;
        }
        Watch watch{limits, {}, {}, 0};
        g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSize), &watch);
        g_signal_connect(loader, "area-updated", G_CALLBACK(OnArea), &watch);
        const bool jpeg = name == "jpeg";
        JpegEnd end;
        bool ok = true;
        while (ok && got > 0 && watch.refusal.empty() && !end.Reached()) {
            if (jpeg)
                end.Feed(chunk.data(), got);
            ok = gdk_pixbuf_loader_write(loader, chunk.data(), got, &error);
            got = source.Read(chunk.data(), chunk.size());
        }
        // Closing after a failure only tidies up: its own error says nothing new.
        GError* closing = nullptr;
        ok = gdk_pixbuf_loader_close(loader, ok ? &error : &closing) && ok;
        if (closing)
            g_error_free(closing);
        // Frames of an animation need not cover the picture; other loaders update every row
        // they decode, and a JPEG's rows are all updated even when cut short.
        const bool animation = name == "gif" || name == "ani";
        const bool whole = jpeg ? end.Reached() : animation || watch.rows == watch.covered.size();
        if (source.overLimit)
            *reason = PictureBytesRefusal(limits.maxPixels);
        else if (!watch.refusal.empty())
            *reason = watch.refusal;
        else if (ferror(source.file))
            *reason = std::string("cannot read: ") + strerror(errno);
        else if (!ok)
            *reason = error ? error->message : "not a picture this system can read";
        else if (!whole)
            *reason = "the file ends before the picture does";
        // Only now: a GIF's first frame is laid out on its whole screen here.
        else if (GdkPixbuf* loaded = gdk_pixbuf_loader_get_pixbuf(loader))
            pixbuf_ = gdk_pixbuf_apply_embedded_orientation(loaded); // a new reference
        else
            *reason = "not a picture this system can read";
        if (error)
            g_error_free(error);
        g_object_unref(loader);
        return pixbuf_ && Check(limits, reason);
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
    // The size as the loader announces it, and which rows it has decoded since.
    struct Watch {
        PictureLimits limits;
        std::string refusal;
        std::vector<bool> covered;
        size_t rows;
    };
    static void OnSize(GdkPixbufLoader* loader, int width, int height, gpointer user) {
        auto& watch = *static_cast<Watch*>(user);
        if (!watch.covered.empty() || !watch.refusal.empty())
            return; // some loaders announce it again
        watch.refusal = PictureSizeRefusal(uint64_t(std::max(width, 0)),
                                           uint64_t(std::max(height, 0)), watch.limits);
        if (watch.refusal.empty())
            watch.covered.assign(size_t(std::max(height, 0)), false);
        else // no pixels: loaders take a size of 0 as "stop, allocate nothing"
            gdk_pixbuf_loader_set_size(loader, 0, 0);
    }
    static void OnArea(GdkPixbufLoader*, int, int y, int, int height, gpointer user) {
        auto& watch = *static_cast<Watch*>(user);
        const size_t end = std::min(watch.covered.size(), size_t(std::max(y + height, 0)));
        for (size_t row = size_t(std::max(y, 0)); row < end; ++row)
            if (!watch.covered[row]) {
                watch.covered[row] = true;
                ++watch.rows;
            }
    }

    bool Check(const PictureLimits& limits, std::string* reason) {
        extent_ = {gdk_pixbuf_get_width(pixbuf_), gdk_pixbuf_get_height(pixbuf_)};
        channels_ = gdk_pixbuf_get_n_channels(pixbuf_);
        // Turned by its orientation, or from a loader that announced no size.
        *reason = PictureSizeRefusal(uint64_t(extent_.width), uint64_t(extent_.height), limits);
        if (reason->empty() && (gdk_pixbuf_get_bits_per_sample(pixbuf_) != 8 || channels_ < 3))
            *reason = "a pixel layout other than 8-bit RGB or RGBA";
        return reason->empty();
    }

    GdkPixbuf* pixbuf_ = nullptr;
    int32_t row_ = 0;
};

} // namespace

std::unique_ptr<PictureInput> OpenThroughPixbuf(PictureSource& source, const PictureLimits& limits,
                                                std::string* reason) {
    auto picture = std::make_unique<PixbufInput>();
    if (!picture->Open(source, limits, reason))
        return nullptr;
    return picture;
}

} // namespace zod::cli
