// A real Qt program in a real X server: a QLabel viewer opens a .tvq file through the
// plugin, built and installed, and the screen shows the picture at the saved factor.
#include "tests/support/gui_session.h"
#include "tests/support/image_files.h"

#include <sys/wait.h>

using namespace zod::test;
using namespace zod::test::gui;

namespace {

// From the build tree's plugin folder, then from the one `cmake --install` fills.
TEST(QtViewer, ShowsATvqFileAsTheViewerDraws) {
    ASSERT_TRUE(EnsureXServer()) << "no X server";
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    TempDir prefix;
    const std::string installed = prefix.path() + "/" ZOD_QT_INSTALLED_PLUGINS;
    const std::string out =
        Shell("cmake --install " ZOD_BUILD_DIR " --prefix " + prefix.path() + " 2>&1");
    ASSERT_TRUE(FileExists(installed + "/imageformats/libqtvq.so")) << out;
    for (const std::string& plugins : {std::string(ZOD_QT_PLUGIN_DIR), installed}) {
        SCOPED_TRACE(plugins);
        setenv("QT_PLUGIN_PATH", plugins.c_str(), 1);
        Session session;
        constexpr int kW = 64, kH = 32;
        const std::string sample = TvqBytes(kW, kH, NoiseWords(kW * kH - 100)); // short, too
        WriteFileBytes(session.work() + "/sample.tvq", sample);
        WriteFileBytes(session.config() + "/zod-edozuv/RARURI.ini", "6");
        ASSERT_TRUE(session.Start(ZOD_LABEL_VIEWER, {"sample.tvq"}));
        const std::vector<uint32_t> picture = TvqPicture(sample, 6);
        EXPECT_TRUE(OnScreen(0, 0, kW, kH, [&](int x, int y) {
            return picture[size_t(y * kW + x)];
        })) << session.Errors();
        const unsigned long window = FindWindow("TVQ label viewer");
        ASSERT_NE(window, 0UL);
        SendCloseRequest(window);
        int status = -1;
        ASSERT_TRUE(session.Ended(&status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << session.Errors();
    }
}

} // namespace
