// Driving zod-tvq-thumbnails.dll as Explorer does, for the Windows tests: regsvr32, the
// .tvq handler key, COM, and file streams, plain or awkward.
#pragma once

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <thumbcache.h>
#include <vector>

namespace zod::test {

extern const wchar_t kThumbnailSlot[];  // .tvq's thumbnail handler, under a hive
extern const wchar_t kThumbnailClass[]; // the DLL's class, under a hive
constexpr int kSavedFactor = 5;         // the factor the test's VirtualStore copy holds

std::wstring Wide(const std::string& text);
// The DLL under test, as a Windows path.
std::wstring ThumbnailDllPath();
bool IsElevated();
// Runs a command line and waits for its exit status.
DWORD RunProgram(std::wstring commandLine);
bool ReadRegistryString(HKEY hive, const wchar_t* key, const wchar_t* name, std::wstring* value);
bool RegistryKeyExists(HKEY hive, const wchar_t* key);

// The provider for .tvq as Explorer finds it: the handler key gives the class, COM makes it.
HRESULT CreateProviderForTvq(HKEY hive, IThumbnailProvider** provider);

struct Thumbnail {
    HRESULT result = E_FAIL;
    int width = 0, height = 0;
    std::vector<uint32_t> colours; // COLORREF, top row first
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
};

// The provider's thumbnail of the file at `path`, handed over as a stream that may refuse
// to seek or promise more bytes than it holds; `readPast` (when given) tells whether any
// read asked for more than the stream said it holds.
Thumbnail ThumbnailOf(IThumbnailProvider* provider, const std::string& path, UINT size,
                      bool canSeek = true, uint64_t promisedExtra = 0, bool* readPast = nullptr);

// COM for the test, and the viewer's factor in a VirtualStore folder of the test's own.
class ThumbnailTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    TempDir dir_;
};

} // namespace zod::test
