// Asks for a TVQ file's thumbnail as Explorer does: the provider named under the .tvq key
// (the user's classes first, as Windows merges them), created through COM and handed the
// file as a stream. Prints "WIDTH HEIGHT" of the bitmap it answers, or why there is none.
// The installer test runs the one of the system's width.
#include <windows.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <thumbcache.h>

#include <cstdio>

namespace {

const wchar_t kThumbnailHandler[] = L"\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";

bool ReadHandler(HKEY root, const wchar_t* classes, wchar_t* clsid, DWORD bytes) {
    wchar_t key[256];
    swprintf(key, 256, L"%ls.tvq%ls", classes, kThumbnailHandler);
    return RegGetValueW(root, key, nullptr, RRF_RT_REG_SZ, nullptr, clsid, &bytes) == 0;
}

int Fail(const char* what, HRESULT result) {
    printf("no thumbnail: %s (0x%08lx)\n", what, static_cast<unsigned long>(result));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        printf("usage: thumbnail_probe FILE.tvq SIZE\n");
        return 2;
    }
    wchar_t path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, MAX_PATH);
    const UINT size = static_cast<UINT>(atoi(argv[2]));

    wchar_t text[64];
    if (!ReadHandler(HKEY_CURRENT_USER, L"Software\\Classes\\", text, sizeof text) &&
        !ReadHandler(HKEY_CLASSES_ROOT, L"", text, sizeof text))
        return Fail("no thumbnail handler under the .tvq key", E_FAIL);
    CLSID clsid;
    if (FAILED(CLSIDFromString(text, &clsid)))
        return Fail("the handler is no class id", E_INVALIDARG);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IInitializeWithStream* init = nullptr;
    IStream* stream = nullptr;
    IThumbnailProvider* provider = nullptr;
    HBITMAP bitmap = nullptr;
    BITMAP info{};
    const char* step = "the provider cannot be created";
    HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&init));
    if (SUCCEEDED(result)) {
        step = "the file cannot be opened";
        result = SHCreateStreamOnFileEx(path, STGM_READ | STGM_SHARE_DENY_WRITE, 0, FALSE, nullptr,
                                        &stream);
    }
    if (SUCCEEDED(result)) {
        step = "the provider refused the stream";
        result = init->Initialize(stream, STGM_READ);
    }
    if (SUCCEEDED(result))
        result = init->QueryInterface(IID_PPV_ARGS(&provider));
    if (SUCCEEDED(result)) {
        step = "the provider answered no bitmap";
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        result = provider->GetThumbnail(size, &bitmap, &alpha);
    }
    if (SUCCEEDED(result) && bitmap)
        GetObjectW(bitmap, sizeof info, &info);
    if (bitmap)
        DeleteObject(bitmap);
    if (provider)
        provider->Release();
    if (stream)
        stream->Release();
    if (init)
        init->Release();
    CoUninitialize();
    if (FAILED(result) || !bitmap)
        return Fail(step, result);
    printf("%ld %ld\n", info.bmWidth, info.bmHeight);
    return 0;
}
