// The module from many threads at once, as gdk-pixbuf runs a module marked thread-safe:
// every load decodes with the saved factor.
#include "tests/support/image_files.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace zod::test {
namespace {

TEST(PixbufThreads, EveryConcurrentLoadUsesTheSavedFactor) {
    setenv("GDK_PIXBUF_MODULE_FILE", ZOD_LOADERS_CACHE, 1);
    setenv("XDG_DATA_DIRS", ZOD_DATA_DIR ":/usr/local/share:/usr/share", 1);
    TempDir dir;
    SettingsFolder settings(dir.path());
    std::filesystem::create_directories(dir.path() + "/zod-edozuv");
    WriteFileBytes(settings.File(), "8");
    const std::string tvq = TvqBytes(1, 1, {0x0841}); // 1 in each channel: 8 at factor 8
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                GdkPixbufLoader* loader =
                    gdk_pixbuf_loader_new_with_mime_type("image/x-tvq", nullptr);
                bool ok = loader && gdk_pixbuf_loader_write(
                                        loader, reinterpret_cast<const guchar*>(tvq.data()),
                                        tvq.size(), nullptr);
                ok = loader && gdk_pixbuf_loader_close(loader, nullptr) && ok;
                GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
                const guchar* p = pixbuf ? gdk_pixbuf_read_pixels(pixbuf) : nullptr;
                wrong += !p || p[0] != 8 || p[1] != 8 || p[2] != 8;
                if (loader)
                    g_object_unref(loader);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace zod::test
