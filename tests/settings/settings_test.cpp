#include "settings/settings.h"

#include "platform/hosts/headless.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/stat.h>

namespace {

using zod::test::FileExists;
using zod::test::ReadFileBytes;
using zod::test::WriteFileBytes;

const HWND kOwner = reinterpret_cast<HWND>(0x1234);
const UINT kStopBox = MB_OK | MB_ICONHAND;

struct BoxCase {
    const char* text;
    const char* caption;
};
const BoxCase kReadBox = {"There was an error reading RARURI.INI\nLoading Default settings...",
                          "Initialization Error"};
const BoxCase kCreateBox = {"THERE WAS A CRITICAL ERROR CREATING RARURI.ININN", "CRITICAL ERROR"};
const BoxCase kUpdateBox = {"There was an error updating RARURI.INI", "Update Error"};

class SettingsTest : public ::testing::Test {
  protected:
    void ExpectBoxes(std::initializer_list<BoxCase> expected) {
        const auto& boxes = host.MessageBoxes();
        ASSERT_EQ(boxes.size(), expected.size());
        size_t i = 0;
        for (const BoxCase& box : expected) {
            EXPECT_EQ(boxes[i].text, box.text);
            EXPECT_EQ(boxes[i].caption, box.caption);
            EXPECT_EQ(boxes[i].type, kStopBox);
            EXPECT_EQ(boxes[i].owner, kOwner);
            ++i;
        }
    }
    void Store(const std::string& content) {
        SettingsFilePath(true);
        WriteFileBytes(settings.File(), content);
    }

    zod::HeadlessHost host;
    zod::test::TempDir dir;
    zod::test::SettingsFolder settings{dir.path() + "/config"};
};

constexpr int32_t kAsTheViewer = INT32_MIN + 1;
struct ReadCase {
    std::string content;
    int32_t factor;
    int32_t toolFactor = kAsTheViewer; // what the tools' bounded read finds
};

// Whatever the file holds, reading it never rewrites it and never complains. Out of range
// or no number: the default. The tools read the same number, where it ends within the
// file's first bytes.
TEST_F(SettingsTest, ReadsTheLeadingNumberOrFallsBackToTheDefault) {
    const std::string far(kSavedFactorPrefixBytes - 3, ' ');
    const ReadCase cases[] = {
        {"8", 8},
        {"8\nfurther text", 8},
        {" \t\r\n 6", 6},
        {"-5", -5},
        {"+7", 7},
        {"0", 0},
        {"100", 100},
        {"12abc", 12},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", 3},
        {"-2147483649", 3},
        {"99999999999999999999999", 3},
        {"", 3},
        {"   ", 3},
        {"level 5", 3},
        {"- 5", 3},
        {"-", 3},
        {far + "12\n...", 12},
        {far + "123", 123},
        {far + "1234", 1234, 3},
        {far + "   5", 5, 3},
        {std::string(kSavedFactorPrefixBytes + 10, '0') + "7", 7, 3},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.content.size() > 20 ? "..." + c.content.substr(c.content.size() - 4)
                                           : c.content);
        Store(c.content);
        EXPECT_EQ(ReadSettings(kOwner), c.factor);
        EXPECT_EQ(SavedFactorOrDefault(), c.toolFactor == kAsTheViewer ? c.factor : c.toolFactor);
        EXPECT_EQ(ReadFileBytes(settings.File()), c.content);
    }
    ExpectBoxes({});
    EXPECT_TRUE(host.QuitRequests().empty());
}

TEST_F(SettingsTest, WritesTheBareNumber) {
    const int32_t factors[] = {6, 8, 0, -5, INT32_MIN, INT32_MAX};
    const char* expected[] = {"6", "8", "0", "-5", "-2147483648", "2147483647"};
    for (size_t i = 0; i < std::size(factors); ++i) {
        WriteSettings(kOwner, factors[i]);
        EXPECT_EQ(ReadFileBytes(settings.File()), expected[i]);
        EXPECT_EQ(ReadSettings(kOwner), factors[i]);
    }
    ExpectBoxes({});
}

TEST_F(SettingsTest, FailedUpdateKeepsTheOldFileAndDoesNotQuit) {
    Store("4");
    {
        zod::test::FullDisk full;
        WriteSettings(kOwner, 8);
    }
    ExpectBoxes({kUpdateBox});
    EXPECT_TRUE(host.QuitRequests().empty());
    EXPECT_EQ(ReadFileBytes(settings.File()), "4");
    EXPECT_EQ(zod::test::CountFilesIn(dir.path() + "/config/zod-edozuv"), 1);
}

TEST_F(SettingsTest, FailedDefaultOnAFullDiskLeavesNoEmptyFile) {
    {
        zod::test::FullDisk full;
        EXPECT_EQ(ReadSettings(kOwner), 3);
    }
    ExpectBoxes({kReadBox, kCreateBox});
    EXPECT_FALSE(FileExists(settings.File()));
    EXPECT_EQ(zod::test::CountFilesIn(dir.path() + "/config/zod-edozuv"), 0);
}

// The tools read the file at every image, on any thread (the module's threads test): a
// named pipe there gives the default at once, never waiting for a writer.
TEST(SavedFactorTest, ANamedPipeGivesTheDefaultWithoutWaiting) {
    zod::test::TempDir dir;
    zod::test::SettingsFolder settings(dir.path());
    std::filesystem::create_directories(dir.path() + "/zod-edozuv");
    ASSERT_EQ(mkfifo(settings.File().c_str(), 0600), 0);
    EXPECT_EQ(SavedFactorOrDefault(), kDefaultAmplificationFactor);
}

TEST(SettingsLocationTest, FollowsTheBaseDirectoryConvention) {
    zod::test::TempDir dir;
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", dir.path().c_str(), 1);
    struct Case {
        const char* configHome; // nullptr: unset
        std::string expected;
    } cases[] = {
        {nullptr, dir.path() + "/.config/zod-edozuv/RARURI.ini"},
        {"", dir.path() + "/.config/zod-edozuv/RARURI.ini"},
        {"relative/config", dir.path() + "/.config/zod-edozuv/RARURI.ini"},
        {"/somewhere/else", "/somewhere/else/zod-edozuv/RARURI.ini"},
    };
    for (const Case& c : cases) {
        if (c.configHome)
            setenv("XDG_CONFIG_HOME", c.configHome, 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(SettingsFilePath(false).text, c.expected);
    }
    unsetenv("XDG_CONFIG_HOME");
    SettingsFilePath(true);
    EXPECT_TRUE(FileExists(dir.path() + "/.config/zod-edozuv"));
    setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
