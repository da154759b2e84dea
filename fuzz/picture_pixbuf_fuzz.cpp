// encode's other formats, through the system's gdk-pixbuf loaders as chosen here by their
// signatures, with the size limits, the byte limit and the checks for a picture cut short.
// Checked: a picture it accepts is within the limits, and the library, choosing the loader
// itself and given every byte, makes the same picture of the same bytes; a refusal says
// why; no loader leaves a temporary file behind.
#include "fuzz/fuzz_support.h"
#include "zod-tvq/picture_input.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>
#include <dirent.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Small, so that each run is quick; the code is the same for larger pictures.
constexpr zod::cli::PictureLimits kLimits{uint64_t(1) << 16};

// The loaders' temporary files go here, where the check can see them.
std::string temporary;

// The rows as the library makes them of the whole input, packed; empty when it cannot.
std::vector<uint8_t> Reference(const uint8_t* data, size_t size, ImageExtent extent, int channels) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    std::vector<uint8_t> rows;
    const bool written = gdk_pixbuf_loader_write(loader, data, size, nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* loaded = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    GdkPixbuf* pixbuf = loaded ? gdk_pixbuf_apply_embedded_orientation(loaded) : nullptr;
    if (pixbuf && gdk_pixbuf_get_width(pixbuf) == extent.width &&
        gdk_pixbuf_get_height(pixbuf) == extent.height &&
        gdk_pixbuf_get_n_channels(pixbuf) == channels) {
        const size_t rowBytes = size_t(extent.width) * size_t(channels);
        const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
        for (int32_t y = 0; y < extent.height; ++y) {
            const guint8* row = pixels + size_t(y) * size_t(gdk_pixbuf_get_rowstride(pixbuf));
            rows.insert(rows.end(), row, row + rowBytes);
        }
    }
    if (pixbuf)
        g_object_unref(pixbuf);
    g_object_unref(loader);
    return rows;
}

int FilesIn(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    int count = 0;
    while (const dirent* entry = dir ? readdir(dir) : nullptr)
        count += entry->d_name[0] != '.';
    if (dir)
        closedir(dir);
    return count;
}

} // namespace

// Loaders reserve what a header claims (a BMP's header length: up to 4 GiB) and fill it only
// as bytes arrive; under ASan reserving a gigabyte takes seconds. Here such a reservation
// fails, as it would under a tight memory limit, and the loader's failure is what is fuzzed.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Before the library first asks for the temporary folder, which it then keeps.
    char folder[] = "/tmp/zod-fuzz-pixbuf-XXXXXX";
    FUZZ_CHECK(mkdtemp(folder));
    temporary = folder;
    setenv("TMPDIR", folder, 1);
    std::atexit([] { rmdir(temporary.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 4 && memcmp(data, "\x89PNG", 4) == 0)
        return 0; // libspng's, fuzzed by picture_png
    std::string reason;
    auto picture = zod::cli::OpenPicture(zod::fuzz::InputFile(data, size), kLimits, &reason);
    FUZZ_CHECK(FilesIn(temporary) == 0);
    if (!picture) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    const ImageExtent extent = picture->Extent();
    const int channels = picture->Channels();
    FUZZ_CHECK(extent.width >= 1 && extent.height >= 1 && (channels == 3 || channels == 4));
    FUZZ_CHECK(uint64_t(extent.width) * uint64_t(extent.height) <= kLimits.maxPixels);
    std::vector<uint8_t> rows(size_t(extent.width) * size_t(channels) * size_t(extent.height));
    FUZZ_CHECK(picture->ReadRows(rows.data(), extent.height));
    FUZZ_CHECK(Reference(data, size, extent, channels) == rows);
    return 0;
}
