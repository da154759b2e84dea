// Starting, the intro picture, and leaving.
#include "scenario.h"
#include "tests/support/gdi_helpers.h"

#include <sys/stat.h>

#include <optional>

namespace zod::test {
namespace {

// The first start tells the user and stores the default, then carries on (the GUI tests show
// it); when the settings can be neither read nor created, the program ends after one paint.
TEST(Startup, UnusableSettingsEndTheProgramAfterOnePaint) {
    for (bool folderAsFile :
         {false, true}) { // RARURI.ini is a folder; else its folder cannot be made
        Program p;
        p.WriteFile("not-a-folder", "x");
        std::optional<SettingsFolder> impossible;
        if (folderAsFile) // opens on Linux, as a file, but cannot be read
            ASSERT_EQ(mkdir(SettingsFilePath(true).text, 0755), 0);
        else
            impossible.emplace(p.Path("not-a-folder") + "/config");
        p.WriteFile("intro.bmp", Bmp24Bytes(4, 4, [](int, int) { return RGB(9, 9, 9); }));
        p.Check([] { ADD_FAILURE() << "the loop waited for input"; });
        EXPECT_EQ(p.Run(), 0);
        ASSERT_EQ(p.host.MessageBoxes().size(), 2u);
        const MessageBoxRequest& first = p.host.MessageBoxes()[0];
        EXPECT_EQ(first.caption, "Initialization Error");
        EXPECT_EQ(first.type, UINT(MB_OK | MB_ICONHAND));
        EXPECT_NE(first.owner, nullptr); // the main window, while it is being created
        EXPECT_EQ(p.host.MessageBoxes()[1].caption, "CRITICAL ERROR");
        EXPECT_EQ(p.host.QuitRequests(), std::vector<int>{0});
        EXPECT_EQ(p.host.WindowsShown(), 1);
        EXPECT_EQ(ScreenPixel(320 - 2 - 10, 240 - 2), RGB(9, 9, 9)); // painted once
    }
}

// Only File > Exit saves the level (the typical run proves it does); closing the window
// leaves without saving.
TEST_F(Scenario, ACloseRequestLeavesWithoutSavingTheLevel) {
    StoreSettings("3");
    Choose(IDM_LEVEL4);
    Check([&] { host.RequestClose(); });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(SettingsContent(), "3");
    EXPECT_FALSE(host.ScriptRanOut());
}

// Centred ten pixels left of the screen's middle, in sizes the GUI tests' even-sized intro
// does not show. Every pixel differs from its neighbours, which tells position and
// orientation apart.
TEST(Startup, IntroIsCentredTenPixelsLeftOnTheScreen) {
    const struct {
        int width, height;
        int x, y; // where its top-left corner lands on the 640 x 480 screen
    } cases[] = {{201, 101, 210, 190}, {100, 470, 260, 5}, {622, 10, -1, 235}};
    auto colour = [](int x, int y) { return uint32_t(RGB(x & 255, y & 255, 50 + x / 256)); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        Program p;
        p.StoreSettings("3");
        p.WriteFile("intro.bmp", Bmp24Bytes(c.width, c.height, colour));
        p.Check([&] {
            ExpectScreen(640, 480, [&](int x, int y) {
                // Drawn through the window, so never over the menu bar's rows.
                const bool inside = x >= c.x && x < c.x + c.width && y >= c.y &&
                                    y < c.y + c.height && y >= kMenuBarRows;
                return inside ? colour(x - c.x, y - c.y) : 0u;
            });
            EXPECT_EQ(CurrentExtent.width, 0); // the intro is not the image on view
        });
        p.Run();
    }
}

} // namespace
} // namespace zod::test
