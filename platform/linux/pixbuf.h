// The one way the subset decodes picture files: gdk-pixbuf, with a named loader.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstddef>
#include <cstdint>

namespace zod {

// Hands the pages wholly inside [data, data + size) back to the system. They read as zeros
// afterwards: only for memory that is never read again, so that a large picture is not held
// twice on its way through the decoder.
void ReleasePages(const void* data, size_t size);

// A picture decoded by the loader for `type` ("bmp", "ico") alone, so that no other format
// is taken. Empty when the loader refuses the bytes. With `consume`, the caller's bytes are
// released as they are fed in.
class DecodedPicture {
  public:
    DecodedPicture(const char* type, const uint8_t* data, size_t size, bool consume = false);
    ~DecodedPicture();
    DecodedPicture(const DecodedPicture&) = delete;
    DecodedPicture& operator=(const DecodedPicture&) = delete;

    explicit operator bool() const { return pixbuf_ != nullptr; }
    int Width() const { return gdk_pixbuf_get_width(pixbuf_); }
    int Height() const { return gdk_pixbuf_get_height(pixbuf_); }

    // Calls store(i, argb) for every pixel: i counts row by row from the top left, argb is
    // 0xAARRGGBB, with alpha 0xFF where the picture has none.
    template <typename Store> void ForEachPixel(Store store) const { Walk(store, false); }
    // The same, releasing each row once it has been read: the pixels are gone afterwards.
    template <typename Store> void DrainPixels(Store store) { Walk(store, true); }

  private:
    template <typename Store> void Walk(Store store, bool release) const {
        const int width = Width();
        const int height = Height();
        const int channels = gdk_pixbuf_get_n_channels(pixbuf_);
        const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf_);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf_);
        const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf_);
        size_t i = 0;
        int kept = 0; // the first row not yet released
        for (int y = 0; y < height; ++y) {
            const guchar* in = pixels + size_t(y) * size_t(stride);
            for (int x = 0; x < width; ++x, in += channels)
                store(i++, uint32_t(alpha ? in[3] : 0xFF) << 24 | uint32_t(in[0]) << 16 |
                               uint32_t(in[1]) << 8 | uint32_t(in[2]));
            // A megabyte at a time: a call per row would cost more than the rows.
            const size_t done = size_t(y + 1 - kept) * size_t(stride);
            if (release && (done >= (size_t(1) << 20) || y + 1 == height)) {
                ReleasePages(pixels + size_t(kept) * size_t(stride), done);
                kept = y + 1;
            }
        }
    }

    GdkPixbuf* pixbuf_ = nullptr; // 8-bit RGB or RGBA
};

} // namespace zod
