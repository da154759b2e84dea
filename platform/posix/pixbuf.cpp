#include "pixbuf.h"

namespace zod {

DecodedPicture::DecodedPicture(const char* type, const uint8_t* data, size_t size) {
    GError* error = nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, &error);
    if (!loader) {
        g_clear_error(&error);
        return;
    }
    bool ok = gdk_pixbuf_loader_write(loader, data, size, &error);
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
