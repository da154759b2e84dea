// Files made for replacing another: CreateFileA with CREATE_NEW never opens what already
// has the name, whether a file or a link, and leaves what a link points to alone.
#include "platform/hosts/headless.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace zod {
namespace {

using test::ReadFileBytes;

TEST(CreateFile, NewOnlyWhereNothingHasTheName) {
    HeadlessHost host;
    test::TempDir dir;
    test::WriteFileBytes(dir.File("file"), "precious");
    ASSERT_EQ(symlink(dir.File("file").c_str(), dir.File("link").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("nowhere").c_str(), dir.File("dangling").c_str()), 0);
    for (const char* name : {"file", "link", "dangling"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CreateFileA(dir.File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    }
    EXPECT_EQ(ReadFileBytes(dir.File("file")), "precious");
    EXPECT_FALSE(test::FileExists(dir.File("nowhere")));

    HANDLE file = CreateFileA(dir.File("new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "abc", 3, &written, nullptr) && written == 3);
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_EQ(LiveResourceHandles(), 1);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(ReadFileBytes(dir.File("new")), "abc");
    EXPECT_EQ(LiveResourceHandles(), 0);
}

} // namespace
} // namespace zod
