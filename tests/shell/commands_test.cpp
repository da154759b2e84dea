// Menu commands other than the typical run: cancelling, levels off TVQ, the odd ones.
#include "scenario.h"
#include "platform/linux/resources.h"
#include "tests/support/gdi_helpers.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace zod::test {
namespace {

using Commands = Scenario;

// Each command asks with a dialog of its own; cancelling it keeps the view.
TEST_F(Commands, CancelledDialogsKeepTheView) {
    StoreSettings("3");
    WriteFile("a.tvq", TvqBytes(2, 2, {0xF800, 0x07C0, 0x001F, 0xFFFF}));
    ImportTvq("a.tvq");
    std::vector<uint32_t> before;
    Check([&] { before = Screen(); });
    const struct {
        int command;
        bool save;
        const char* label;
        const char* pattern;
        const char* extension;
        bool mustExist;
    } cases[] = {
        {IDM_IMPORT_BMP, false, "Bitmap Files (.bmp)", "*.bmp", "BMP", true},
        {IDM_IMPORT_TVQ, false, "TVQ Files (.TVQ)", "*.tvq", "TVQ", true},
        {IDM_EXPORT_BMP, true, "Bitmap Files (.bmp)", "*.bmp", "BMP", false},
    };
    for (const auto& c : cases) {
        host.QueueDialogAnswer(std::nullopt);
        Choose(c.command);
        Check([&] {
            SCOPED_TRACE(c.command);
            EXPECT_EQ(CurrentViewMode, VIEW_TVQ);
            EXPECT_EQ(std::string(CurrentPath), Path("a.tvq"));
            EXPECT_EQ(SelectedPath[0], '\0'); // emptied for the dialog
            EXPECT_TRUE(Screen() == before);
        });
    }
    Run();
    ASSERT_EQ(host.Dialogs().size(), 1 + std::size(cases));
    for (const auto& c : cases) {
        const FileDialogRequest& asked = host.Dialogs()[size_t(&c - cases) + 1];
        SCOPED_TRACE(c.command);
        EXPECT_EQ(asked.owner, host.Dialogs()[0].owner);
        EXPECT_EQ(asked.save, c.save);
        ASSERT_EQ(asked.filters.size(), 1u);
        EXPECT_EQ(asked.filters[0].label, c.label);
        EXPECT_EQ(asked.filters[0].pattern, c.pattern);
        EXPECT_EQ(asked.filterIndex, 1);
        EXPECT_EQ(asked.defaultExtension, c.extension);
        EXPECT_EQ(asked.fileMustExist, c.mustExist);
    }
}

// A bitmap larger than the window is cut off; the levels leave it as it is, but are saved.
TEST_F(Commands, ABitmapOnViewIsCutOffAndUnchangedByTheLevels) {
    StoreSettings("3");
    auto colour = [](int x, int y) { return uint32_t(RGB(x & 255, y & 255, (x + y) & 255)); };
    WriteFile("big.bmp", Bmp24Bytes(700, 500, colour));
    host.QueueDialogAnswer(Path("big.bmp"));
    Choose(IDM_IMPORT_BMP);
    auto expectBitmap = [&] {
        EXPECT_EQ(CurrentExtent.width, 700);
        EXPECT_EQ(CurrentExtent.height, 500);
        ExpectScreen(640, 480, [&](int x, int y) {
            return y < kMenuBarRows ? 0u : colour(x, y - kMenuBarRows);
        });
    };
    Check(expectBitmap);
    Choose(IDM_LEVEL5);
    Check(expectBitmap);
    Choose(IDM_EXIT);
    Run();
    EXPECT_EQ(SettingsContent(), "8");
}

// The greyed Export > TVQ File and unknown ids do nothing; Help > About shows only its box,
// which has no icon.
TEST_F(Commands, OddCommands) {
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
    Choose(IDM_ABOUT);
    Run();
    EXPECT_TRUE(host.Dialogs().empty());
    EXPECT_EQ(SettingsContent(), "3");
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    const MessageBoxRequest& box = host.MessageBoxes()[0];
    EXPECT_EQ(box.caption, "About ZOD Edozuv");
    EXPECT_EQ(box.type, UINT(MB_OK));
    // The program's name and version, then two credit lines.
    std::vector<std::string> lines(1);
    for (char c : box.text) {
        if (c == '\n')
            lines.emplace_back();
        else
            lines.back().push_back(c);
    }
    ASSERT_EQ(lines.size(), 3u) << box.text;
    EXPECT_EQ(lines[0], "ZOD Edozuv 1.0");
    EXPECT_FALSE(lines[1].empty());
    EXPECT_FALSE(lines[2].empty());
}

// Every item the generated menu tables offer reaches a case of the window procedure: chosen
// as a user would, each opens a dialog or a message box, changes the factor or saves it,
// which an id the procedure does not handle never does (OddCommands).
TEST_F(Commands, EveryMenuItemIsHandledByTheWindowProcedure) {
    StoreSettings("1"); // a factor no level gives, so that every level changes it
    const Menu* menu = FindMenuResource("TVQ_MENU");
    ASSERT_NE(menu, nullptr);
    std::vector<int> ids;
    for (const MenuItem& popup : menu->popups)
        for (const MenuItem& item : popup.items)
            if (!item.grayed)
                ids.push_back(item.id);
    // File > Exit ends the run, so it comes last.
    std::stable_partition(ids.begin(), ids.end(), [](int id) { return id != IDM_EXIT; });
    ASSERT_EQ(ids.back(), IDM_EXIT);

    using Seen = std::tuple<size_t, size_t, int32_t, std::string>;
    auto seen = [&] {
        return Seen{host.Dialogs().size(), host.MessageBoxes().size(), AmplificationFactor,
                    SettingsContent()};
    };
    Seen before;
    std::vector<int> handled;
    for (size_t i = 0; i < ids.size(); ++i) {
        Check([&, i] {
            if (i > 0 && seen() != before)
                handled.push_back(ids[i - 1]);
            before = seen();
            EXPECT_TRUE(host.ChooseMenuItem(ids[i])) << ids[i];
        });
    }
    Run();
    if (seen() != before)
        handled.push_back(ids.back());
    EXPECT_EQ(handled, ids);
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

// The menu bar as the script builds it, in order, with the command ids the window
// procedure switches on (commands.h); the scenarios above choose items by these ids. Pinned
// here rather than read from the script, so a wrong script fails as a wrong table does.
TEST(MenuResource, ListsTheMenuBarWithTheProgramsCommandIds) {
    const Menu* menu = FindMenuResource("tvq_menu"); // names are case-insensitive
    ASSERT_NE(menu, nullptr);
    using Item = std::tuple<std::string, int, bool>; // "popup > item", id, grayed
    std::vector<Item> items;
    for (const MenuItem& popup : menu->popups) {
        EXPECT_TRUE(popup.id == 0 && !popup.grayed) << popup.text;
        for (const MenuItem& item : popup.items) {
            items.emplace_back(popup.text + " > " + item.text, item.id, item.grayed);
            EXPECT_TRUE(item.items.empty()) << item.text;
        }
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
