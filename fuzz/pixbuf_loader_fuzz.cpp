// The gdk-pixbuf TVQ module's load path, fed in pieces of 1 to 64 bytes (by the first
// byte, which the format does not use), as a program streaming a file would. Checked: an
// image it accepts has the header's size, the first word's colour at the top left and
// the last pixel the file gives; a refusal says why. When the first byte's top bit is set,
// and for images of 2^20 to 2^24 pixels (the same code as smaller ones, at a cost of up to
// 48 MB a run), the caller asks for the size alone, as gdk_pixbuf_get_file_info does: then
// a readable header is accepted with no pixbuf made.
#include "fuzz/fuzz_support.h"

#include <gdk-pixbuf/gdk-pixbuf-io.h>

#include <algorithm>
#include <cstdlib>

extern "C" void fill_vtable(GdkPixbufModule* module);

namespace {

constexpr unsigned kFactor = 3; // no saved factor: the default

// What the module tells the caller, through the one pointer it passes to both callbacks.
struct Caller {
    bool sizeOnlyAlways; // ask for the size alone, whatever it is
    bool asked = false;  // the size callback ran
    bool sizeOnly = false;
    GdkPixbuf* pixbuf = nullptr;
};

void Size(gint* width, gint* height, gpointer user) {
    auto* caller = static_cast<Caller*>(user);
    caller->asked = true;
    const uint64_t pixels = uint64_t(*width) * uint64_t(*height);
    caller->sizeOnly =
        caller->sizeOnlyAlways || (pixels > (uint64_t(1) << 20) && pixels <= (uint64_t(1) << 24));
    if (caller->sizeOnly)
        *width = *height = 0;
}

void Prepared(GdkPixbuf* pixbuf, GdkPixbufAnimation*, gpointer user) {
    static_cast<Caller*>(user)->pixbuf = GDK_PIXBUF(g_object_ref(pixbuf));
}

uint16_t Word(const uint8_t* data, size_t size, uint64_t i) {
    const uint64_t at = 32 + 2 * i;
    return uint16_t(data[at] | (at + 1 < size ? data[at + 1] << 8 : 0));
}

bool Shows(const guchar* p, uint16_t word) {
    auto level = [](unsigned c) { return guchar(std::min(255u, c * kFactor)); };
    return p[0] == level(word >> 11) && p[1] == level((word >> 6) & 31) && p[2] == level(word & 31);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_CONFIG_HOME", "/nonexistent/zod-fuzz", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GdkPixbufModule module = [] {
        GdkPixbufModule m{};
        fill_vtable(&m);
        return m;
    }();
    GError* error = nullptr;
    Caller caller{size > 0 && (data[0] & 0x80) != 0};
    gpointer load = module.begin_load(Size, Prepared, nullptr, &caller, &error);
    GdkPixbuf*& pixbuf = caller.pixbuf;
    FUZZ_CHECK(load);
    const size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
    bool ok = true;
    for (size_t at = 0; ok && at < size; at += piece)
        ok = module.load_increment(load, data + at, guint(std::min(piece, size - at)), &error);
    ok = module.stop_load(load, ok ? &error : nullptr) && ok;
    FUZZ_CHECK(ok == (error == nullptr));
    g_clear_error(&error);
    if (caller.sizeOnly) {
        const int width = int16_t(data[4] | data[5] << 8), height = int16_t(data[8] | data[9] << 8);
        FUZZ_CHECK(ok && !pixbuf && width > 0 && height > 0);
    } else if (ok) {
        FUZZ_CHECK(pixbuf && size > 32);
        const int width = int16_t(data[4] | data[5] << 8), height = int16_t(data[8] | data[9] << 8);
        FUZZ_CHECK(gdk_pixbuf_get_width(pixbuf) == width &&
                   gdk_pixbuf_get_height(pixbuf) == height);
        const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
        const uint64_t words = uint64_t(width) * uint64_t(height), stored = (size - 32 + 1) / 2;
        const guchar* last = pixels +
                             size_t(height - 1) * size_t(gdk_pixbuf_get_rowstride(pixbuf)) +
                             size_t(width - 1) * size_t(gdk_pixbuf_get_n_channels(pixbuf));
        FUZZ_CHECK(Shows(pixels, Word(data, size, 0)));
        FUZZ_CHECK(Shows(last, Word(data, size, std::min(words, stored) - 1)));
    }
    if (pixbuf)
        g_object_unref(pixbuf);
    return 0;
}
