// zod-tvq-thumbnails.dll: TVQ thumbnails for Explorer, an in-process COM server.
//
//   module.cpp            the entry points COM calls, the class factory, the object count
//   provider.cpp          the thumbnail provider (IThumbnailProvider, IInitializeWithStream)
//   stream_thumbnail.cpp  a stream read once, in order, into a DIB section at the size asked
//   registration.cpp      DllRegisterServer and DllUnregisterServer
//
// Nothing here lets an exception reach Explorer: each entry point catches everything and
// answers with an HRESULT.
#pragma once

#include <windows.h>
#include <objidl.h>

// COM objects delete themselves in Release; nothing deletes one through an interface,
// whose destructors COM leaves non-virtual.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// {7C1D5E2A-3B4F-4E86-9A0D-5F2B8C61D3E7}
extern const CLSID kTvqThumbnailClsid;
constexpr wchar_t kTvqThumbnailClsidText[] = L"{7C1D5E2A-3B4F-4E86-9A0D-5F2B8C61D3E7}";

// The module's handle, for its own path.
extern HMODULE thumbnailModule;

// Objects alive and server locks, for DllCanUnloadNow.
void AddModuleReference();
void ReleaseModuleReference();

// A new provider, with one reference, answering `iid` in *object.
HRESULT CreateTvqThumbnailProvider(REFIID iid, void** object);

// The thumbnail of the TVQ file read from `stream`, at most `size` pixels on its longer
// side, as a top-down 32-bit DIB section. A file the plausibility rule refuses gives
// HRESULT_FROM_WIN32(ERROR_BAD_FORMAT).
HRESULT MakeTvqThumbnail(IStream* stream, UINT size, HBITMAP* bitmap);

HRESULT RegisterThumbnails();
HRESULT UnregisterThumbnails();
