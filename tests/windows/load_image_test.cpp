// Windows' own LoadImageA on the BMP corpus that our subset's is checked against: where
// this fails, the corpus's record of what Windows does is wrong.
#include "tests/support/bmp_corpus.h"

#include "platform/win32.h"

#include <gtest/gtest.h>
#include <winternl.h>

namespace {

// What a bitmap holds while it lives: Windows counts it among the GDI objects, Wine keeps
// its pixels in the process's address space. Either must be back where it was once the
// bitmap is deleted.
struct Held {
    DWORD gdiObjects;
    SIZE_T addressSpace;
};

Held Holdings() {
    VM_COUNTERS memory{};
    NtQueryInformationProcess(GetCurrentProcess(), ProcessVmCounters, &memory, sizeof memory,
                              nullptr);
    return {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), memory.VirtualSize};
}

// A file whose answer depends on the process's room (a few bytes claiming 16384 x 16384
// pixels) is held only to what does not: no crash, its size when loaded, nothing kept.
TEST(WindowsLoadImage, AcceptsAndRefusesTheCorpusAsRecorded) {
    for (const zod::test::CorpusBmp& bmp : zod::test::ReadBmpCorpus(ZOD_BMP_CORPUS)) {
        SCOPED_TRACE(bmp.path);
        const Held before = Holdings();
        HBITMAP bitmap = static_cast<HBITMAP>(
            LoadImageA(NULL, bmp.path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        if (!bmp.windowsDepends) {
            EXPECT_EQ(bitmap != NULL, bmp.windowsAccepts);
        }
        BITMAP info = {};
        if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
            EXPECT_EQ(info.bmWidth, bmp.width);
            EXPECT_EQ(info.bmHeight, bmp.height);
        }
        if (bitmap)
            DeleteObject(bitmap);
        const Held after = Holdings();
        EXPECT_EQ(after.gdiObjects, before.gdiObjects);
        EXPECT_LT(after.addressSpace, before.addressSpace + (16 << 20));
    }
}

} // namespace
