// ReplaceFileContents on the paths users have: links kept and every name the program's path
// buffer holds. Read-only files and folders refused: the failed exports (export_test).
#include "files/replace_file.h"
#include "common/types.h"
#include "platform/hosts/headless.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace zod {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

bool Replace(const std::string& path, const std::string& content) {
    FilePiece piece = {content.data(), content.size()};
    return ReplaceFileContents(path.c_str(), &piece, 1);
}

std::string LinkTarget(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_symlink(path, error) ? std::filesystem::read_symlink(path).string()
                                                    : "(not a link)";
}

struct LinkCase {
    const char* name;
    const char* link;   // in folder "a"
    const char* points; // where it points, as written in the link
    const char* real;   // the file behind it, relative to the test folder; nullptr: none
    mode_t realMode;    // of that file
    bool replaced;
};

// Dotfile managers link each file: the link stays and the file behind it is replaced,
// with its temporary file in its own folder.
TEST(ReplaceFileContents, KeepsLinksAndReplacesWhatTheyLeadTo) {
    const LinkCase cases[] = {
        {"LinkToAnotherFolder", "settings", "../b/real", "b/real", 0644, true},
        {"LinkToALink", "settings", "second", "b/real", 0644, true}, // a/second -> ../b/real
        {"AbsoluteLink", "settings", nullptr, "b/real", 0644, true},
        {"LinkToAReadOnlyFile", "settings", "../b/real", "b/real", 0444, false},
        {"LinkToNothing", "settings", "../b/missing", nullptr, 0, false},
        {"LinkToAFolder", "settings", "../b", nullptr, 0, false},
    };
    HeadlessHost host;
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        ASSERT_EQ(mkdir(dir.File("a").c_str(), 0755), 0);
        ASSERT_EQ(mkdir(dir.File("b").c_str(), 0755), 0);
        if (c.real) {
            WriteFileBytes(dir.File(c.real), "old");
            ASSERT_EQ(chmod(dir.File(c.real).c_str(), c.realMode), 0);
        }
        ASSERT_EQ(symlink("../b/real", dir.File("a/second").c_str()), 0);
        const std::string points = c.points ? c.points : dir.File("b/real");
        ASSERT_EQ(symlink(points.c_str(), dir.File(std::string("a/") + c.link).c_str()), 0);

        EXPECT_EQ(Replace(dir.File(std::string("a/") + c.link), "new"), c.replaced);
        EXPECT_EQ(LinkTarget(dir.File(std::string("a/") + c.link)), points);
        if (c.real) {
            EXPECT_EQ(ReadFileBytes(dir.File(c.real)), c.replaced ? "new" : "old");
        }
        // Nothing left behind in either folder.
        EXPECT_EQ(test::CountFilesIn(dir.File("a")), 2);
        EXPECT_EQ(test::CountFilesIn(dir.File("b")), c.real ? 1 : 0);
        if (c.real)
            chmod(dir.File(c.real).c_str(), 0644);
    }
}

// The temporary file's name does not grow with the target's: a name as long as the path
// buffer holds (254 characters) can be made and replaced.
TEST(ReplaceFileContents, WritesTheLongestNameTheBufferHolds) {
    HeadlessHost host;
    test::TempDir dir;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::string name = std::string(kPathCapacity - 1 - 4, 'n') + ".bmp";
    EXPECT_TRUE(Replace(name, "first"));
    EXPECT_TRUE(Replace(name, "second"));
    EXPECT_EQ(ReadFileBytes(name), "second");
    EXPECT_EQ(test::CountFilesIn("."), 1);
    ASSERT_EQ(chdir(previous), 0);
}

} // namespace
} // namespace zod
