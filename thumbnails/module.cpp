// The four entry points the DLL exports (zod-tvq-thumbnails.def), and the class factory.
#include "thumbnails/thumbnails.h"

#include <initguid.h>
#include <shlwapi.h>

DEFINE_GUID(kTvqThumbnailClsidGuid, 0x7c1d5e2a, 0x3b4f, 0x4e86, 0x9a, 0x0d, 0x5f, 0x2b, 0x8c, 0x61,
            0xd3, 0xe7);
const CLSID kTvqThumbnailClsid = kTvqThumbnailClsidGuid;
HMODULE thumbnailModule = nullptr;

namespace {

LONG moduleReferences = 0;

class ClassFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        static const QITAB interfaces[] = {QITABENT(ClassFactory, IClassFactory), {}};
        return QISearch(this, interfaces, iid, object);
    }
    // One static factory: references only keep the module loaded.
    STDMETHODIMP_(ULONG) AddRef() override {
        AddModuleReference();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        ReleaseModuleReference();
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            return CreateTvqThumbnailProvider(iid, object);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            AddModuleReference();
        else
            ReleaseModuleReference();
        return S_OK;
    }
};

ClassFactory classFactory;

} // namespace

void AddModuleReference() {
    InterlockedIncrement(&moduleReferences);
}

void ReleaseModuleReference() {
    InterlockedDecrement(&moduleReferences);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thumbnailModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, kTvqThumbnailClsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    return classFactory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    return moduleReferences == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    try {
        return RegisterThumbnails();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return UnregisterThumbnails();
    } catch (...) {
        return E_UNEXPECTED;
    }
}
