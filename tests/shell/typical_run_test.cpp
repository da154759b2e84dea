// The whole program, driven as a user would, checked on the screen and on disk.
#include "scenario.h"
#include "tests/support/gdi_helpers.h"

namespace zod::test {
namespace {

constexpr int kWidth = 37; // odd, so that BMP rows need padding
constexpr int kHeight = 23;

// Short of its last words, so that a row too many would show the last word's colour.
std::string Sample() {
    return TvqBytes(kWidth, kHeight, NoiseWords(kWidth * kHeight - 5));
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

// The stored factor draws first; every level redraws at its own factor, down as well as up,
// and the last is saved.
TEST_F(Scenario, ImportAmplifyExportExit) {
    StoreSettings("6\nanything after the number");
    WriteFile("sample.tvq", Sample());
    Check([&] { EXPECT_EQ(Screen(), std::vector<uint32_t>(640 * 480)) << "no intro picture"; });
    Import("sample.tvq");
    Check([&] {
        EXPECT_EQ(CurrentViewMode, VIEW_TVQ);
        EXPECT_EQ(std::string(CurrentPath), Path("sample.tvq"));
        ExpectSampleOnScreen(6);
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

// A bitmap larger than the window is cut off, left as it is by the levels (which are saved
// all the same) and exported as the window shows it: black beyond the screen.
TEST_F(Scenario, ABitmapLargerThanTheWindow) {
    StoreSettings("3");
    auto colour = [](int x, int y) {
        return uint32_t(RGB(x & 255, y & 255, x >> 8 | y >> 8 << 2));
    };
    WriteFile("big.bmp", Bmp24Bytes(701, 500, colour)); // rows padded
    Import("big.bmp");
    auto shown = [&] {
        ExpectScreen(640, 480, [&](int x, int y) {
            return y < kMenuBarRows ? 0u : colour(x, y - kMenuBarRows);
        });
    };
    Check(shown);
    Choose(IDM_LEVEL5);
    Check(shown);
    ExportBmp("copy.bmp");
    Choose(IDM_EXIT);
    Run();
    EXPECT_EQ(ReadFileBytes(Path("copy.bmp")), Bmp24Bytes(701, 500, [&](int x, int y) {
                  return x < 640 && y < 480 - kMenuBarRows ? colour(x, y) : 0u;
              }));
    EXPECT_EQ(SettingsContent(), "8");
}

} // namespace
} // namespace zod::test
