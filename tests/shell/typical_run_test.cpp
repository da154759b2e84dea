// The whole program, driven as a user would, checked on the screen and on disk.
#include "scenario.h"

namespace zod::test {
namespace {

constexpr int kWidth = 37; // odd, so that BMP rows need padding
constexpr int kHeight = 23;

std::string Sample() {
    return TvqBytes(kWidth, kHeight, NoiseWords(kWidth * kHeight));
}

// The sample at the factor, and nothing below or beside it: exactly height rows are drawn.
void ExpectSampleOnScreen(int factor) {
    const std::vector<uint32_t> picture = TvqPicture(Sample(), factor);
    for (int y = 0; y <= kHeight; ++y)
        for (int x = 0; x <= kWidth; ++x)
            ASSERT_EQ(ScreenPixel(x, y + kMenuBarRows),
                      x < kWidth && y < kHeight ? picture[size_t(y * kWidth + x)] : 0u)
                << x << "," << y;
}

using TypicalRun = Scenario;

// Every level redraws the file at its own factor, down as well as up; the last is saved.
TEST_F(TypicalRun, ImportAmplifyExportExit) {
    StoreSettings("3");
    WriteFile("sample.tvq", Sample());
    ImportTvq("sample.tvq");
    Check([&] {
        EXPECT_EQ(CurrentViewMode, VIEW_TVQ);
        EXPECT_EQ(std::string(CurrentPath), Path("sample.tvq"));
        ExpectSampleOnScreen(3);
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
            ExpectSampleOnScreen(level.factor);
        });
    }
    ExportBmp("out.bmp");
    Check([&] {
        const std::vector<uint32_t> picture = TvqPicture(Sample(), 8);
        EXPECT_EQ(ReadFileBytes(Path("out.bmp")), Bmp24Bytes(kWidth, kHeight, [&](int x, int y) {
                      return picture[size_t(y * kWidth + x)];
                  }));
        EXPECT_EQ(CurrentViewMode, VIEW_BITMAP);
        EXPECT_EQ(std::string(CurrentPath), Path("out.bmp"));
        // The next paint shows the written file, read back through LoadImageA.
        ExpectSampleOnScreen(8);
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

} // namespace
} // namespace zod::test
