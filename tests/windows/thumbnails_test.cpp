// zod-tvq-thumbnails.dll as Explorer meets it: registered by regsvr32, found through the
// .tvq thumbnail handler key, created by COM and handed a file stream. Wine 8 differs from
// Windows in three ways met here, and each is worked around in the open, with a note in
// the output: it reads COM classes only from HKLM, and it runs every program elevated.
#include "formats/tvq_scale.h"
#include "settings/stored_factor.h"

#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <psapi.h>
#include <shlwapi.h>
#include <string>
#include <thumbcache.h>
#include <vector>

namespace {

using namespace zod::test;
namespace fs = std::filesystem;

const wchar_t kSlot[] = L"Software\\Classes\\.tvq\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{7C1D5E2A-3B4F-4E86-9A0D-5F2B8C61D3E7}";
const IID kThumbnailProviderIid = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};
constexpr int kFactor = 5; // the factor the test's VirtualStore copy holds

std::wstring Wide(const std::string& text) {
    return fs::path(text).wstring();
}

// The DLL under test, as a Windows path (the build names it by its Unix path).
std::wstring DllPath() {
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

bool ReadString(HKEY hive, const wchar_t* key, const wchar_t* name, std::wstring* value) {
    wchar_t text[1024];
    DWORD size = sizeof text;
    if (RegGetValueW(hive, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return false;
    *value = text;
    return true;
}

bool KeyExists(HKEY hive, const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

// The provider for .tvq as Explorer finds it: the handler key gives the class, COM makes it.
HRESULT CreateProviderForTvq(HKEY hive, IThumbnailProvider** provider) {
    std::wstring clsidText;
    if (!ReadString(hive, kSlot, nullptr, &clsidText))
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
    if (!ReadString(hive, (std::wstring(kClassKey) + L"\\InprocServer32").c_str(), nullptr,
                    &server))
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

struct Thumbnail {
    HRESULT result = E_FAIL;
    int width = 0, height = 0;
    std::vector<uint32_t> colours; // COLORREF, top row first
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
};

Thumbnail ThumbnailOf(IThumbnailProvider* provider, const std::string& path, UINT size) {
    Thumbnail out;
    IInitializeWithStream* init = nullptr;
    out.result =
        provider->QueryInterface(IID_IInitializeWithStream, reinterpret_cast<void**>(&init));
    if (FAILED(out.result))
        return out;
    IStream* stream = nullptr;
    out.result = SHCreateStreamOnFileEx(Wide(path).c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                        FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream);
    if (SUCCEEDED(out.result))
        out.result = init->Initialize(stream, STGM_READ);
    HBITMAP bitmap = nullptr;
    if (SUCCEEDED(out.result))
        out.result = provider->GetThumbnail(size, &bitmap, &out.alpha);
    if (stream)
        stream->Release();
    init->Release();
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

class Thumbnails : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        // The viewer's factor, where file virtualisation keeps it for this user.
        const std::wstring local = L"LOCALAPPDATA=" + Wide(dir_.path());
        _wputenv(local.c_str());
        fs::create_directories(fs::path(dir_.path()) / "VirtualStore" / "Windows");
        WriteFileBytes(dir_.File("VirtualStore/Windows/RARURI.ini"), std::to_string(kFactor));
    }
    void TearDown() override { CoUninitialize(); }

    TempDir dir_;
};

TEST_F(Thumbnails, RegisterServeRefuseAndUnregisterAsExplorerUsesThem) {
    const HKEY hive = IsElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (hive == HKEY_LOCAL_MACHINE)
        printf("note: elevated (Wine runs every program so): registration goes to HKLM\n");
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s \"" + DllPath() + L"\""), 0u);

    std::wstring value;
    ASSERT_TRUE(
        ReadString(hive, (std::wstring(kClassKey) + L"\\InprocServer32").c_str(), nullptr, &value));
    EXPECT_EQ(lstrcmpiW(value.c_str(), DllPath().c_str()), 0);
    ASSERT_TRUE(ReadString(hive, (std::wstring(kClassKey) + L"\\InprocServer32").c_str(),
                           L"ThreadingModel", &value));
    EXPECT_EQ(value, L"Apartment");
    ASSERT_TRUE(ReadString(hive, L"Software\\Classes\\.tvq", L"PerceivedType", &value));
    EXPECT_EQ(value, L"image");

    IThumbnailProvider* provider = nullptr;
    ASSERT_EQ(CreateProviderForTvq(hive, &provider), S_OK);
    provider->Release();

    // Pictures: each thumbnail pixel is the source pixel at the centre of its span, in the
    // viewer's colours at the saved factor; short files repeat their last word.
    const struct {
        int width, height;
        size_t stored; // words in the file
        bool loneByte;
        UINT size;
        int outWidth, outHeight;
    } cases[] = {
        {300, 200, 60000, false, 256, 256, 171}, // wide, shrunk
        {100, 50, 5000, false, 256, 100, 50},    // smaller than asked: not enlarged
        {10, 1000, 10000, false, 96, 1, 96},     // tall
        {1000, 10, 2500, true, 256, 256, 3},     // short, ending in a lone byte
        {700, 700, 100, false, 32, 32, 32},      // nearly all past the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " stored " << c.stored);
        std::string file = TvqBytes(int16_t(c.width), int16_t(c.height), NoiseWords(c.stored));
        if (c.loneByte)
            file.pop_back();
        const std::string path = dir_.File("picture.tvq");
        WriteFileBytes(path, file);
        ASSERT_EQ(CreateProviderForTvq(hive, &provider), S_OK);
        const Thumbnail thumbnail = ThumbnailOf(provider, path, c.size);
        provider->Release();
        ASSERT_EQ(thumbnail.result, S_OK);
        EXPECT_EQ(thumbnail.alpha, WTSAT_RGB);
        ASSERT_EQ(thumbnail.width, c.outWidth);
        ASSERT_EQ(thumbnail.height, c.outHeight);
        const std::vector<uint32_t> picture = TvqPicture(file, kFactor);
        int wrong = 0;
        for (int y = 0; y < c.outHeight; ++y)
            for (int x = 0; x < c.outWidth; ++x) {
                const size_t source = size_t(TvqSampleIndex(y, c.outHeight, c.height)) * c.width +
                                      size_t(TvqSampleIndex(x, c.outWidth, c.width));
                wrong += thumbnail.colours[size_t(y) * c.outWidth + x] != picture[source];
            }
        EXPECT_EQ(wrong, 0);
    }

    // What the plausibility rule refuses gets an error and no bitmap.
    const struct {
        const char* what;
        std::string bytes;
    } refused[] = {
        {"shorter than the size fields", "TVQ"},
        {"no size", TvqBytes(0, 10, NoiseWords(10))},
        {"no pixel word", TvqBytes(10, 10, {})},
        {"more than 2^28 pixels", TvqBytes(32767, 32767, NoiseWords(64))},
        {"a renamed text file", "Dear diary, today the build was green and the tea was hot."},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.what);
        const std::string path = dir_.File("refused.tvq");
        WriteFileBytes(path, r.bytes);
        ASSERT_EQ(CreateProviderForTvq(hive, &provider), S_OK);
        const Thumbnail thumbnail = ThumbnailOf(provider, path, 256);
        provider->Release();
        EXPECT_EQ(thumbnail.result, HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
    }

    CoFreeUnusedLibraries();
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + DllPath() + L"\""), 0u);
    for (HKEY h : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_FALSE(KeyExists(h, kClassKey));
        EXPECT_FALSE(KeyExists(h, L"Software\\Classes\\.tvq")) << "an empty .tvq key is left";
    }
}

