// Export > BMP File of whatever is on view, into places that exist or not.
#include "scenario.h"
#include "platform/linux/file_creation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zod::test {
namespace {

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

// The file is written whole and becomes the view, or the user is told, the view stays and
// nothing is lost. Never a crash, whatever extent the file on view claims.
TEST(Export, WritesTheViewOrLosesNothing) {
    const std::string white = TvqBytes(1, 1, {0xFFFF}), headersOnly = Bmp24Bytes(0, 0, nullptr);
    const std::string whiteBmp = Bmp24Bytes(1, 1, [](int, int) { return RGB(93, 93, 93); });
    const struct {
        const char* name;
        const char* view; // a file imported first, holding `bytes`; none when null
        std::string bytes;
        const char* target;
        mode_t old;       // of an old file at the target, S_IFDIR for a folder; 0: none
        std::string want; // the file written; empty: refused
        bool plantLink = false;
    } cases[] = {
        {"RightAfterStart", nullptr, "", "out.bmp", 0, headersOnly},
        {"NotABitmap", "fake.bmp", "BM this is not a picture", "out.bmp", 0, headersOnly},
        {"NegativeWidth", "odd.tvq", TvqBytes(-5, 10, {0xFFFF}), "out.bmp", 0, headersOnly},
        {"NegativeHeight", "odd.tvq", TvqBytes(10, -32768, {0xFFFF}), "out.bmp", 0, headersOnly},
        {"ZeroWidth", "odd.tvq", TvqBytes(0, 10, {0xFFFF}), "out.bmp", 0,
         Bmp24Bytes(0, 10, nullptr)},
        // More than a 32-bit program could hold: reported, not attempted.
        {"Huge", "odd.tvq", TvqBytes(32767, 32767, {0xFFFF}), "out.bmp", 0, ""},
        {"ReplacesWithoutAsking", "one.tvq", white, "out.bmp", 0644, whiteBmp},
        // A link planted at the very name the export is about to create, whatever that name
        // is, is never followed: the file is made only where nothing has the name yet, so
        // the export takes another name.
        {"LinkAtItsTemporaryName", "one.tvq", white, "out.bmp", 0, whiteBmp, true},
        {"MissingFolder", "one.tvq", white, "no-such-folder/out.bmp", 0, ""},
        // Windows refuses to replace a read-only file, even for an administrator.
        {"ReadOnlyOldFile", "one.tvq", white, "out.bmp", 0444, ""},
        {"TargetIsAFolder", "one.tvq", white, "out.bmp", S_IFDIR | 0755, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Program p;
        p.StoreSettings("3");
        if (c.old) {
            if (c.old & S_IFDIR)
                mkdir(p.Path(c.target).c_str(), 0700);
            else
                p.WriteFile(c.target, std::string(5000, 'x'));
            ASSERT_EQ(chmod(p.Path(c.target).c_str(), c.old & 07777), 0);
        }
        if (c.view) {
            p.WriteFile(c.view, c.bytes);
            p.Import(c.view);
        }
        p.WriteFile("victim", "precious");
        std::string planted;
        WatchFileCreation([&](const char* name) {
            if (c.plantLink && planted.empty() && symlink(p.Path("victim").c_str(), name) == 0)
                planted = name;
        });
        p.ExportBmp(c.target);
        p.Run();
        WatchFileCreation(nullptr);
        EXPECT_EQ(planted.empty(), !c.plantLink);
        EXPECT_EQ(ReadFileBytes(p.Path("victim")), "precious");
        EXPECT_EQ(std::string(CurrentPath), c.want.empty() ? p.Path(c.view) : p.Path(c.target));
        EXPECT_EQ(TemporaryFiles(p.Path("")), c.plantLink ? 1 : 0); // a planted link stays
        struct stat info {};
        stat(p.Path(c.target).c_str(), &info);
        if (!c.want.empty()) {
            EXPECT_TRUE(p.host.MessageBoxes().empty());
            EXPECT_EQ(ReadFileBytes(p.Path(c.target)), c.want);
            EXPECT_EQ(CurrentViewMode, VIEW_BITMAP);
            continue;
        }
        EXPECT_EQ(CurrentViewMode, VIEW_TVQ);
        EXPECT_EQ(info.st_mode & ~S_IFREG, c.old);
        if (S_ISREG(info.st_mode)) {
            EXPECT_EQ(ReadFileBytes(p.Path(c.target)), std::string(5000, 'x'));
        }
        ASSERT_EQ(p.host.MessageBoxes().size(), 1u);
        const MessageBoxRequest& box = p.host.MessageBoxes()[0];
        EXPECT_EQ(box.text, "There was an error writing the BMP file");
        EXPECT_EQ(box.caption, "Export Error");
        EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONHAND));
        EXPECT_NE(box.owner, nullptr);
    }
}

} // namespace
} // namespace zod::test
