#include "zod-tvq/encode.h"

#include "zod-tvq/band_pipeline.h"
#include "zod-tvq/picture_input.h"
#include "zod-tvq/safe_output.h"
#include "zod-tvq/utf8_path.h"
#include "zod-tvq/verdict.h"
#include "formats/core/tvq_encode.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace zod::cli {

namespace {

// Rows are read and written about this many input bytes at a time.
constexpr size_t kBandBytes = 1 << 20;

} // namespace

bool EncodePicture(const std::string& input, const std::string& output,
                   const EncodeSettings& settings, const std::vector<FileIdentity>& protect,
                   Progress& progress, std::string* reason) {
    const bool toStream = output == "-";
    std::vector<FileIdentity> inputs = IdentitiesOf({input});
    inputs.insert(inputs.end(), protect.begin(), protect.end());
    if (!toStream && !(*reason = OutputRefusal(output, inputs)).empty())
        return false;
    std::error_code ignored;
    if (!toStream && !settings.force &&
        fs::symlink_status(PathOf(output), ignored).type() != fs::file_type::not_found) {
        *reason = output + " exists; --force replaces it";
        return false;
    }
    std::unique_ptr<PictureInput> picture =
        OpenPicture(input, {settings.maxPixels}, reason);
    if (!picture)
        return false;
    const ImageExtent extent = picture->Extent();
    const int channels = picture->Channels();
    const size_t width = size_t(extent.width);
    const int32_t bandRows =
        int32_t(std::clamp<size_t>(kBandBytes / (width * size_t(channels)), 1, 1 << 15));
    TvqEncodeTable table;
    MakeTvqEncodeTable(settings.factor, &table);
    std::vector<uint8_t> words(size_t(bandRows) * width * 2);
    std::vector<int32_t> errors(settings.dither ? 6 * (width + 2) : 0);
    uint8_t header[kTvqHeaderBytes];
    TvqWriteHeader(extent, header);
    SafeOutput out;

    // Decoding the picture (for PNG, inflating it) takes most of the time: a second thread
    // decodes the next band while this one encodes and writes the last.
    const int bands = int((extent.height + bandRows - 1) / bandRows);
    const size_t rowBytes = width * size_t(channels);
    auto rowsOf = [&](int band) { return std::min(bandRows, extent.height - band * bandRows); };
    bool readFailed = false;
    auto fill = [&](int band, uint8_t* pixels) {
        readFailed = !picture->ReadRows(pixels, rowsOf(band));
        return !readFailed;
    };
    auto empty = [&](int band, uint8_t* pixels) {
        const int32_t count = rowsOf(band);
        for (int32_t i = 0; i < count; ++i) {
            const uint8_t* in = pixels + size_t(i) * rowBytes;
            uint8_t* to = words.data() + size_t(i) * width * 2;
            if (settings.dither)
                TvqDitherRowToWords(table, in, channels, extent.width, errors.data(), to);
            else
                TvqPixelsToWords(table, in, channels, width, to);
        }
        progress.Update(double(band + 1) / bands);
        return out.Write(words.data(), size_t(count) * width * 2);
    };

    BandPipeline pipeline;
    bool ok = (toStream ? out.AttachStandardOutput() : out.Create(output, &inputs)) &&
              out.Write(header, sizeof header);
    ok = ok && pipeline.Run(bands, size_t(bandRows) * rowBytes, fill, empty);
    ok = ok && out.Commit(settings.force, settings.sync);
    if (!ok)
        *reason = readFailed ? picture->Error() : out.Error();
    if (!ok && reason->empty())
        *reason = "out of memory"; // the pipeline's buffers or thread
    return ok;
}

} // namespace zod::cli