// Explorer reads big files too: the thumbnail of 8192 x 4096 pixels (64 MiB) is read once
// in order, sampling only what it shows. Its time and peak memory are printed; the floor
// is reading the same stream whole.
TEST_F(Thumbnails, BigPictureTimeAndMemory) {
    const int width = 8192, height = 4096;
    auto word = [](int x, int y) { return TvqWord(x / 256, y / 128, (x + y) % 31); };
    // Written a row at a time, so that the process's peak before the thumbnail stays low.
    const std::string path = dir_.File("big.tvq");
    {
        FILE* file = _wfopen(Wide(path).c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        const std::string header = TvqBytes(width, height, {});
        fwrite(header.data(), 1, header.size(), file);
        std::vector<uint8_t> row(2 * size_t(width));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                WriteLe16(&row[2 * size_t(x)], word(x, y));
            fwrite(row.data(), 1, row.size(), file);
        }
        ASSERT_EQ(fclose(file), 0);
    }
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s \"" + DllPath() + L"\""), 0u);
    const HKEY hive = IsElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> thumbnailMs, floorMs;
    SIZE_T extra = 0;
    for (int run = 0; run < 7; ++run) {
        IThumbnailProvider* provider = nullptr;
        ASSERT_EQ(CreateProviderForTvq(hive, &provider), S_OK);
        PROCESS_MEMORY_COUNTERS_EX before{};
        GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before), sizeof before);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        const Thumbnail thumbnail = ThumbnailOf(provider, path, 256);
        QueryPerformanceCounter(&end);
        PROCESS_MEMORY_COUNTERS_EX after{};
        GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&after), sizeof after);
        provider->Release();
        ASSERT_EQ(thumbnail.result, S_OK);
        ASSERT_EQ(thumbnail.width, 256);
        ASSERT_EQ(thumbnail.height, 128);
        for (int y : {0, 64, 127})
            for (int x : {0, 100, 255})
                EXPECT_EQ(thumbnail.colours[size_t(y) * 256 + size_t(x)],
                          AmplifiedColour(
                              word(TvqSampleIndex(x, 256, width), TvqSampleIndex(y, 128, height)),
                              kFactor));
        thumbnailMs.push_back(1000.0 * double(end.QuadPart - start.QuadPart) /
                              double(frequency.QuadPart));
        if (after.PeakPagefileUsage > before.PagefileUsage)
            extra = std::max(extra, after.PeakPagefileUsage - before.PagefileUsage);

        IStream* stream = nullptr;
        QueryPerformanceCounter(&start);
        ASSERT_EQ(SHCreateStreamOnFileEx(Wide(path).c_str(), STGM_READ, 0, FALSE, nullptr, &stream),
                  S_OK);
        std::vector<char> piece(64 * 1024);
        ULONG got = 0;
        while (SUCCEEDED(stream->Read(piece.data(), ULONG(piece.size()), &got)) && got > 0) {
        }
        stream->Release();
        QueryPerformanceCounter(&end);
        floorMs.push_back(1000.0 * double(end.QuadPart - start.QuadPart) /
                          double(frequency.QuadPart));
    }
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + DllPath() + L"\""), 0u);
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    printf("thumbnail 8192x4096 -> 256x128: median %.2f ms, min %.2f ms; reading the stream "
           "whole: median %.2f ms, min %.2f ms; extra peak memory %.2f MiB\n",
           median(thumbnailMs), *std::min_element(thumbnailMs.begin(), thumbnailMs.end()),
           median(floorMs), *std::min_element(floorMs.begin(), floorMs.end()),
           double(extra) / (1024.0 * 1024.0));
    EXPECT_LT(extra, SIZE_T(16) << 20);
}

// Tools find the factor the viewer sees: the VirtualStore copy first, then the real file.
TEST_F(Thumbnails, ViewerFactorComesFromVirtualStoreFirst) {
    int32_t factor = 0;
    ASSERT_TRUE(LoadViewerFactor(&factor));
    EXPECT_EQ(factor, kFactor);
    fs::remove(dir_.File("VirtualStore/Windows/RARURI.ini"));
    const char* real = "c:\\windows\\RARURI.ini";
    const bool hadReal = fs::exists(real);
    const std::string saved = ReadFileBytes(real);
    WriteFileBytes(real, "7\n");
    factor = 0;
    EXPECT_TRUE(LoadViewerFactor(&factor));
    EXPECT_EQ(factor, 7);
    if (hadReal)
        WriteFileBytes(real, saved);
    else
        fs::remove(real);
}

} // namespace
