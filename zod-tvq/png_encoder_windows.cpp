// PNG through the Windows Imaging Component's PNG encoder, so that Windows needs no other
// DLL. Rows go to WIC as they come (24-bit BGR, the order WIC stores natively), with the
// "sub" filter chosen for speed; WIC writes through a stream onto the SafeOutput.
#include "zod-tvq/encoders.h"

#include <windows.h>
#include <shlwapi.h>
#include <wincodec.h>

// A COM object here lives on the stack and is never deleted through an interface, whose
// destructors COM leaves non-virtual.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace zod::cli {

namespace {

// A write-only stream onto a SafeOutput. WIC writes in order and asks where it is.
class OutputStream final : public IStream {
  public:
    explicit OutputStream(SafeOutput& output) : output_(output) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        static const QITAB interfaces[] = {
            QITABENT(OutputStream, IStream),
            QITABENTMULTI(OutputStream, ISequentialStream, IStream),
            {},
        };
        return QISearch(this, interfaces, iid, object);
    }
    // Lives on the encoder's stack; COM's counting only has to be consistent.
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++references_); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(--references_); }

    STDMETHODIMP Read(void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override {
        if (written)
            *written = 0;
        if (!output_.Write(data, size))
            return STG_E_WRITEFAULT;
        position_ += size;
        if (written)
            *written = size;
        return S_OK;
    }
    // Only asking where the stream is, or moving to where it already is.
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
        const int64_t base = origin == STREAM_SEEK_SET ? 0 : int64_t(position_);
        if (origin > STREAM_SEEK_END || base + move.QuadPart != int64_t(position_))
            return STG_E_INVALIDFUNCTION;
        if (newPosition)
            newPosition->QuadPart = position_;
        return S_OK;
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return STG_E_INVALIDFUNCTION;
    }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
        ZeroMemory(stat, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = position_;
        return S_OK;
    }
    STDMETHODIMP Clone(IStream**) override { return STG_E_INVALIDFUNCTION; }

  private:
    SafeOutput& output_;
    uint64_t position_ = 0;
    long references_ = 1;
};

template <typename T> void ReleaseAndClear(T*& object) {
    if (object)
        object->Release();
    object = nullptr;
}

class WicPngEncoder final : public ImageEncoder {
  public:
    WicPngEncoder(ImageExtent extent, SafeOutput& output)
        : extent_(extent), output_(output), stream_(output) {}
    ~WicPngEncoder() override {
        ReleaseAndClear(frame_);
        ReleaseAndClear(encoder_);
        ReleaseAndClear(factory_);
    }
    WicPngEncoder(const WicPngEncoder&) = delete;
    WicPngEncoder& operator=(const WicPngEncoder&) = delete;

    RowLayout Layout() const override { return {true, 3 * size_t(extent_.width), false}; }

    bool Start() override {
        IPropertyBag2* options = nullptr;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        bool ok =
            Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory_))) &&
            Check(factory_->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder_)) &&
            Check(encoder_->Initialize(&stream_, WICBitmapEncoderNoCache)) &&
            Check(encoder_->CreateNewFrame(&frame_, &options));
        if (ok && options) {
            PROPBAG2 option{};
            option.pstrName = const_cast<wchar_t*>(L"FilterOption");
            VARIANT value;
            VariantInit(&value);
            value.vt = VT_UI1;
            value.bVal = WICPngFilterSub;
            options->Write(1, &option, &value); // an encoder without the option keeps its own
        }
        ok = ok && Check(frame_->Initialize(options)) &&
             Check(frame_->SetSize(UINT(extent_.width), UINT(extent_.height))) &&
             Check(frame_->SetPixelFormat(&format));
        if (options)
            options->Release();
        if (ok && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
            error_ = "cannot encode PNG: the encoder does not take 24-bit rows";
            return false;
        }
        return ok;
    }

    bool WriteRows(uint8_t* rows, int32_t count) override {
        const UINT stride = UINT(3 * size_t(extent_.width));
        return Check(frame_->WritePixels(UINT(count), stride, stride * UINT(count), rows));
    }

    bool Finish() override { return Check(frame_->Commit()) && Check(encoder_->Commit()); }

    std::string Error() const override { return error_.empty() ? output_.Error() : error_; }

  private:
    bool Check(HRESULT hr) {
        if (SUCCEEDED(hr))
            return true;
        if (error_.empty() && output_.Error().empty()) {
            char code[16];
            snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(hr));
            error_ = std::string("cannot encode PNG: WIC error 0x") + code;
        }
        return false;
    }

    ImageExtent extent_;
    SafeOutput& output_;
    OutputStream stream_;
    IWICImagingFactory* factory_ = nullptr;
    IWICBitmapEncoder* encoder_ = nullptr;
    IWICBitmapFrameEncode* frame_ = nullptr;
    std::string error_;
};

} // namespace

std::unique_ptr<ImageEncoder> MakePngEncoder(ImageExtent extent, SafeOutput& output) {
    return std::make_unique<WicPngEncoder>(extent, output);
}

} // namespace zod::cli
