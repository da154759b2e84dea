#include "converter/encode.h"

#include "converter/picture_input.h"
#include "converter/safe_output.h"
#include "converter/utf8_path.h"
#include "formats/tvq_encode.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace zod::tvq {

namespace {

// Rows are read and written about this many input bytes at a time.
constexpr size_t kBandBytes = 1 << 20;

} // namespace

bool EncodePicture(const std::string& input, const std::string& output,
                   const EncodeSettings& settings, Progress& progress, std::string* reason) {
    const bool toStream = output == "-";
    std::error_code ignored;
    if (!toStream && !settings.force &&
        fs::symlink_status(PathOf(output), ignored).type() != fs::file_type::not_found) {
        *reason = output + " exists; --force replaces it";
        return false;
    }
    std::unique_ptr<PictureInput> picture = OpenPicture(input, kTvqMaxSide, reason);
    if (!picture)
        return false;
    const ImageExtent extent = picture->Extent();
    const int channels = picture->Channels();
    const size_t width = size_t(extent.width);
    const int32_t bandRows =
        int32_t(std::clamp<size_t>(kBandBytes / (width * size_t(channels)), 1, 1 << 15));
    TvqEncodeTable table;
    MakeTvqEncodeTable(settings.factor, &table);
    std::vector<uint8_t> pixels(size_t(bandRows) * width * size_t(channels));
    std::vector<uint8_t> words(size_t(bandRows) * width * 2);
    std::vector<int32_t> errors(settings.dither ? 6 * (width + 2) : 0);
    uint8_t header[kTvqHeaderBytes];
    TvqWriteHeader(extent, header);

    SafeOutput out;
    bool ok = (toStream ? out.AttachStandardOutput() : out.Create(output)) &&
              out.Write(header, sizeof header);
    for (int32_t row = 0; ok && row < extent.height; row += bandRows) {
        const int32_t count = std::min(bandRows, extent.height - row);
        if (!picture->ReadRows(pixels.data(), count)) {
            *reason = picture->Error();
            return false;
        }
        const size_t rowPixels = width * size_t(channels);
        for (int32_t i = 0; i < count; ++i) {
            const uint8_t* in = pixels.data() + size_t(i) * rowPixels;
            uint8_t* to = words.data() + size_t(i) * width * 2;
            if (settings.dither)
                TvqDitherRowToWords(table, in, channels, extent.width, errors.data(), to);
            else
                TvqPixelsToWords(table, in, channels, width, to);
        }
        ok = out.Write(words.data(), size_t(count) * width * 2);
        progress.Update(double(row + count) / extent.height);
    }
    ok = ok && out.Commit(settings.force, settings.sync);
    if (!ok)
        *reason = out.Error();
    return ok;
}

} // namespace zod::tvq
