// settings/ with the real file "c:\windows\RARURI.ini" and real message boxes. The test
// keeps whatever file was there and puts it back afterwards.
#include "settings/settings.h"

#include "tests/support/temp_dir.h"
#include "tests/windows/message_box_watch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zod::test::FileExists;
using zod::test::ReadFileBytes;
using zod::test::WriteFileBytes;

struct BoxCase {
    const char* caption;
    const char* text;
};
const BoxCase kReadBox = {"Initialization Error",
                          "There was an error reading RARURI.INI\nLoading Default settings..."};
const BoxCase kCreateBox = {"CRITICAL ERROR", "THERE WAS A CRITICAL ERROR CREATING RARURI.ININN"};
const BoxCase kUpdateBox = {"Update Error", "There was an error updating RARURI.INI"};

class WindowsSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_STREQ(path, "c:\\windows\\RARURI.ini");
        hadFile = FileExists(path);
        if (hadFile)
            saved = ReadFileBytes(path);
        Clear();
        owner =
            CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner);
        Clear();
        if (hadFile)
            WriteFileBytes(path, saved);
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        }
    }
    void Clear() {
        RemoveDirectoryA(path);
        DeleteFileA(path);
    }
    // A folder of that name: the file can be neither read nor replaced.
    void Block() { ASSERT_TRUE(CreateDirectoryA(path, NULL)); }

    void ExpectBoxes(std::initializer_list<BoxCase> expected) {
        const auto& seen = watch.seen();
        ASSERT_EQ(seen.size(), expected.size());
        size_t i = 0;
        for (const BoxCase& box : expected) {
            SCOPED_TRACE(box.caption);
            EXPECT_EQ(seen[i].caption, box.caption);
            EXPECT_EQ(seen[i].text, box.text);
            EXPECT_EQ(seen[i].owner, owner);
            EXPECT_TRUE(seen[i].stopIcon);
            EXPECT_EQ(seen[i].buttons, std::vector<std::string>{"OK"});
            ++i;
        }
    }
    // Whether a quit request is waiting, and its code.
    bool QuitPosted(WPARAM* code) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            if (message.message == WM_QUIT) {
                *code = message.wParam;
                return true;
            }
        return false;
    }
    bool NoTemporaryFileLeft() {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA("c:\\windows\\RARURI.ini?*", &found);
        if (search == INVALID_HANDLE_VALUE)
            return true;
        FindClose(search);
        return false;
    }

    const char* path = SettingsFilePath(false);
    bool hadFile = false;
    std::string saved;
    HWND owner = NULL;
    zod::test::MessageBoxWatch watch;
};

TEST_F(WindowsSettingsTest, ReadsTheLeadingNumberQuietlyAndNeverRewritesTheFile) {
    const struct {
        const char* content;
        int32_t factor;
    } cases[] = {
        {"8", 8},
        {"8\r\nmore text", 8},
        {"  \t\r\n-5", -5},
        {"100", 100},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"0", 0},
        {"", 3},
        {"eight", 3},
        {"2147483648", 3},
        {"-", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        WriteFileBytes(path, c.content);
        EXPECT_EQ(ReadSettings(owner), c.factor);
        EXPECT_EQ(ReadFileBytes(path), c.content);
    }
    ExpectBoxes({});
}

TEST_F(WindowsSettingsTest, AMissingFileIsReportedAndCreatedWithTheDefault) {
    EXPECT_EQ(ReadSettings(owner), 3);
    ExpectBoxes({kReadBox});
    EXPECT_EQ(ReadFileBytes(path), "3");
    EXPECT_TRUE(NoTemporaryFileLeft());
    WPARAM code = 99;
    EXPECT_FALSE(QuitPosted(&code));
}

TEST_F(WindowsSettingsTest, AFileThatCannotBeCreatedEndsTheProgram) {
    Block();
    EXPECT_EQ(ReadSettings(owner), 3);
    ExpectBoxes({kReadBox, kCreateBox});
    WPARAM code = 99;
    EXPECT_TRUE(QuitPosted(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(NoTemporaryFileLeft());
}

TEST_F(WindowsSettingsTest, WritesTheBareNumberOverTheOldFile) {
    WriteFileBytes(path, "8\r\n");
    WriteSettings(owner, 6);
    EXPECT_EQ(ReadFileBytes(path), "6");
    WriteSettings(owner, -12);
    EXPECT_EQ(ReadFileBytes(path), "-12");
    EXPECT_TRUE(NoTemporaryFileLeft());
    ExpectBoxes({});
}

TEST_F(WindowsSettingsTest, AFailedUpdateIsReportedWithoutEndingTheProgram) {
    Block();
    WriteSettings(owner, 6);
    ExpectBoxes({kUpdateBox});
    WPARAM code = 99;
    EXPECT_FALSE(QuitPosted(&code));
    EXPECT_TRUE(NoTemporaryFileLeft());
}

} // namespace
