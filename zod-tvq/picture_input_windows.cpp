// Pictures through the Windows Imaging Component's decoders (PNG, JPEG, BMP, GIF, TIFF and
// whatever codecs the system has), converted by WIC to 8-bit RGBA, not premultiplied.
#include "zod-tvq/picture_input.h"
#include "zod-tvq/standard_streams.h"
#include "zod-tvq/tvq_input.h"
#include "zod-tvq/utf8_path.h"

#include <windows.h>
#include <wincodec.h>

#include <cerrno>
#include <cstring>

namespace zod::cli {

namespace {

std::string WicError(const char* what, HRESULT hr) {
    if (hr == WINCODEC_ERR_COMPONENTNOTFOUND || hr == WINCODEC_ERR_UNKNOWNIMAGEFORMAT)
        return "not a picture this system can read";
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
        hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
        return "No such file or directory";
    char code[16];
    snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(hr));
    return std::string(what) + ": WIC error 0x" + code;
}

class WicInput final : public PictureInput {
  public:
    ~WicInput() override {
        if (source_)
            source_->Release();
        if (decoder_)
            decoder_->Release();
        if (factory_)
            factory_->Release();
    }

    bool Open(const std::wstring& path, const PictureLimits& limits, std::string* reason) {
        HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(&factory_));
        if (SUCCEEDED(hr))
            hr = factory_->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder_);
        IWICBitmapFrameDecode* frame = nullptr;
        if (SUCCEEDED(hr))
            hr = decoder_->GetFrame(0, &frame);
        UINT width = 0, height = 0;
        if (SUCCEEDED(hr))
            hr = frame->GetSize(&width, &height);
        if (FAILED(hr)) {
            *reason = WicError("cannot read", hr);
            if (frame)
                frame->Release();
            return false;
        }
        *reason = PictureSizeRefusal(width, height, limits);
        if (!reason->empty()) {
            frame->Release();
            return false;
        }
        IWICFormatConverter* converter = nullptr;
        hr = factory_->CreateFormatConverter(&converter);
        if (SUCCEEDED(hr))
            hr = converter->Initialize(frame, GUID_WICPixelFormat32bppRGBA, WICBitmapDitherTypeNone,
                                       nullptr, 0, WICBitmapPaletteTypeCustom);
        frame->Release();
        if (FAILED(hr)) {
            if (converter)
                converter->Release();
            *reason = WicError("cannot convert to RGBA", hr);
            return false;
        }
        source_ = converter;
        extent_ = {int32_t(width), int32_t(height)};
        channels_ = 4;
        return true;
    }

    bool ReadRows(uint8_t* rows, int32_t count) override {
        const UINT stride = UINT(4 * size_t(extent_.width));
        const WICRect rect{0, row_, extent_.width, count};
        const HRESULT hr = source_->CopyPixels(&rect, stride, stride * UINT(count), rows);
        if (FAILED(hr)) {
            error_ = WicError("cannot decode", hr);
            return false;
        }
        row_ += count;
        return true;
    }

  private:
    IWICImagingFactory* factory_ = nullptr;
    IWICBitmapDecoder* decoder_ = nullptr;
    IWICBitmapSource* source_ = nullptr;
    int32_t row_ = 0;
};

} // namespace

std::unique_ptr<PictureInput> OpenPicture(const std::string& path, const PictureLimits& limits,
                                          std::string* reason) {
    std::string name = path;
    // One byte past the limit is enough to refuse standard input as too long.
    const uint64_t keep = PictureByteLimit(limits.maxPixels);
    if (IsStandardStream(path) &&
        (name = StandardInputPath(keep == UINT64_MAX ? keep : keep + 1, reason)).empty())
        return nullptr;
    // A device or a pipe is refused before WIC reads from it, as on Linux.
    FILE* file = OpenRegularFile(name, reason);
    if (!file) {
        if (reason->empty())
            *reason = strerror(errno);
        return nullptr;
    }
    const bool tooLong = _fseeki64(file, 0, SEEK_END) == 0 &&
                         uint64_t(_ftelli64(file)) > PictureByteLimit(limits.maxPixels);
    fclose(file);
    if (tooLong) {
        *reason = PictureBytesRefusal(limits.maxPixels);
        return nullptr;
    }
    auto picture = std::make_unique<WicInput>();
    if (!picture->Open(PathOf(name).wstring(), limits, reason))
        return nullptr;
    return picture;
}

} // namespace zod::cli
