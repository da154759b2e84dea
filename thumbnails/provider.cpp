#include "thumbnails/thumbnails.h"

#include <new>
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

namespace {

class TvqThumbnailProvider final : public IThumbnailProvider, public IInitializeWithStream {
  public:
    TvqThumbnailProvider() { AddModuleReference(); }
    TvqThumbnailProvider(const TvqThumbnailProvider&) = delete;
    TvqThumbnailProvider& operator=(const TvqThumbnailProvider&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        static const QITAB interfaces[] = {
            QITABENT(TvqThumbnailProvider, IThumbnailProvider),
            QITABENT(TvqThumbnailProvider, IInitializeWithStream),
            {},
        };
        return QISearch(this, interfaces, iid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&references_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return ULONG(left);
    }

    // Explorer hands over the stream once; the provider keeps it until it is released.
    STDMETHODIMP Initialize(IStream* stream, DWORD) override {
        if (!stream)
            return E_INVALIDARG;
        if (stream_)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        stream->AddRef();
        stream_ = stream;
        return S_OK;
    }

    STDMETHODIMP GetThumbnail(UINT size, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override {
        if (!bitmap)
            return E_POINTER;
        *bitmap = nullptr;
        if (!stream_)
            return E_UNEXPECTED;
        HRESULT hr;
        try {
            hr = MakeTvqThumbnail(stream_, size, bitmap);
        } catch (...) {
            hr = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(hr) && alpha)
            *alpha = WTSAT_RGB;
        return hr;
    }

  private:
    ~TvqThumbnailProvider() {
        if (stream_)
            stream_->Release();
        ReleaseModuleReference();
    }

    LONG references_ = 1;
    IStream* stream_ = nullptr;
};

} // namespace

HRESULT CreateTvqThumbnailProvider(REFIID iid, void** object) {
    *object = nullptr;
    TvqThumbnailProvider* provider = new (std::nothrow) TvqThumbnailProvider;
    if (!provider)
        return E_OUTOFMEMORY;
    const HRESULT hr = provider->QueryInterface(iid, object);
    provider->Release();
    return hr;
}
