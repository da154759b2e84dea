// Files every image decoder module (gdk-pixbuf, Qt) must read as the viewer draws them, or
// refuse: one table, so the modules cannot drift apart.
#pragma once
#include "tests/support/image_files.h"

#include <string>
#include <vector>

namespace zod::test {

struct SavedFactorCase {
    std::string file;
    const char* saved; // the settings file; none when null
    int factor;
};

inline std::vector<SavedFactorCase> SavedFactorCases() {
    return {
        {TvqBytes(3, 2, {0xFFFF, 0x0020, 0xF800, 0x07C0, 0x001F, 0x8421}), "8", 8},
        {TvqBytes(5, 4, NoiseWords(7, 1)), nullptr, 3},      // short: last word repeats
        {TvqBytes(4, 2, NoiseWords(3, 2)) + '\xDF', "2", 2}, // lone byte: word 0x00DF
        {TvqBytes(4, 3, NoiseWords(5, 2)) + '\xDF', "9", 9}, // ends mid-row
        {TvqBytes(2, 2, NoiseWords(6, 3)), "4\nmore", 4},    // longer than its image
        {TvqBytes(300, 40, NoiseWords(11000, 4)), "level", 3},
    };
}

struct DecodableCase {
    std::string file;
    bool decoded;
};

inline std::vector<DecodableCase> DecodableCases() {
    const size_t bound = 5000 * 4000 / 64; // over 2^24 pixels, one word in 64 must be there
    return {
        {TvqBytes(2, 2, {}).substr(0, 9), false}, // ends before the height
        {TvqBytes(2, 2, {}), false},              // no pixel word
        {TvqBytes(0, 2, NoiseWords(4)), false},
        {TvqBytes(2, 0, NoiseWords(4)), false},
        {TvqBytes(-1, 2, NoiseWords(4)), false},
        {TvqBytes(2, -32768, NoiseWords(4)), false},
        {TvqBytes(32767, 32767, NoiseWords(4)), false},
        {TvqBytes(8192, 8192, NoiseWords(4)), false},
        {TvqBytes(5000, 4000, NoiseWords(bound - 1, 5)), false},
        {TvqBytes(5000, 4000, NoiseWords(bound, 5)), true},
        // A JPEG's header claims 4096 x 17993 pixels.
        {std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + TvqBytes(0, 0, NoiseWords(400)), false},
        // A GIF's header claims 24889 x 100 pixels, which the file would hold in part.
        {std::string("GIF89a\x64\0\x64\0", 10) + std::string(5000, '\x11'), false},
    };
}

} // namespace zod::test
