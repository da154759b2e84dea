// Menu commands other than the typical run: cancelling, levels off TVQ, the odd ones.
#include "scenario.h"

#include <tuple>

namespace zod::test {
namespace {

using Commands = Scenario;

const int kSide = 8;

std::string SmallTvq() {
    std::vector<uint16_t> words;
    for (int i = 0; i < kSide * kSide; ++i)
        words.push_back(uint16_t(i * 1021));
    return TvqBytes(kSide, kSide, words);
}

TEST_F(Commands, CancelledDialogsKeepTheView) {
    StoreSettings("3");
    WriteFile("a.tvq", SmallTvq());
    ImportTvq("a.tvq");
    std::vector<uint32_t> before;
    Check([&] { before = Screen(); });
    for (int command : {IDM_IMPORT_BMP, IDM_IMPORT_TVQ, IDM_EXPORT_BMP}) {
        host.QueueDialogAnswer(std::nullopt);
        Choose(command);
        Check([&, command] {
            SCOPED_TRACE(command);
            EXPECT_EQ(CurrentViewMode, VIEW_TVQ);
            EXPECT_EQ(std::string(CurrentPath), Path("a.tvq"));
            EXPECT_EQ(SelectedPath[0], '\0'); // emptied for the dialog
            EXPECT_TRUE(Screen() == before);
        });
    }
    Run();
    EXPECT_EQ(host.Dialogs().size(), 4u);
}

TEST_F(Commands, ABitmapLargerThanTheWindowIsCutOff) {
    StoreSettings("3");
    auto colour = [](int x, int y) { return uint32_t(RGB(x & 255, y & 255, (x + y) & 255)); };
    WriteFile("big.bmp", Bmp24Bytes(700, 500, colour));
    host.QueueDialogAnswer(Path("big.bmp"));
    Choose(IDM_IMPORT_BMP);
    Check([&] {
        EXPECT_EQ(CurrentExtent.width, 700);
        EXPECT_EQ(CurrentExtent.height, 500);
        const int lastRow = 480 - 1 - kMenuBarHeight;
        for (int x : {0, 320, 639}) {
            for (int y : {0, 200, lastRow}) {
                EXPECT_EQ(Client(x, y), colour(x, y)) << x << "," << y;
            }
        }
    });
    Run();
}

TEST_F(Commands, LevelsWhileABitmapIsOnViewChangeNothingButAreSaved) {
    StoreSettings("3");
    WriteFile("p.bmp", Bmp24Bytes(30, 20, [](int x, int y) { return uint32_t(RGB(x, y, 7)); }));
    host.QueueDialogAnswer(Path("p.bmp"));
    Choose(IDM_IMPORT_BMP);
    std::vector<uint32_t> before;
    Check([&] { before = Screen(); });
    Choose(IDM_LEVEL5);
    Check([&] { EXPECT_TRUE(Screen() == before); });
    Choose(IDM_EXIT);
    Run();
    EXPECT_EQ(SettingsContent(), "8");
}

TEST_F(Commands, GreyedExportOfTvqCannotBeChosenAndDoesNothingWhenSent) {
    StoreSettings("3");
    Check([&] {
        EXPECT_FALSE(host.ChooseMenuItem(IDM_EXPORT_TVQ));
        PostMessageA(host.MainWindow(), WM_COMMAND, IDM_EXPORT_TVQ, 0);
        for (int unused : {0, 5, 8, 9, 15, 999})
            PostMessageA(host.MainWindow(), WM_COMMAND, WPARAM(unused), 0);
    });
    Check([&] {
        EXPECT_EQ(CurrentViewMode, VIEW_INTRO);
        EXPECT_EQ(AmplificationFactor, 3);
    });
    Run();
    EXPECT_TRUE(host.Dialogs().empty());
    EXPECT_TRUE(host.MessageBoxes().empty());
    EXPECT_EQ(SettingsContent(), "3");
}

TEST_F(Commands, AboutBoxHasNoIcon) {
    StoreSettings("3");
    Choose(IDM_ABOUT);
    Run();
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    const RecordedMessageBox& box = host.MessageBoxes()[0];
    EXPECT_EQ(box.caption, "About ZOD Edozuv");
    EXPECT_EQ(box.type, UINT(MB_OK));
    EXPECT_NE(box.text.find('\n'), std::string::npos);
}

TEST_F(Commands, AnImportedFileThatIsNotABitmapShowsNothing) {
    StoreSettings("3");
    WriteFile("fake.bmp", "BM this is not a picture");
    host.QueueDialogAnswer(Path("fake.bmp"));
    Choose(IDM_IMPORT_BMP);
    Check([&] {
        EXPECT_EQ(CurrentViewMode, VIEW_BITMAP);
        EXPECT_EQ(CurrentExtent.width, 0);
        EXPECT_EQ(CurrentExtent.height, 0);
        for (uint32_t pixel : Screen())
            ASSERT_EQ(pixel, 0u);
    });
    Run();
}

} // namespace
} // namespace zod::test

namespace zod::test {
namespace {

// The menu bar as the script builds it, in order, against the window procedure's ids.
TEST(MenuResource, IsTheTableOfTheWindowProcedure) {
    const Menu* menu = FindMenuResource("tvq_menu"); // names are case-insensitive
    ASSERT_NE(menu, nullptr);
    using Item = std::tuple<std::string, int, bool>; // "popup > item", id, grayed
    std::vector<Item> items;
    for (const MenuItem& popup : menu->popups)
        for (const MenuItem& item : popup.items) {
            items.emplace_back(popup.text + " > " + item.text, item.id, item.grayed);
            EXPECT_TRUE(item.items.empty()) << item.text;
        }
    const std::vector<Item> expected = {
        {"&File > &Exit", IDM_EXIT, false},
        {"&Export > &TVQ File", IDM_EXPORT_TVQ, true},
        {"&Export > &BMP File", IDM_EXPORT_BMP, false},
        {"&Import > &TVQ File", IDM_IMPORT_TVQ, false},
        {"&Import > &BMP File", IDM_IMPORT_BMP, false},
        {"&Color Amplification > Level &1 <-- low", IDM_LEVEL1, false},
        {"&Color Amplification > Level &2", IDM_LEVEL2, false},
        {"&Color Amplification > Level &3 <-- medium", IDM_LEVEL3, false},
        {"&Color Amplification > Level &4", IDM_LEVEL4, false},
        {"&Color Amplification > Level &5 <-- high", IDM_LEVEL5, false},
        {"&Help > &About", IDM_ABOUT, false},
    };
    EXPECT_EQ(items, expected);
    EXPECT_EQ(FindMenuResource("NO_SUCH_MENU"), nullptr);
}

} // namespace
} // namespace zod::test
