// What regsvr32 writes and removes. Under HKCU\Software\Classes for an ordinary user, so no
// administrator is needed; under HKLM\Software\Classes when the process is elevated, for
// every user. Only what this DLL wrote is removed: the .tvq key may hold another
// program's association.
#include "thumbnails/thumbnails.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <string>

namespace {

// The shell's thumbnail handler slot, IThumbnailProvider's interface id.
constexpr wchar_t kThumbnailSlot[] = L".tvq\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
constexpr wchar_t kClassName[] = L"ZOD Edozuv TVQ thumbnails";

std::wstring ClassKey() {
    return std::wstring(L"CLSID\\") + kTvqThumbnailClsidText;
}

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    // Windows before Vista has no elevation: an ordinary user's registration there.
    const bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

HRESULT OpenClasses(HKEY hive, REGSAM access, HKEY* classes) {
    return HRESULT_FROM_WIN32(RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0, access,
                                              nullptr, classes, nullptr));
}

HRESULT SetString(HKEY root, const std::wstring& key, const wchar_t* name,
                  const std::wstring& value) {
    HKEY opened = nullptr;
    LONG status =
        RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        status =
            RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }
    return HRESULT_FROM_WIN32(status);
}

bool ReadString(HKEY root, const wchar_t* key, const wchar_t* name, std::wstring* value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    wchar_t text[128] = {};
    DWORD type = 0, size = sizeof text - sizeof text[0]; // room for a NUL the data may lack
    const LONG status =
        RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    *value = text;
    return true;
}

// Removes `key` when nothing is left in it.
void DeleteIfEmpty(HKEY root, const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    if (subkeys == 0 && values == 0)
        RegDeleteKeyW(root, key);
}

// Whether the class is still registered under `classes` for either kind of process: the
// 32- and 64-bit DLLs share one class id, in the two registry views of CLSID, but the .tvq
// keys are one for both.
bool ClassRegisteredInAnyView(HKEY hive) {
    for (REGSAM view : {REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
        HKEY opened = nullptr;
        const std::wstring key = L"Software\\Classes\\" + ClassKey();
        if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, &opened) == ERROR_SUCCESS) {
            RegCloseKey(opened);
            return true;
        }
    }
    return false;
}

void RemoveFrom(HKEY hive, HKEY classes) {
    SHDeleteKeyW(classes, ClassKey().c_str());
    if (ClassRegisteredInAnyView(hive))
        return; // the other DLL still serves the thumbnails
    std::wstring value;
    if (ReadString(classes, kThumbnailSlot, nullptr, &value) &&
        lstrcmpiW(value.c_str(), kTvqThumbnailClsidText) == 0)
        RegDeleteKeyW(classes, kThumbnailSlot);
    if (ReadString(classes, L".tvq", L"PerceivedType", &value) && value == L"image")
        SHDeleteValueW(classes, L".tvq", L"PerceivedType");
    DeleteIfEmpty(classes, L".tvq\\ShellEx");
    DeleteIfEmpty(classes, L".tvq");
}

HRESULT WriteInto(HKEY classes, const std::wstring& modulePath) {
    const std::wstring server = ClassKey() + L"\\InprocServer32";
    HRESULT hr = SetString(classes, ClassKey(), nullptr, kClassName);
    if (SUCCEEDED(hr))
        hr = SetString(classes, server, nullptr, modulePath);
    if (SUCCEEDED(hr))
        hr = SetString(classes, server, L"ThreadingModel", L"Apartment");
    if (SUCCEEDED(hr))
        hr = SetString(classes, kThumbnailSlot, nullptr, kTvqThumbnailClsidText);
    if (SUCCEEDED(hr))
        hr = SetString(classes, L".tvq", L"PerceivedType", L"image");
    return hr;
}

} // namespace

HRESULT RegisterThumbnails() {
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(thumbnailModule, path, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    const HKEY hive = IsElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY classes = nullptr;
    HRESULT hr = OpenClasses(hive, KEY_READ | KEY_WRITE, &classes);
    if (FAILED(hr))
        return hr;
    hr = WriteInto(classes, path);
    if (FAILED(hr))
        RemoveFrom(hive, classes); // no half registration
    RegCloseKey(classes);
    if (SUCCEEDED(hr))
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return hr;
}

HRESULT UnregisterThumbnails() {
    // An elevated user may have registered once without elevation too: both go.
    HKEY hives[2] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    const int count = IsElevated() ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        HKEY classes = nullptr;
        if (RegOpenKeyExW(hives[i], L"Software\\Classes", 0, KEY_READ | KEY_WRITE, &classes) !=
            ERROR_SUCCESS)
            continue;
        RemoveFrom(hives[i], classes);
        RegCloseKey(classes);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return S_OK;
}
