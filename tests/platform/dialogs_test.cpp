// The common file dialogs answered by the headless host: what lands in the program's record
// and buffers, and why an answer is refused. Both desktop choosers keep asking by the same
// rule: only an Open dialog that asks for an existing file refuses, naming what it looked for.
#include "common/little_endian.h"
#include "platform/hosts/headless.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>

namespace zod {
namespace {

constexpr DWORD kMaxFile = 255; // the program's buffers
const std::string kBefore = "previous.bmp";

// A path of exactly `length` characters ending in `name`.
std::string PathOfLength(size_t length, const std::string& name) {
    return "/" + std::string(length - 2 - name.size(), 'd') + "/" + name;
}

TEST(FileDialogs, FillTheBufferOrLeaveItAlone) {
    const std::string longest = PathOfLength(kMaxFile - 1, "x.bmp");
    const std::string missing = "\nFile does not exist.";
    struct Case {
        bool save;
        std::string answer; // relative names are inside the test's folder
        const char* defExt;
        DWORD flags;
        std::string file; // expected lpstrFile; empty: refused
        DWORD error;
        std::string refusal;
    } const cases[] = {
        {true, "picture", "bmp", 0, "picture.bmp", 0, ""},
        {true, "a.b/pic", "bmp", 0, "a.b/pic.bmp", 0, ""}, // a dot in a folder is no extension
        {false, "pic", "tvq", OFN_FILEMUSTEXIST, "pic.tvq", 0, ""},
        {false, "a.b", nullptr, OFN_FILEMUSTEXIST, "", 0, "a.b" + missing}, // a folder is no file
        {false, "missing", "tvq", OFN_FILEMUSTEXIST, "", 0, "missing.tvq" + missing},
        {false, "missing.tvq", "tvq", 0, "missing.tvq", 0, ""},
        {true, longest, "bmp", 0, longest, 0, ""},
        {true, PathOfLength(kMaxFile, "x.bmp"), "bmp", 0, "", FNERR_BUFFERTOOSMALL, ""},
        {true, PathOfLength(kMaxFile - 4, "x"), "bmp", 0, "", FNERR_BUFFERTOOSMALL, ""},
    };
    HeadlessHost host(32, 32);
    test::TempDir dir;
    mkdir(dir.File("a.b").c_str(), 0700);
    test::WriteFileBytes(dir.File("pic.tvq"), "x");
    auto resolve = [&](const std::string& name) {
        return name.empty() || name[0] == '/' ? name : dir.File(name);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        host.QueueDialogAnswer(resolve(c.answer));
        char file[kMaxFile + 8], title[9];
        std::memset(title, 0x7E, sizeof title);
        std::memset(file, 0x7E, sizeof file); // beyond nMaxFile: must stay
        std::memcpy(file, kBefore.c_str(), kBefore.size() + 1);
        OPENFILENAMEA record{};
        record.lStructSize = sizeof record;
        record.lpstrFile = file;
        record.nMaxFile = kMaxFile;
        record.lpstrDefExt = c.defExt;
        record.Flags = c.flags;
        record.lpstrFilter = "Bitmaps\0*.bmp\0";
        record.lpstrFileTitle = title;
        record.nMaxFileTitle = 8;
        const BOOL ok = c.save ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record);
        EXPECT_EQ(ok, !c.file.empty());
        EXPECT_EQ(CommDlgExtendedError(), c.error);
        EXPECT_EQ(RefuseDialogAnswer(host.Dialogs().back(), resolve(c.answer)), c.refusal);
        EXPECT_EQ(std::string(file + kMaxFile, 8), std::string(8, 0x7E));
        if (ok) {
            EXPECT_EQ(std::string(file), resolve(c.file));
            const std::string name = c.file.substr(c.file.rfind('/') + 1);
            EXPECT_EQ(std::string(title), name.substr(0, 7)); // cut to its buffer
            EXPECT_EQ(title[8], 0x7E);
        } else if (c.error == FNERR_BUFFERTOOSMALL) {
            // As Windows does: the size needed in the first two bytes, nothing else copied.
            EXPECT_EQ(ReadLe16(reinterpret_cast<uint8_t*>(file)), kMaxFile + 1);
            EXPECT_EQ(std::string(file + 2), kBefore.substr(2));
        } else {
            EXPECT_EQ(std::string(file), kBefore);
        }
    }
    EXPECT_EQ(host.Dialogs().size(), std::size(cases));
}

} // namespace
} // namespace zod
