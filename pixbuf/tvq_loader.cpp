// gdk-pixbuf's loader for TVQ images: every GTK program and thumbnailer can show them.
//
// Bytes are decoded as they arrive and rows are reported as soon as they are complete.
// At the end, pixels the file does not hold take its last word's colour, as the viewer
// draws them. The factor is the viewer's saved one; the file is only read. A caller that
// asks for a smaller size (a thumbnailer) gets a pixbuf of that size, sampled while the
// bytes stream past (formats/core/tvq_sampler): only the sampled rows are kept, never the full
// picture.
//
// Refused: a file that ends before the size fields, a size of zero or less, no pixel
// word, more than 2^28 pixels, and an image of more than 2^24 pixels that the file holds
// fewer than one word per 64 pixels of. TVQ has no signature, so any file reaching this
// loader is a TVQ file by its name; a garbage header on a small file would otherwise ask
// for up to 800 MB of one colour. A file that goes on more than 1 MiB past its image is
// refused too: a .tvq link to /dev/zero would otherwise be read for ever.
#include "common/types.h"
#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_plausible.h"
#include "formats/core/tvq_sampler.h"
#include "settings/stored_factor.h"

#include <gdk-pixbuf/gdk-pixbuf-io.h>

#include <algorithm>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr uint64_t kBytesPastImage = uint64_t(1) << 20;

struct TvqLoad {
    GdkPixbufModuleSizeFunc sizeFunc = nullptr;
    GdkPixbufModulePreparedFunc preparedFunc = nullptr;
    GdkPixbufModuleUpdatedFunc updatedFunc = nullptr;
    gpointer user = nullptr;
    std::shared_ptr<const TvqTripleTable> triples; // red first, as the pixbuf stores them
    uint8_t header[kTvqSizeFieldsBytes] = {};
    uint64_t received = 0; // bytes of the file so far
    ImageExtent extent{0, 0};
    ImageExtent out{0, 0}; // the pixbuf's: the extent, or less when the caller asks
    uint64_t imageWords = 0;
    bool sizeOnly = false;     // the caller asked for the size alone
    std::vector<uint8_t> held; // pixel bytes that came before the pixbuf
    GdkPixbuf* pixbuf = nullptr;
    TvqSampler sampler{}; // makes the pixbuf's rows, once there is a pixbuf
    int32_t rowsShown = 0;

    ~TvqLoad() {
        TvqFreeSampler(&sampler);
        if (pixbuf)
            g_object_unref(pixbuf);
    }
};

G_GNUC_PRINTF(3, 4) bool Fail(GError** error, GdkPixbufError code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_propagate_error(error, g_error_new_valist(GDK_PIXBUF_ERROR, code, format, args));
    va_end(args);
    return false;
}

void ShowRows(TvqLoad& load, int32_t rows) {
    if (rows > load.rowsShown && load.updatedFunc)
        load.updatedFunc(load.pixbuf, 0, load.rowsShown, load.out.width, rows - load.rowsShown,
                         load.user);
    load.rowsShown = std::max(load.rowsShown, rows);
}

// Pixel bytes, next in the file, into the pixbuf's rows; bytes past the image are ignored.
void FeedPixels(TvqLoad& load, const uint8_t* data, uint64_t size) {
    TvqFeedSampler(&load.sampler, data, size_t(size));
    ShowRows(load, load.sampler.rowsMade);
}

bool WithinBound(const TvqLoad& load) {
    return TvqHoldsEnough(load.extent, TvqStoredWords(load.received));
}

bool MakePixbuf(TvqLoad& load, GError** error) {
    const int32_t width = load.out.width;
    const int32_t height = load.out.height;
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    // Zeroed, so that a program showing the image while it loads shows black, not garbage.
    auto* pixels = static_cast<uint8_t*>(g_try_malloc0_n(size_t(height), stride));
    if (pixels)
        load.pixbuf = gdk_pixbuf_new_from_data(
            pixels, GDK_COLORSPACE_RGB, FALSE, 8, width, height, int(stride),
            [](guchar* data, gpointer) { g_free(data); }, nullptr);
    if (!load.pixbuf)
        g_free(pixels);
    if (!load.pixbuf ||
        !TvqStartSampler(load.extent, load.out, *load.triples, 3, pixels, stride, &load.sampler))
        return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                    "Not enough memory for a TVQ image of %d × %d pixels", width, height);
    if (load.preparedFunc)
        load.preparedFunc(load.pixbuf, nullptr, load.user);
    FeedPixels(load, load.held.data(), load.held.size());
    std::vector<uint8_t>().swap(load.held);
    return true;
}

