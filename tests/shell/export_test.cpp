// Export > BMP File at its edges: nothing drawn yet, odd extents, files that exist or
// cannot be written.
#include "scenario.h"
#include "platform/linux/file_creation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zod::test {
namespace {

using Export = Scenario;

// Files in the test folder whose names mark them as the export's temporary files: "~"
// and five more characters.
int TemporaryFiles(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        count += name.size() == 6 && name[0] == '~';
    }
    return count;
}

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
    EXPECT_EQ(TemporaryFiles(Path("")), 0);
}

struct FailureCase {
    const char* name;
    const char* target;   // relative to the test folder
    mode_t oldFileMode;   // an old file that must survive as it was; 0: none
    const char* obstacle; // a folder that makes the write fail, or nullptr
};

class FailedExport : public Scenario, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedExport, IsReportedAndLosesNothing) {
    const FailureCase& c = GetParam();
    StoreSettings("3");
    WriteFile("one.tvq", TvqBytes(1, 1, {0xFFFF}));
    if (c.oldFileMode) {
        WriteFile(c.target, "old content");
        ASSERT_EQ(chmod(Path(c.target).c_str(), c.oldFileMode), 0);
    }
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
    const MessageBoxRequest& box = host.MessageBoxes()[0];
    EXPECT_EQ(box.text, "There was an error writing the BMP file");
    EXPECT_EQ(box.caption, "Export Error");
    EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONHAND));
    EXPECT_NE(box.owner, nullptr);
    EXPECT_EQ(TemporaryFiles(Path("")), 0);
    struct stat info;
    if (c.oldFileMode) {
        EXPECT_EQ(ReadFileBytes(Path(c.target)), "old content");
        EXPECT_TRUE(stat(Path(c.target).c_str(), &info) == 0 &&
                    (info.st_mode & 07777) == c.oldFileMode);
    } else if (c.obstacle && std::string(c.obstacle) == c.target) {
        EXPECT_TRUE(stat(Path(c.target).c_str(), &info) == 0 && S_ISDIR(info.st_mode));
    } else {
        EXPECT_FALSE(FileExists(Path(c.target)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedExport,
    ::testing::Values(FailureCase{"MissingFolder", "no-such-folder/out.bmp", 0, nullptr},
                      // Windows refuses to replace a read-only file, even for an administrator.
                      FailureCase{"ReadOnlyOldFile", "kept.bmp", 0444, nullptr},
                      FailureCase{"TargetIsAFolder", "folder.bmp", 0, "folder.bmp"}),
    CaseName());

// A link planted at the very name the export is about to create, whatever that name is,
// is never followed: the file is made only where nothing has the name yet, so the export
// takes another name, and one export after another both succeed.
TEST_F(Export, NeverWritesThroughALinkBesideTheTarget) {
    StoreSettings("3");
    WriteFile("one.tvq", TvqBytes(1, 1, {0xFFFF}));
    WriteFile("victim", "precious");
    std::vector<std::string> planted;
    WatchFileCreation([&](const char* name) {
        if (planted.empty() && symlink(Path("victim").c_str(), name) == 0)
            planted.push_back(name);
    });
    ImportTvq("one.tvq");
    ExportBmp("out.bmp");
    ImportTvq("one.tvq");
    ExportBmp("out.bmp");
    Run();
    WatchFileCreation(nullptr);
    ASSERT_EQ(planted.size(), 1u);
    EXPECT_NE(planted[0], Path("out.bmp"));
    EXPECT_EQ(std::filesystem::read_symlink(planted[0]).string(), Path("victim"));
    EXPECT_TRUE(host.MessageBoxes().empty());
    EXPECT_EQ(ReadFileBytes(Path("victim")), "precious");
    EXPECT_EQ(Bmp24Pixel(ReadFileBytes(Path("out.bmp")), 0, 0), RGB(93, 93, 93));
    EXPECT_EQ(TemporaryFiles(Path("")), 1); // the planted link
}

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
