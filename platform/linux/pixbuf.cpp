#include "pixbuf.h"

#include <sys/mman.h>
#include <unistd.h>

namespace zod {

void ReleasePages(const void* data, size_t size) {
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (uintptr_t(data) + page - 1) / page * page;
    const uintptr_t end = (uintptr_t(data) + size) / page * page;
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

DecodedPicture::DecodedPicture(const char* type, const uint8_t* data, size_t size, bool consume) {
    GError* error = nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, &error);
    if (!loader) {
        g_clear_error(&error);
        return;
    }
    constexpr size_t kPiece = size_t(1) << 20;
    bool ok = true;
    for (size_t at = 0; ok && at < size; at += kPiece) {
        const size_t piece = size - at < kPiece ? size - at : kPiece;
        ok = gdk_pixbuf_loader_write(loader, data + at, piece, &error);
        if (consume)
            ReleasePages(data + at, piece);
    }
    // close() must run either way; it reports truncated data too.
    ok = gdk_pixbuf_loader_close(loader, ok ? &error : nullptr) && ok;
    g_clear_error(&error);
    GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf && gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB &&
        gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && gdk_pixbuf_get_n_channels(pixbuf) >= 3)
        pixbuf_ = GDK_PIXBUF(g_object_ref(pixbuf));
    g_object_unref(loader);
}

DecodedPicture::~DecodedPicture() {
    if (pixbuf_)
        g_object_unref(pixbuf_);
}

} // namespace zod
