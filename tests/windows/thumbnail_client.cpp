#include "tests/windows/thumbnail_client.h"

#include "tests/support/image_files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <shlwapi.h>

namespace zod::test {

namespace fs = std::filesystem;

const wchar_t kThumbnailSlot[] =
    L"Software\\Classes\\.tvq\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kThumbnailClass[] =
    L"Software\\Classes\\CLSID\\{7C1D5E2A-3B4F-4E86-9A0D-5F2B8C61D3E7}";
const IID kThumbnailProviderIid = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};

std::wstring Wide(const std::string& text) {
    return fs::path(text).wstring();
}

// The DLL under test, as a Windows path (the build names it by its Unix path).
std::wstring ThumbnailDllPath() {
    std::wstring path = Wide(ZOD_THUMBNAILS_DLL);
    if (!path.empty() && path[0] == L'/')
        path = L"Z:" + path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

bool IsElevated() {
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    bool elevated =
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated;
    if (token)
        CloseHandle(token);
    return elevated;
}

DWORD RunProgram(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return DWORD(-1);
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

bool ReadRegistryString(HKEY hive, const wchar_t* key, const wchar_t* name, std::wstring* value) {
    wchar_t text[1024];
    DWORD size = sizeof text;
    if (RegGetValueW(hive, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return false;
    *value = text;
    return true;
}

bool RegistryKeyExists(HKEY hive, const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

HRESULT CreateProviderForTvq(HKEY hive, IThumbnailProvider** provider) {
    std::wstring clsidText;
    if (!ReadRegistryString(hive, kThumbnailSlot, nullptr, &clsidText))
        return REGDB_E_KEYMISSING;
    CLSID clsid;
    HRESULT hr = CLSIDFromString(clsidText.c_str(), &clsid);
    if (FAILED(hr))
        return hr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kThumbnailProviderIid,
                          reinterpret_cast<void**>(provider));
    if (hr != REGDB_E_CLASSNOTREG || hive != HKEY_CURRENT_USER)
        return hr;
    // Windows merges HKCU\Software\Classes into what COM reads; Wine 8 does not. Load the
    // DLL the user's InprocServer32 names and ask it for the class, as COM would.
    printf("note: Wine reads COM classes from HKLM only; loading the DLL named under HKCU's "
           "InprocServer32 as COM would\n");
    std::wstring server;
    if (!ReadRegistryString(hive, (std::wstring(kThumbnailClass) + L"\\InprocServer32").c_str(),
                            nullptr, &server))
        return REGDB_E_CLASSNOTREG;
    HMODULE module = LoadLibraryW(server.c_str()); // stays loaded, as COM keeps it
    auto getClassObject =
        module ? reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
                     reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))
               : nullptr;
    if (!getClassObject)
        return REGDB_E_CLASSNOTREG;
    IClassFactory* factory = nullptr;
    hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr =
        factory->CreateInstance(nullptr, kThumbnailProviderIid, reinterpret_cast<void**>(provider));
    factory->Release();
    return hr;
}

namespace {

// The test's stream lives on its stack; COM never deletes it through an interface.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A stream as other sources give them: one that cannot seek, or whose Stat promises more
// than it holds; it notes any Read that reaches past what it holds.
class AwkwardStream final : public IStream {
  public:
    AwkwardStream(IStream* inner, bool canSeek, uint64_t promisedExtra)
        : inner_(inner), canSeek_(canSeek), promisedExtra_(promisedExtra) {
        STATSTG stat{};
        if (inner_ && SUCCEEDED(inner_->Stat(&stat, STATFLAG_NONAME)))
            size_ = stat.cbSize.QuadPart;
    }
    bool readPast = false;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        static const QITAB interfaces[] = {
            QITABENT(AwkwardStream, IStream),
            QITABENTMULTI(AwkwardStream, ISequentialStream, IStream),
            {},
        };
        return QISearch(this, interfaces, iid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override { return --references_; } // on the test's stack
    STDMETHODIMP Read(void* into, ULONG size, ULONG* got) override {
        readPast = readPast || position_ + size > size_ + promisedExtra_;
        ULONG read = 0;
        const HRESULT hr = inner_->Read(into, size, &read);
        position_ += read;
        if (got)
            *got = read;
        return hr;
    }
    STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* to) override {
        if (!canSeek_)
            return STG_E_INVALIDFUNCTION;
        ULARGE_INTEGER now{};
        const HRESULT hr = inner_->Seek(move, origin, &now);
        position_ = now.QuadPart;
        if (to)
            *to = now;
        return hr;
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override {
        const HRESULT hr = inner_->Stat(stat, flags);
        stat->cbSize.QuadPart += promisedExtra_;
        return hr;
    }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

  private:
    IStream* inner_;
    bool canSeek_;
    uint64_t promisedExtra_;
    uint64_t size_ = 0, position_ = 0;
    ULONG references_ = 1;
};

} // namespace

Thumbnail ThumbnailOf(IThumbnailProvider* provider, const std::string& path, UINT size,
                      bool canSeek, uint64_t promisedExtra, bool* readPast) {
    Thumbnail out;
    IInitializeWithStream* init = nullptr;
    out.result =
        provider->QueryInterface(IID_IInitializeWithStream, reinterpret_cast<void**>(&init));
    if (FAILED(out.result))
        return out;
    IStream* stream = nullptr;
    out.result = SHCreateStreamOnFileEx(Wide(path).c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                        FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream);
    AwkwardStream wrapped(stream, canSeek, promisedExtra);
    if (SUCCEEDED(out.result))
        out.result = init->Initialize(readPast ? &wrapped : stream, STGM_READ);
    HBITMAP bitmap = nullptr;
    if (SUCCEEDED(out.result))
        out.result = provider->GetThumbnail(size, &bitmap, &out.alpha);
    init->Release(); // releases the stream it holds
    if (readPast)
        *readPast = wrapped.readPast;
    if (stream)
        stream->Release();
    if (FAILED(out.result)) {
        EXPECT_EQ(bitmap, nullptr);
        return out;
    }
    DIBSECTION dib{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof dib, &dib), int(sizeof dib)) << "not a DIB section";
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    out.width = dib.dsBm.bmWidth;
    out.height = dib.dsBm.bmHeight;
    // Read back top row first, whichever way the section is stored.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = out.width;
    info.bmiHeader.biHeight = -out.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> bits(size_t(out.width) * size_t(out.height));
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, UINT(out.height), bits.data(), &info, DIB_RGB_COLORS),
              out.height);
    ReleaseDC(nullptr, dc);
    for (uint32_t p : bits)
        out.colours.push_back(RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF));
    DeleteObject(bitmap);
    return out;
}

void ThumbnailTest::SetUp() {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // The viewer's factor, where file virtualisation keeps it for this user.
    const std::wstring local = L"LOCALAPPDATA=" + Wide(dir_.path());
    _wputenv(local.c_str());
    fs::create_directories(fs::path(dir_.path()) / "VirtualStore" / "Windows");
    WriteFileBytes(dir_.File("VirtualStore/Windows/RARURI.ini"), std::to_string(kSavedFactor));
}
void ThumbnailTest::TearDown() {
    CoUninitialize();
}

} // namespace zod::test
