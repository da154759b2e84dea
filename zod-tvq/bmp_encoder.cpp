// BMP rows go out through writev, the band's rows listed bottom first, so that decoding
// can fill each band top down.
#include "zod-tvq/encoders.h"
#include "formats/core/bmp_layout.h"

#include <climits>
#include <cstring>
#include <vector>

namespace zod::cli {

namespace {

class BmpEncoder final : public ImageEncoder {
  public:
    BmpEncoder(ImageExtent extent, SafeOutput& output)
        : extent_(extent), stride_(size_t(BitmapRowStride(extent.width))), output_(output) {}

    RowLayout Layout() const override { return {true, stride_, true}; }

    bool Start() override {
        uint8_t header[kBitmapHeaderBytes];
        if (!FillBitmapHeader(extent_.width, extent_.height, header)) {
            error_ = "too large for a BMP file";
            return false;
        }
        return output_.Write(header, sizeof header);
    }

    bool WriteRows(uint8_t* rows, int32_t count) override {
        const size_t pixels = 3 * size_t(extent_.width);
        pieces_.clear();
        for (int32_t row = count - 1; row >= 0; --row) {
            uint8_t* bytes = rows + size_t(row) * stride_;
            memset(bytes + pixels, 0, stride_ - pixels); // the row's padding
            pieces_.push_back({bytes, stride_});
            if (pieces_.size() == IOV_MAX && !Flush())
                return false;
        }
        return Flush();
    }

    bool Finish() override { return true; }

    std::string Error() const override { return error_.empty() ? output_.Error() : error_; }

  private:
    bool Flush() {
        const bool ok = output_.WritePieces(pieces_.data(), int(pieces_.size()));
        pieces_.clear();
        return ok;
    }

    ImageExtent extent_;
    size_t stride_;
    SafeOutput& output_;
    std::vector<iovec> pieces_;
    std::string error_;
};

} // namespace

std::unique_ptr<ImageEncoder> MakeBmpEncoder(ImageExtent extent, SafeOutput& output) {
    return std::make_unique<BmpEncoder>(extent, output);
}

} // namespace zod::cli
