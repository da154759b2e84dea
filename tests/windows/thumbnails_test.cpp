// zod-tvq-thumbnails.dll as Explorer meets it: registered by regsvr32, found through the
// .tvq thumbnail handler key, created by COM and handed a file stream. Wine 8 differs from
// Windows in two ways met here, and each is worked around in the open, with a note in
// the output: it reads COM classes only from HKLM, and it runs every program elevated.
#include "formats/core/tvq_scale.h"
#include "settings/stored_factor.h"

#include "tests/support/image_files.h"
#include "tests/windows/thumbnail_client.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace zod::test;
namespace fs = std::filesystem;

TEST_F(ThumbnailTest, RegisterServeRefuseAndUnregisterAsExplorerUsesThem) {
    const HKEY hive = IsElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (hive == HKEY_LOCAL_MACHINE)
        printf("note: elevated (Wine runs every program so): registration goes to HKLM\n");
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s \"" + ThumbnailDllPath() + L"\""), 0u);

    std::wstring value;
    ASSERT_TRUE(ReadRegistryString(
        hive, (std::wstring(kThumbnailClass) + L"\\InprocServer32").c_str(), nullptr, &value));
    EXPECT_EQ(lstrcmpiW(value.c_str(), ThumbnailDllPath().c_str()), 0);
    ASSERT_TRUE(ReadRegistryString(hive,
                                   (std::wstring(kThumbnailClass) + L"\\InprocServer32").c_str(),
                                   L"ThreadingModel", &value));
    EXPECT_EQ(value, L"Apartment");
    ASSERT_TRUE(ReadRegistryString(hive, L"Software\\Classes\\.tvq", L"PerceivedType", &value));
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
        const std::vector<uint32_t> picture = TvqPicture(file, kSavedFactor);
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
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + ThumbnailDllPath() + L"\""), 0u);
    for (HKEY h : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_FALSE(RegistryKeyExists(h, kThumbnailClass));
        EXPECT_FALSE(RegistryKeyExists(h, L"Software\\Classes\\.tvq"))
            << "an empty .tvq key is left";
    }
}

// Tools find the factor the viewer sees: the VirtualStore copy first, then the real file.
TEST_F(ThumbnailTest, ViewerFactorComesFromVirtualStoreFirst) {
    EXPECT_EQ(SavedFactorOrDefault(), kSavedFactor);
    fs::remove(dir_.File("VirtualStore/Windows/RARURI.ini"));
    const char* real = "c:\\windows\\RARURI.ini";
    const bool hadReal = fs::exists(real);
    const std::string saved = ReadFileBytes(real);
    WriteFileBytes(real, "7\n");
    EXPECT_EQ(SavedFactorOrDefault(), 7);
    if (hadReal)
        WriteFileBytes(real, saved);
    else
        fs::remove(real);
}

} // namespace
