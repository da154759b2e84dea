// A real Qt program in a real X server: a QLabel viewer opens a .tvq file through the
// plugin, and the screen shows the picture at the saved factor.
#include "tests/support/gui_session.h"
#include "tests/support/image_files.h"

#include <sys/wait.h>

using namespace zod::test;
using namespace zod::test::gui;

namespace {

TEST(QtViewer, ShowsATvqFileAsTheViewerDraws) {
    ASSERT_TRUE(EnsureXServer()) << "no X server";
    setenv("QT_PLUGIN_PATH", ZOD_QT_PLUGIN_DIR, 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    Session session;
    constexpr int kW = 64, kH = 32;
    const std::string sample = TvqBytes(kW, kH, NoiseWords(kW * kH - 100)); // short, too
    WriteFileBytes(session.work() + "/sample.tvq", sample);
    WriteFileBytes(session.config() + "/zod-edozuv/RARURI.ini", "6");
    ASSERT_TRUE(session.Start(ZOD_LABEL_VIEWER, {"sample.tvq"}));
    const std::vector<uint32_t> picture = TvqPicture(sample, 6);
    EXPECT_TRUE(OnScreen(0, 0, kW, kH, [&](int x, int y) { return picture[size_t(y * kW + x)]; }))
        << session.Errors();
    const unsigned long window = FindWindow("TVQ label viewer");
    ASSERT_NE(window, 0UL);
    SendCloseRequest(window);
    int status = -1;
    ASSERT_TRUE(session.Ended(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << session.Errors();
}

} // namespace
