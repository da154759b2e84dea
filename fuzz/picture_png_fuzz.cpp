// encode's PNG input: libspng streaming the rows, an interlaced picture kept as its passes
// arrive, the chunks nothing uses read past unseen, the last IDAT's CRC and IEND checked.
// The input follows a PNG signature, given. Checked: a picture it accepts is within the
// limits, reads whole in bands of one to three rows, and is exactly what libspng decodes
// from the same bytes in one call; a refusal, and a failed read, say why.
#include "fuzz/fuzz_support.h"
#include "zod-tvq/picture_input.h"

#include <spng.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Small, so that each run is quick; the code is the same for larger pictures.
constexpr zod::cli::PictureLimits kLimits{uint64_t(1) << 16};

// The picture as libspng decodes it in one call, or nothing when it cannot.
std::vector<uint8_t> Reference(const std::string& png, int channels) {
    spng_ctx* context = spng_ctx_new(SPNG_CTX_IGNORE_ADLER32);
    spng_set_png_buffer(context, png.data(), png.size());
    const int format = channels == 4 ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    size_t bytes = 0;
    std::vector<uint8_t> pixels;
    if (spng_decoded_image_size(context, format, &bytes) == 0) {
        pixels.resize(bytes);
        if (spng_decode_image(context, pixels.data(), bytes, format, SPNG_DECODE_TRNS) != 0)
            pixels.clear();
    }
    spng_ctx_free(context);
    return pixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    png.append(reinterpret_cast<const char*>(data), size);
    const char* path =
        zod::fuzz::InputFile(reinterpret_cast<const uint8_t*>(png.data()), png.size());
    std::string reason;
    auto picture = zod::cli::OpenPicture(path, kLimits, &reason);
    if (!picture) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    const ImageExtent extent = picture->Extent();
    const int channels = picture->Channels();
    FUZZ_CHECK(extent.width >= 1 && extent.height >= 1 && (channels == 3 || channels == 4));
    FUZZ_CHECK(uint64_t(extent.width) * uint64_t(extent.height) <= kLimits.maxPixels);
    const size_t rowBytes = size_t(extent.width) * size_t(channels);
    std::vector<uint8_t> rows(rowBytes * size_t(extent.height));
    for (int32_t done = 0, count = 1; done < extent.height; done += count) {
        count = std::min(extent.height - done, 1 + done % 3);
        if (!picture->ReadRows(rows.data() + size_t(done) * rowBytes, count)) {
            FUZZ_CHECK(!picture->Error().empty());
            return 0;
        }
    }
    FUZZ_CHECK(Reference(png, channels) == rows);
    return 0;
}
