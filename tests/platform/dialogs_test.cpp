// The common file dialogs answered by the headless host: what lands in the program's record
// and buffers, and what the host is asked.
#include "platform/hosts/headless.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace zod {
namespace {

using test::TempDir;
using test::WriteFileBytes;

constexpr DWORD kMaxFile = 255; // the program's buffers
const std::string kBefore = "previous.bmp";

// A path of exactly `length` characters ending in `name`.
std::string PathOfLength(size_t length, const std::string& name) {
    return "/" + std::string(length - 2 - name.size(), 'd') + "/" + name;
}

struct DialogCase {
    const char* name;
    bool save;
    std::optional<std::string> answer; // relative names are inside the test's folder
    const char* defExt;
    DWORD flags;
    const char* existing; // a file made first, or nullptr
    bool ok;
    std::string file; // expected lpstrFile (relative: inside the folder)
    DWORD error;
};

const DialogCase kDialogs[] = {
    {"AddsDefaultExtension", true, "pic", "bmp", 0, nullptr, true, "pic.bmp", 0},
    {"KeepsTheGivenExtension", true, "pic.tvq", "bmp", 0, nullptr, true, "pic.tvq", 0},
    {"DotInAFolderIsNoExtension", true, "a.b/pic", "bmp", 0, nullptr, true, "a.b/pic.bmp", 0},
    {"NoDefaultExtension", true, "pic", nullptr, 0, nullptr, true, "pic", 0},
    {"EmptyDefaultExtension", true, "pic", "", 0, nullptr, true, "pic", 0},
    {"MustExistButMissing", false, "pic.tvq", nullptr, OFN_FILEMUSTEXIST, nullptr, false, "", 0},
    {"MustExistAndThere", false, "pic.tvq", nullptr, OFN_FILEMUSTEXIST, "pic.tvq", true, "pic.tvq",
     0},
    {"MustExistWithDefaultExtension", false, "pic", "tvq", OFN_FILEMUSTEXIST, "pic.tvq", true,
     "pic.tvq", 0},
    {"MustExistFolderIsNoFile", false, "a.b", nullptr, OFN_FILEMUSTEXIST, "a.b/x", false, "", 0},
    {"Cancelled", false, std::nullopt, "bmp", 0, nullptr, false, "", 0},
    {"EmptyAnswerCancels", true, "", "bmp", 0, nullptr, false, "", 0},
    {"FitsExactly", true, PathOfLength(kMaxFile - 1, "x.bmp"), "bmp", 0, nullptr, true,
     PathOfLength(kMaxFile - 1, "x.bmp"), 0},
    {"OneTooLong", true, PathOfLength(kMaxFile, "x.bmp"), "bmp", 0, nullptr, false, "",
     FNERR_BUFFERTOOSMALL},
    {"TooLongOnceExtended", true, PathOfLength(kMaxFile - 4, "x"), "bmp", 0, nullptr, false, "",
     FNERR_BUFFERTOOSMALL},
};

class Dialogs : public ::testing::TestWithParam<DialogCase> {
  protected:
    HeadlessHost host{32, 32};
    TempDir dir;
};

std::string Resolve(const TempDir& dir, const std::string& name) {
    return name.empty() || name[0] == '/' ? name : dir.File(name);
}

TEST_P(Dialogs, FillTheRecordOrLeaveItAlone) {
    const DialogCase& c = GetParam();
    if (c.existing) {
        mkdir(dir.File("a.b").c_str(), 0700);
        WriteFileBytes(dir.File(c.existing), "x");
    }
    host.QueueDialogAnswer(c.answer ? std::optional(Resolve(dir, *c.answer)) : std::nullopt);
    char file[kMaxFile + 8];
    std::memset(file, 0x7E, sizeof file); // beyond nMaxFile: must stay
    std::memcpy(file, kBefore.c_str(), kBefore.size() + 1);
    OPENFILENAMEA record{};
    record.lStructSize = sizeof record;
    record.lpstrFile = file;
    record.nMaxFile = kMaxFile;
    record.lpstrDefExt = c.defExt;
    record.Flags = c.flags;
    record.nFileOffset = record.nFileExtension = 0xBEEF;
    const BOOL ok = c.save ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(CommDlgExtendedError(), c.error);
    EXPECT_EQ(host.Dialogs().size(), 1u);
    for (size_t i = kMaxFile; i < sizeof file; ++i)
        ASSERT_EQ(file[i], 0x7E) << i;
    if (c.ok) {
        const std::string want = Resolve(dir, c.file);
        EXPECT_EQ(std::string(file), want);
        const size_t slash = want.rfind('/') + 1, dot = want.find('.', slash);
        EXPECT_EQ(record.nFileOffset, slash);
        EXPECT_EQ(record.nFileExtension, dot == std::string::npos ? want.size() : dot + 1);
    } else if (c.error == FNERR_BUFFERTOOSMALL) {
        // As Windows does: the size needed in the first two bytes, nothing else copied.
        EXPECT_EQ(uint8_t(file[0]) | uint8_t(file[1]) << 8, int(kMaxFile + 1));
        EXPECT_EQ(std::string(file + 2), kBefore.substr(2));
        EXPECT_EQ(record.nFileOffset, 0xBEEF);
    } else {
        EXPECT_EQ(std::string(file), kBefore);
        EXPECT_EQ(record.nFileOffset, 0xBEEF);
    }
}

INSTANTIATE_TEST_SUITE_P(FileDialogs, Dialogs, ::testing::ValuesIn(kDialogs),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(FileDialogs, FilterListTitleAndRecordChecks) {
    HeadlessHost host(32, 32);
    const char filter[] = "Bitmaps\0*.bmp\0TVQ images\0*.tvq;*.TVQ\0All files\0*.*\0";
    char file[kMaxFile] = "";
    char title[9];
    std::memset(title, 0x7E, sizeof title);
    OPENFILENAMEA record{};
    record.lStructSize = sizeof record;
    record.hwndOwner = reinterpret_cast<HWND>(0x1234);
    record.lpstrFilter = filter;
    record.nFilterIndex = 2;
    record.lpstrFile = file;
    record.nMaxFile = kMaxFile;
    record.lpstrFileTitle = title;
    record.nMaxFileTitle = 8;
    record.lpstrDefExt = "tvq";
    record.Flags = OFN_HIDEREADONLY;
    host.QueueDialogAnswer("/pics/sunset.tvq");
    ASSERT_TRUE(GetSaveFileNameA(&record));
    ASSERT_EQ(host.Dialogs().size(), 1u);
    const FileDialogRequest& asked = host.Dialogs()[0];
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.owner, record.hwndOwner);
    EXPECT_EQ(asked.filterIndex, 2);
    EXPECT_EQ(asked.defaultExtension, "tvq");
    EXPECT_FALSE(asked.fileMustExist);
    ASSERT_EQ(asked.filters.size(), 3u);
    const char* expected[][2] = {
        {"Bitmaps", "*.bmp"}, {"TVQ images", "*.tvq;*.TVQ"}, {"All files", "*.*"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(asked.filters[i].label, expected[i][0]);
        EXPECT_EQ(asked.filters[i].pattern, expected[i][1]);
    }
    // The title is cut to its buffer and terminated there.
    EXPECT_EQ(std::string(title), "sunset.");
    EXPECT_EQ(title[8], 0x7E);

    // A record too small is refused before anything is shown; so is one without a buffer.
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A - 1;
    EXPECT_FALSE(GetOpenFileNameA(&record));
    EXPECT_EQ(CommDlgExtendedError(), DWORD(CDERR_STRUCTSIZE));
    record.lStructSize = sizeof record;
    record.lpstrFile = nullptr;
    EXPECT_FALSE(GetOpenFileNameA(&record));
    EXPECT_EQ(CommDlgExtendedError(), DWORD(CDERR_INITIALIZATION));
    EXPECT_FALSE(GetOpenFileNameA(nullptr));
    EXPECT_EQ(host.Dialogs().size(), 1u);
    EXPECT_EQ(host.UnansweredDialogs(), 0);
}

} // namespace
} // namespace zod
