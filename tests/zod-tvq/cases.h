// Tables that both builds of zod-tvq face: the Linux tests here and the Windows tests
// (tests/windows/converter_test.cpp, run under Wine) convert the same files and expect
// the same pixels.
#pragma once

#include "tests/support/image_files.h"

#include <string>
#include <vector>

namespace zod::test {

// A TVQ file converted to BMP and PNG at a factor; stored < 0: every word; a trailing lone
// byte is a word whose high byte is 0.
struct PixelCase {
    int16_t width, height;
    long stored;
    bool loneByte;
    int factor;
};
inline const PixelCase kPixelCases[] = {
    {1, 1, -1, false, 2},     {3, 2, -1, false, 8}, {5, 3, 7, false, 3},
    {7, 4, 1, false, 100},    {2, 3, 3, true, 2},   {3, 1, 0, true, 8},
    {6, 2, -1, false, 0},     {5, 5, 11, true, -3}, {1001, 400, 250000, true, 4},
    {4096, 64, -1, false, 8},
};

inline std::string PixelCaseFile(const PixelCase& c) {
    std::string tvq =
        TvqBytes(c.width, c.height,
                 NoiseWords(c.stored < 0 ? size_t(c.width * c.height) : size_t(c.stored)));
    if (c.loneByte)
        tvq += char(0xC7);
    return tvq;
}

// The viewer's settings file (nullptr: none) and the factor convert uses without --factor.
struct SavedFactorCase {
    const char* saved;
    int factor;
};
inline const SavedFactorCase kSavedFactorCases[] = {
    {nullptr, 3}, {"8\n", 8}, {"  -2 trailing", -2}, {"none", 3}, {"100", 100}};

// Outputs that are an input under another name, refused even with --force; `link`, when
// given, is made first as a hard link to in.tvq, and `picture` as a small BMP.
struct SameFileCase {
    const char* name;
    std::vector<std::string> args; // the command, then what follows its "--force"
    const char* link;
    const char* picture;
};
inline const SameFileCase kSameFileCases[] = {
    {"itself as -o", {"convert", "-o", "self.bmp", "self.bmp"}, "self.bmp", nullptr},
    {"a TVQ named .bmp, written beside itself", {"convert", "photo.bmp"}, "photo.bmp", nullptr},
    {"a hard link as -o", {"convert", "-o", "other.bmp", "in.tvq"}, "other.bmp", nullptr},
    {"a later input as an earlier one's output",
     {"convert", "in.tvq", "in.bmp"},
     "in.bmp",
     nullptr},
    {"encode: a later input as an earlier one's output",
     {"encode", "in.bmp", "in.tvq"},
     nullptr,
     "in.bmp"},
};

} // namespace zod::test
