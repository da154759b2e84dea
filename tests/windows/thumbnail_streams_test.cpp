// The thumbnail DLL with the streams other sources give, and with a big picture.
#include "formats/core/tvq_scale.h"

#include "tests/support/image_files.h"
#include "tests/windows/thumbnail_client.h"

#include <algorithm>
#include <cstdio>
#include <psapi.h>
#include <string>
#include <vector>

namespace {

using namespace zod::test;

TEST_F(ThumbnailTest, AwkwardStreamsGiveTheSamePictures) {
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s \"" + ThumbnailDllPath() + L"\""), 0u);
    const HKEY hive = IsElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    IThumbnailProvider* provider = nullptr;
    // Streams that cannot seek, or promise more than they hold: the same pictures, read in
    // order; nothing is asked for past what a stream says it holds.
    {
        const int width = 8192, height = 1024; // sampled rows far apart: skipped where possible
        std::string file = TvqBytes(width, height, NoiseWords(size_t(width) * height - 777, 5));
        const std::string path = dir_.File("awkward.tvq");
        WriteFileBytes(path, file);
        const std::vector<uint32_t> picture = TvqPicture(file, kSavedFactor);
        const struct {
            bool canSeek;
            uint64_t promisedExtra;
        } streams[] = {{true, 0}, {false, 0}, {false, 1 << 20}};
        for (const auto& st : streams) {
            SCOPED_TRACE(testing::Message() << "seeks " << st.canSeek << ", promises "
                                            << st.promisedExtra << " bytes more");
            ASSERT_EQ(CreateProviderForTvq(hive, &provider), S_OK);
            bool readPast = true;
            const Thumbnail thumbnail =
                ThumbnailOf(provider, path, 256, st.canSeek, st.promisedExtra, &readPast);
            provider->Release();
            ASSERT_EQ(thumbnail.result, S_OK);
            EXPECT_FALSE(readPast);
            ASSERT_EQ(thumbnail.width, 256);
            ASSERT_EQ(thumbnail.height, 32);
            int wrong = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 256; ++x)
                    wrong += thumbnail.colours[size_t(y) * 256 + x] !=
                             picture[size_t(TvqSampleIndex(y, 32, height)) * width +
                                     size_t(TvqSampleIndex(x, 256, width))];
            EXPECT_EQ(wrong, 0);
        }
    }

    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + ThumbnailDllPath() + L"\""), 0u);
}

// Explorer reads big files too: the thumbnail of 8192 x 4096 pixels (64 MiB) is made from one
// reading in order, sampling only what it shows, in little memory.
TEST_F(ThumbnailTest, ABigPictureIsSampledInLittleMemory) {
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
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s \"" + ThumbnailDllPath() + L"\""), 0u);
    const HKEY hive = IsElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;

    IThumbnailProvider* provider = nullptr;
    ASSERT_EQ(CreateProviderForTvq(hive, &provider), S_OK);
    PROCESS_MEMORY_COUNTERS_EX before{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&before),
                         sizeof before);
    const Thumbnail thumbnail = ThumbnailOf(provider, path, 256);
    PROCESS_MEMORY_COUNTERS_EX after{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&after),
                         sizeof after);
    provider->Release();
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + ThumbnailDllPath() + L"\""), 0u);
    ASSERT_EQ(thumbnail.result, S_OK);
    ASSERT_EQ(thumbnail.width, 256);
    ASSERT_EQ(thumbnail.height, 128);
    for (int y : {0, 64, 127})
        for (int x : {0, 100, 255})
            EXPECT_EQ(thumbnail.colours[size_t(y) * 256 + size_t(x)],
                      AmplifiedColour(
                          word(TvqSampleIndex(x, 256, width), TvqSampleIndex(y, 128, height)),
                          kSavedFactor));
    EXPECT_LT(after.PeakPagefileUsage - std::min(after.PeakPagefileUsage, before.PagefileUsage),
              SIZE_T(16) << 20);
}

} // namespace
