// Starting, the intro picture, and leaving.
#include "scenario.h"
#include "tests/support/gdi_helpers.h"

#include <sys/stat.h>

#include <optional>

namespace zod::test {
namespace {

using Startup = Scenario;

struct UnusableSettingsCase {
    const char* name;
    bool folderAsFile; // RARURI.ini is a folder; else its folder cannot be made
};

class UnusableSettings : public Scenario,
                         public ::testing::WithParamInterface<UnusableSettingsCase> {};

// The first start tells the user and stores the default, then carries on (the GUI tests show
// it); when the settings can be neither read nor created, the program ends after one paint.
TEST_P(UnusableSettings, EndTheProgramAfterOnePaint) {
    WriteFile("not-a-folder", "x");
    std::optional<SettingsFolder> impossible;
    if (GetParam().folderAsFile)
        ASSERT_EQ(mkdir(SettingsFilePath(true).text, 0755), 0);
    else
        impossible.emplace(Path("not-a-folder") + "/config");
    WriteFile("intro.bmp", Bmp24Bytes(4, 4, [](int, int) { return RGB(9, 9, 9); }));
    Check([] { ADD_FAILURE() << "the loop waited for input"; });
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(host.MessageBoxes().size(), 2u);
    const MessageBoxRequest& first = host.MessageBoxes()[0];
    EXPECT_EQ(first.caption, "Initialization Error");
    EXPECT_EQ(first.type, UINT(MB_OK | MB_ICONHAND));
    EXPECT_NE(first.owner, nullptr); // the main window, while it is being created
    EXPECT_EQ(host.MessageBoxes()[1].caption, "CRITICAL ERROR");
    EXPECT_EQ(host.QuitRequests(), std::vector<int>{0});
    EXPECT_EQ(host.WindowsShown(), 1);
    EXPECT_EQ(ScreenPixel(320 - 2 - 10, 240 - 2), RGB(9, 9, 9)); // painted once
}

INSTANTIATE_TEST_SUITE_P(Cases, UnusableSettings,
                         ::testing::Values(UnusableSettingsCase{"FolderCannotBeMade", false},
                                           // Opens on Linux, as a file, but cannot be read.
                                           UnusableSettingsCase{"FolderAsTheFile", true}),
                         CaseName());

// Without an intro picture the screen stays black; a stored factor is used.
TEST_F(Startup, StoredFactorIsUsed) {
    StoreSettings("8\nanything after the number");
    WriteFile("one.tvq", TvqBytes(1, 1, {0xFFFF}));
    Check([&] {
        for (uint32_t pixel : Screen())
            ASSERT_EQ(pixel, 0u);
    });
    ImportTvq("one.tvq");
    Check([&] { EXPECT_EQ(Client(0, 0), RGB(248, 248, 248)); });
    Run();
    EXPECT_TRUE(host.MessageBoxes().empty());
}

// Only File > Exit saves the level (the typical run proves it does); closing the window
// leaves without saving.
TEST_F(Startup, ACloseRequestLeavesWithoutSavingTheLevel) {
    StoreSettings("3");
    Choose(IDM_LEVEL4);
    Check([&] { host.RequestClose(); });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(SettingsContent(), "3");
    EXPECT_FALSE(host.ScriptRanOut());
}

struct IntroCase {
    const char* name;
    int width;
    int height;
    int x; // where its top-left corner lands on the 640 x 480 screen
    int y;
};

class Intro : public Scenario, public ::testing::WithParamInterface<IntroCase> {};

// Sizes the GUI tests' even-sized intro does not show.
TEST_P(Intro, IsCentredTenPixelsLeftOnTheScreen) {
    const IntroCase& c = GetParam();
    StoreSettings("3");
    // Every pixel differs from its neighbours, which tells position and orientation apart.
    auto colour = [](int x, int y) { return uint32_t(RGB(x & 255, y & 255, 50 + x / 256)); };
    WriteFile("intro.bmp", Bmp24Bytes(c.width, c.height, colour));
    Check([&] {
        ExpectScreen(640, 480, [&](int x, int y) {
            // Drawn through the window, so never over the menu bar's rows.
            const bool inside = x >= c.x && x < c.x + c.width && y >= c.y && y < c.y + c.height &&
                                y >= kMenuBarRows;
            return inside ? colour(x - c.x, y - c.y) : 0u;
        });
        EXPECT_EQ(CurrentExtent.width, 0); // the intro is not the image on view
    });
    Run();
}

INSTANTIATE_TEST_SUITE_P(Sizes, Intro,
                         ::testing::Values(IntroCase{"OddSizeTruncates", 201, 101, 210, 190},
                                           IntroCase{"IsCutByTheMenuBar", 100, 470, 260, 5},
                                           IntroCase{"WiderThanTheScreen", 622, 10, -1, 235}),
                         CaseName());

} // namespace
} // namespace zod::test
