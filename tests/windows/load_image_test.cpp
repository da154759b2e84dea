// Windows' own LoadImageA on the BMP corpus that our subset's is checked against: where
// this fails, the corpus's record of what Windows does is wrong.
#include "tests/support/bmp_corpus.h"

#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsLoadImage, AcceptsAndRefusesTheCorpusAsRecorded) {
    for (const zod::test::CorpusBmp& bmp : zod::test::ReadBmpCorpus(ZOD_BMP_CORPUS)) {
        SCOPED_TRACE(bmp.path);
        HBITMAP bitmap = static_cast<HBITMAP>(
            LoadImageA(NULL, bmp.path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        EXPECT_EQ(bitmap != NULL, bmp.windowsAccepts);
        BITMAP info = {};
        if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
            EXPECT_EQ(info.bmWidth, bmp.width);
            EXPECT_EQ(info.bmHeight, bmp.height);
        }
        if (bitmap)
            DeleteObject(bitmap);
    }
}

} // namespace
