// Starting, the intro picture, and leaving.
#include "scenario.h"

namespace zod::test {
namespace {

const char kReadErrorCaption[] = "Initialization Error";

using Startup = Scenario;

TEST_F(Startup, FirstStartTellsTheUserAndStoresTheDefault) {
    Check([&] {
        EXPECT_EQ(AmplificationFactor, 3);
        EXPECT_TRUE(host.QuitRequests().empty());
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(host.ScriptRanOut()); // the step above ran: the program did not leave
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    const RecordedMessageBox& box = host.MessageBoxes()[0];
    EXPECT_EQ(box.caption, kReadErrorCaption);
    EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONHAND));
    EXPECT_NE(box.owner, nullptr); // the main window, while it is being created
    EXPECT_EQ(SettingsContent(), "3");
}

TEST_F(Startup, SettingsThatCannotBeCreatedEndTheProgramAfterOnePaint) {
    WriteFile("not-a-folder", "x");
    SettingsFolder impossible(Path("not-a-folder") + "/config");
    WriteFile("intro.bmp", Bmp24Bytes(4, 4, [](int, int) { return RGB(9, 9, 9); }));
    Check([] { ADD_FAILURE() << "the loop waited for input"; });
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(host.MessageBoxes().size(), 2u);
    EXPECT_EQ(host.MessageBoxes()[0].caption, kReadErrorCaption);
    EXPECT_EQ(host.MessageBoxes()[1].caption, "CRITICAL ERROR");
    EXPECT_EQ(host.QuitRequests(), std::vector<int>{0});
    EXPECT_EQ(host.WindowsShown(), 1);
    EXPECT_EQ(ScreenPixel(320 - 2 - 10, 240 - 2), RGB(9, 9, 9)); // painted once
}

TEST_F(Startup, StoredFactorIsUsed) {
    StoreSettings("8\nanything after the number");
    WriteFile("one.tvq", TvqBytes(1, 1, {0xFFFF}));
    ImportTvq("one.tvq");
    Check([&] { EXPECT_EQ(Client(0, 0), RGB(248, 248, 248)); });
    Run();
    EXPECT_TRUE(host.MessageBoxes().empty());
}

struct LeaveCase {
    const char* name;
    bool viaExit;
    const char* settingsAfter;
};

class Leaving : public Scenario, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(Leaving, OnlyFileExitSavesTheLevel) {
    StoreSettings("3");
    Choose(IDM_LEVEL4);
    if (GetParam().viaExit)
        Choose(IDM_EXIT);
    else
        Check([&] { host.RequestClose(); });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(SettingsContent(), GetParam().settingsAfter);
    EXPECT_FALSE(host.ScriptRanOut());
}

INSTANTIATE_TEST_SUITE_P(Ways, Leaving,
                         ::testing::Values(LeaveCase{"FileExit", true, "6"},
                                           LeaveCase{"CloseRequest", false, "3"}),
                         CaseName());

struct IntroCase {
    const char* name;
    int width;
    int height;
    int x; // where its top-left corner lands on the 640 x 480 screen
    int y;
};

class Intro : public Scenario, public ::testing::WithParamInterface<IntroCase> {};

TEST_P(Intro, IsCentredTenPixelsLeftOnTheScreen) {
    const IntroCase& c = GetParam();
    StoreSettings("3");
    // A different colour in each corner tells position and orientation apart.
    auto colour = [](int x, int y) {
        return uint32_t(RGB(x == 0 ? 200 : 100, y == 0 ? 200 : 100, 50));
    };
    WriteFile("intro.bmp", Bmp24Bytes(c.width, c.height, colour));
    Check([&] {
        for (int y : {0, c.height - 1}) {
            for (int x : {0, c.width - 1}) {
                if (c.x + x >= 0) {
                    EXPECT_EQ(ScreenPixel(c.x + x, c.y + y), colour(x, y)) << x << "," << y;
                }
            }
        }
        if (c.x > 0) {
            EXPECT_EQ(ScreenPixel(c.x - 1, c.y), 0u);
        }
        if (c.x + c.width < 640) {
            EXPECT_EQ(ScreenPixel(c.x + c.width, c.y), 0u);
        }
        EXPECT_EQ(CurrentExtent.width, 0); // the intro is not the image on view
    });
    Run();
}

INSTANTIATE_TEST_SUITE_P(Sizes, Intro,
                         ::testing::Values(IntroCase{"EvenSize", 200, 100, 210, 190},
                                           IntroCase{"OddSizeTruncates", 201, 101, 210, 190},
                                           IntroCase{"ReachesIntoTheMenuBarRows", 100, 470, 260, 5},
                                           IntroCase{"WiderThanTheScreen", 622, 10, -1, 235}),
                         CaseName());

TEST_F(Startup, WithoutAnIntroPictureTheScreenStaysBlack) {
    StoreSettings("3");
    Check([&] {
        for (uint32_t pixel : Screen())
            ASSERT_EQ(pixel, 0u);
    });
    Run();
}

} // namespace
} // namespace zod::test
