// The settings core from many threads at once, as gdk-pixbuf runs the loader module: every
// read finds the saved factor.
#include "common/types.h"
#include "settings/stored_factor.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zod::test {
namespace {

TEST(StoredFactorThreads, EveryConcurrentReadFindsTheSavedFactor) {
    TempDir dir;
    SettingsFolder settings(dir.path());
    std::filesystem::create_directories(dir.path() + "/zod-edozuv");
    const struct {
        const char* what;
        bool pipe; // the settings file is a named pipe: refused at once, never waited on
        int32_t want;
    } cases[] = {{"a saved 8", false, 8}, {"a named pipe", true, kDefaultAmplificationFactor}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        unlink(settings.File().c_str());
        if (c.pipe)
            ASSERT_EQ(mkfifo(settings.File().c_str(), 0600), 0);
        else
            WriteFileBytes(settings.File(), "8");
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 4000; ++i) {
                    wrong += SavedFactorOrDefault() != c.want;
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(wrong, 0);
    }
}

} // namespace
} // namespace zod::test