bool ReadSize(TvqLoad& load, GError** error) {
    if (const char* other = TvqOtherFormat(load.header, kTvqSizeFieldsBytes))
        return Fail(error, GDK_PIXBUF_ERROR_UNKNOWN_TYPE, "A %s file, not TVQ", other);
    load.extent = TvqExtentFromHeader(load.header);
    load.imageWords = TvqImageWords(load.extent);
    const int32_t width = load.extent.width;
    const int32_t height = load.extent.height;
    if (load.imageWords == 0)
        return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "TVQ image has no pixels: %d × %d",
                    width, height);
    if (load.imageWords > kTvqMaxPixels)
        return Fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                    "TVQ image of %d × %d is larger than 2^28 pixels", width, height);
    int requestedWidth = width;
    int requestedHeight = height;
    if (load.sizeFunc)
        load.sizeFunc(&requestedWidth, &requestedHeight, load.user);
    load.sizeOnly = requestedWidth == 0 || requestedHeight == 0;
    // Smaller as asked, never larger: gdk-pixbuf enlarges what it must itself.
    load.out =
        ImageExtent{std::clamp(requestedWidth, 1, width), std::clamp(requestedHeight, 1, height)};
    return true;
}

bool Feed(TvqLoad& load, const uint8_t* data, uint64_t size, GError** error) {
    // The size fields, then the bytes up to the pixels, which are not used.
    while (size > 0 && load.received < kTvqPixelsOffset) {
        if (load.received < kTvqSizeFieldsBytes)
            load.header[load.received] = *data;
        ++load.received;
        ++data;
        --size;
        if (load.received == kTvqSizeFieldsBytes && !ReadSize(load, error))
            return false;
    }
    if (size == 0)
        return true;
    load.received += size;
    if (load.received - kTvqPixelsOffset > 2 * load.imageWords + kBytesPastImage)
        return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
                    "TVQ file goes on more than 1 MiB past its image of %d × %d pixels",
                    load.extent.width, load.extent.height);
    if (load.sizeOnly)
        return true;
    if (load.pixbuf) {
        FeedPixels(load, data, size);
        return true;
    }
    const uint64_t room = 2 * load.imageWords - load.held.size();
    load.held.insert(load.held.end(), data, data + std::min(size, room));
    return !WithinBound(load) || MakePixbuf(load, error);
}

bool Finish(TvqLoad& load, GError** error) {
    const int32_t width = load.extent.width;
    const int32_t height = load.extent.height;
    if (load.received < kTvqSizeFieldsBytes)
        return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "TVQ file ends before its size fields");
    if (load.sizeOnly)
        return true;
    if (load.received <= kTvqPixelsOffset)
        return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
                    "TVQ file of %d × %d pixels holds no pixel data", width, height);
    if (!load.pixbuf)
        return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
                    "TVQ file claims %d × %d pixels but holds too few of them", width, height);
    if (!TvqFinishSampler(&load.sampler))
        return Fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
                    "TVQ file of %d × %d pixels holds no pixel data", width, height);
    ShowRows(load, load.out.height);
    return true;
}

// The table for `factor`, made once for a run of loads with one factor (a folder of
// thumbnails) rather than 256 KiB for each; loads on other threads share it.
std::shared_ptr<const TvqTripleTable> TriplesFor(int32_t factor) {
    static std::mutex mutex;
    static std::shared_ptr<const TvqTripleTable> kept;
    static int32_t keptFactor = 0;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!kept || keptFactor != factor) {
        auto table = std::make_shared<TvqTripleTable>();
        MakeTvqTripleTable(factor, TVQ_RED_FIRST, table.get());
        kept = std::move(table);
        keptFactor = factor;
    }
    return kept;
}

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer user, GError** error) {
    try {
        auto load = std::make_unique<TvqLoad>();
        load->sizeFunc = sizeFunc;
        load->preparedFunc = preparedFunc;
        load->updatedFunc = updatedFunc;
        load->user = user;
        load->triples = TriplesFor(SavedFactorOrDefault());
        return load.release();
    } catch (...) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            "Not enough memory to load a TVQ image");
        return nullptr;
    }
}

gboolean LoadIncrement(gpointer context, const guchar* data, guint size, GError** error) {
    try {
        return Feed(*static_cast<TvqLoad*>(context), data, size, error);
    } catch (...) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            "Not enough memory to load a TVQ image");
        return FALSE;
    }
}

gboolean StopLoad(gpointer context, GError** error) {
    auto* load = static_cast<TvqLoad*>(context);
    const bool ok = Finish(*load, error); // throws nothing: no allocation
    delete load;
    return ok;
}

GdkPixbufModulePattern noSignature[] = {{nullptr, nullptr, 0}};
gchar mimeType[] = "image/x-tvq";
gchar* mimeTypes[] = {mimeType, nullptr};
gchar extension[] = "tvq";
gchar* extensions[] = {extension, nullptr};
gchar formatName[] = "tvq";
gchar description[] = "TVQ image";

} // namespace

extern "C" G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
    module->begin_load = BeginLoad;
    module->load_increment = LoadIncrement;
    module->stop_load = StopLoad;
}

extern "C" G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
    info->name = formatName;
    info->signature = noSignature;
    info->description = description;
    info->mime_types = mimeTypes;
    info->extensions = extensions;
    // Every load has its own state, and the settings core keeps none.
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
}
