// The whole program, driven as a user would, checked on the screen and on disk.
#include "scenario.h"

namespace zod::test {
namespace {

constexpr int kWidth = 37; // odd, so that BMP rows need padding
constexpr int kHeight = 23;

std::vector<uint16_t> Pattern() {
    std::vector<uint16_t> words;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            words.push_back(uint16_t((x * 2654435761u + y * 40503u) >> 7)); // every bit in use
    return words;
}

// The BMP that an export of the pattern must produce, built byte by byte.
std::string ExpectedExport(int factor) {
    const std::vector<uint16_t> words = Pattern();
    return Bmp24Bytes(kWidth, kHeight, [&](int x, int y) {
        return AmplifiedColour(words[size_t(y) * kWidth + x], factor);
    });
}

void ExpectPatternOnScreen(int factor, COLORREF (*client)(int, int)) {
    const std::vector<uint16_t> words = Pattern();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(client(x, y), AmplifiedColour(words[size_t(y) * kWidth + x], factor))
                << x << "," << y;
    // Nothing below or beside the image: exactly height rows are drawn.
    for (int x = 0; x <= kWidth; ++x)
        ASSERT_EQ(client(x, kHeight), 0u) << x;
    for (int y = 0; y < kHeight; ++y)
        ASSERT_EQ(client(kWidth, y), 0u) << y;
}

COLORREF ClientPixel(int x, int y) {
    return ScreenPixel(x, y + kMenuBarHeight);
}

using TypicalRun = Scenario;

// Every level redraws the file at its own factor, down as well as up; the last is saved.
TEST_F(TypicalRun, ImportAmplifyExportExit) {
    StoreSettings("3");
    WriteFile("sample.tvq", TvqBytes(kWidth, kHeight, Pattern()));
    ImportTvq("sample.tvq");
    Check([&] {
        EXPECT_EQ(CurrentViewMode, VIEW_TVQ);
        EXPECT_EQ(std::string(CurrentPath), Path("sample.tvq"));
        ExpectPatternOnScreen(3, ClientPixel);
        EXPECT_EQ(CurrentExtent.width, kWidth);
        EXPECT_EQ(CurrentExtent.height, kHeight);
    });
    const struct {
        int command;
        int factor;
    } levels[] = {{IDM_LEVEL5, 8}, {IDM_LEVEL1, 2}, {IDM_LEVEL2, 3},
                  {IDM_LEVEL3, 4}, {IDM_LEVEL4, 6}, {IDM_LEVEL5, 8}};
    for (const auto& level : levels) {
        Choose(level.command);
        Check([&] {
            SCOPED_TRACE(level.factor);
            EXPECT_EQ(AmplificationFactor, level.factor);
            ExpectPatternOnScreen(level.factor, ClientPixel);
        });
    }
    ExportBmp("out.bmp");
    Check([&] {
        EXPECT_EQ(ReadFileBytes(Path("out.bmp")), ExpectedExport(8));
        EXPECT_EQ(CurrentViewMode, VIEW_BITMAP);
        EXPECT_EQ(std::string(CurrentPath), Path("out.bmp"));
        // The next paint shows the written file, read back through LoadImageA.
        ExpectPatternOnScreen(8, ClientPixel);
    });
    Choose(IDM_EXIT);
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(host.ScriptRanOut());
    EXPECT_EQ(SettingsContent(), "8");
    EXPECT_TRUE(host.MessageBoxes().empty());
}

TEST_F(TypicalRun, ExportOfABitmapOnViewCopiesItsPixels) {
    StoreSettings("3");
    auto colour = [](int x, int y) { return uint32_t(RGB(x * 5, y * 9, 200 - x)); };
    WriteFile("picture.bmp", Bmp24Bytes(kWidth, kHeight, colour));
    host.QueueDialogAnswer(Path("picture.bmp"));
    Choose(IDM_IMPORT_BMP);
    ExportBmp("copy.bmp");
    Run();
    EXPECT_EQ(ReadFileBytes(Path("copy.bmp")), ReadFileBytes(Path("picture.bmp")));
}

struct DialogCase {
    int command;
    bool save;
    const char* label;
    const char* pattern;
    const char* extension;
    bool mustExist;
};

TEST_F(TypicalRun, EachCommandAsksWithItsOwnDialog) {
    StoreSettings("3");
    const DialogCase cases[] = {
        {IDM_IMPORT_TVQ, false, "TVQ Files (.TVQ)", "*.tvq", "TVQ", true},
        {IDM_IMPORT_BMP, false, "Bitmap Files (.bmp)", "*.bmp", "BMP", true},
        {IDM_EXPORT_BMP, true, "Bitmap Files (.bmp)", "*.bmp", "BMP", false},
    };
    for (const DialogCase& c : cases) {
        host.QueueDialogAnswer(std::nullopt);
        Choose(c.command);
    }
    Run();
    ASSERT_EQ(host.Dialogs().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const FileDialogRequest& asked = host.Dialogs()[i];
        SCOPED_TRACE(cases[i].command);
        EXPECT_EQ(asked.owner, host.Dialogs()[0].owner);
        EXPECT_EQ(asked.save, cases[i].save);
        ASSERT_EQ(asked.filters.size(), 1u);
        EXPECT_EQ(asked.filters[0].label, cases[i].label);
        EXPECT_EQ(asked.filters[0].pattern, cases[i].pattern);
        EXPECT_EQ(asked.filterIndex, 1);
        EXPECT_EQ(asked.defaultExtension, cases[i].extension);
        EXPECT_EQ(asked.fileMustExist, cases[i].mustExist);
    }
}

} // namespace
} // namespace zod::test
