// Export > BMP File at its edges: nothing drawn yet, odd extents, files that exist or
// cannot be written.
#include "scenario.h"

#include <sys/stat.h>

namespace zod::test {
namespace {

using Export = Scenario;

TEST_F(Export, RightAfterStartWritesAnEmptyImageAndShowsIt) {
    StoreSettings("3");
    ExportBmp("empty.bmp");
    Check([&] {
        EXPECT_EQ(CurrentViewMode, VIEW_BITMAP);
        EXPECT_EQ(std::string(CurrentPath), Path("empty.bmp"));
    });
    Run();
    EXPECT_EQ(ReadFileBytes(Path("empty.bmp")), Bmp24Bytes(0, 0, nullptr));
}

TEST_F(Export, ReplacesAnExistingFileWithoutAsking) {
    StoreSettings("3");
    WriteFile("one.tvq", TvqBytes(2, 2, {0xF800, 0x07C0, 0x001F, 0xFFFF}));
    WriteFile("target.bmp", std::string(5000, 'x'));
    ImportTvq("one.tvq");
    ExportBmp("target.bmp");
    Run();
    const std::string file = ReadFileBytes(Path("target.bmp"));
    ASSERT_EQ(file.size(), 54u + 2 * 8);
    EXPECT_EQ(Bmp24Pixel(file, 0, 0), RGB(93, 0, 0));
    EXPECT_EQ(Bmp24Pixel(file, 1, 1), RGB(93, 93, 93));
    EXPECT_TRUE(host.MessageBoxes().empty());
}

struct FailureCase {
    const char* name;
    const char* target;   // relative to the test folder
    bool targetExists;    // an old file that must survive
    const char* obstacle; // a folder that makes the write fail, or nullptr
};

class FailedExport : public Scenario, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedExport, IsReportedAndLosesNothing) {
    const FailureCase& c = GetParam();
    StoreSettings("3");
    WriteFile("one.tvq", TvqBytes(1, 1, {0xFFFF}));
    if (c.targetExists)
        WriteFile(c.target, "old content");
    if (c.obstacle) {
        ASSERT_EQ(mkdir(Path(c.obstacle).c_str(), 0755), 0);
    }
    ImportTvq("one.tvq");
    ExportBmp(c.target);
    Check([&] {
        EXPECT_EQ(CurrentViewMode, VIEW_TVQ);
        EXPECT_EQ(std::string(CurrentPath), Path("one.tvq"));
    });
    Run();
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    const RecordedMessageBox& box = host.MessageBoxes()[0];
    EXPECT_EQ(box.text, "There was an error writing the BMP file");
    EXPECT_EQ(box.caption, "Export Error");
    EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONHAND));
    EXPECT_NE(box.owner, nullptr);
    if (c.targetExists) {
        EXPECT_EQ(ReadFileBytes(Path(c.target)), "old content");
    } else if (c.obstacle && std::string(c.obstacle) == c.target) {
        struct stat info;
        EXPECT_TRUE(stat(Path(c.target).c_str(), &info) == 0 && S_ISDIR(info.st_mode));
    } else {
        EXPECT_FALSE(FileExists(Path(c.target)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedExport,
    ::testing::Values(FailureCase{"MissingFolder", "no-such-folder/out.bmp", false, nullptr},
                      FailureCase{"OldFileKept", "kept.bmp", true, "kept.bmp.zod-tmp"},
                      FailureCase{"TargetIsAFolder", "folder.bmp", false, "folder.bmp"}),
    CaseName());

struct ExtentCase {
    const char* name;
    int16_t width;
    int16_t height;
    bool written;
    int fileWidth;
    int fileHeight;
};

class OddExtent : public Scenario, public ::testing::WithParamInterface<ExtentCase> {};

TEST_P(OddExtent, NeverCrashesAndWritesOnlyWhatItCan) {
    const ExtentCase& c = GetParam();
    StoreSettings("3");
    WriteFile("odd.tvq", TvqBytes(c.width, c.height, {0xFFFF}));
    ImportTvq("odd.tvq");
    ExportBmp("out.bmp");
    Run();
    EXPECT_EQ(host.MessageBoxes().size(), c.written ? 0u : 1u);
    EXPECT_EQ(FileExists(Path("out.bmp")), c.written);
    if (c.written) { // headers only: no pixel to write
        EXPECT_EQ(ReadFileBytes(Path("out.bmp")), Bmp24Bytes(c.fileWidth, c.fileHeight, nullptr));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Extents, OddExtent,
    ::testing::Values(ExtentCase{"NegativeWidth", -5, 10, true, 0, 0},
                      ExtentCase{"NegativeHeight", 10, -32768, true, 0, 0},
                      ExtentCase{"ZeroWidth", 0, 10, true, 0, 10},
                      // More than a 32-bit program could hold: reported, not attempted.
                      ExtentCase{"Huge", 32767, 32767, false, 0, 0}),
    CaseName());

TEST_F(Export, PixelsBeyondTheScreenAreBlack) {
    StoreSettings("3");
    std::vector<uint16_t> words(700 * 2, 0xFFFF);
    WriteFile("wide.tvq", TvqBytes(700, 2, words));
    ImportTvq("wide.tvq");
    ExportBmp("wide.bmp");
    Run();
    const std::string file = ReadFileBytes(Path("wide.bmp"));
    ASSERT_EQ(file.size(), 54u + 2 * 2100);
    EXPECT_EQ(Bmp24Pixel(file, 639, 1), RGB(93, 93, 93));
    EXPECT_EQ(Bmp24Pixel(file, 640, 1), 0u);
    EXPECT_EQ(Bmp24Pixel(file, 699, 0), 0u);
}

} // namespace
} // namespace zod::test
