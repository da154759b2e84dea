// Tables that both builds of zod-tvq face: the Linux tests here and the Windows tests
// (tests/windows/converter_test.cpp, run under Wine) convert the same files and expect
// the same pixels, exit statuses and words.
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

// Command lines run in order in one folder that holds kCommandLineFiles and a folder
// "out"; *.tvq is expanded by the shell on Linux and by the program on Windows.
struct CommandLineCase {
    const char* args;
    int status;
    const char* says;   // the start of standard error; "": nothing is said
    const char* writes; // a file the run leaves, or nullptr
};
inline const CommandLineCase kCommandLineCases[] = {
    {"", 2, "zod-tvq: a command is needed: convert, encode, info or help", nullptr},
    {"convert", 2, "zod-tvq: FILE is required (zod-tvq convert --help tells more)\n", nullptr},
    {"--bogus", 2, "zod-tvq: --bogus: unknown option (zod-tvq --help tells more)\n", nullptr},
    {"--versoin", 2, "zod-tvq: --versoin: unknown option; did you mean --version?", nullptr},
    {"conver a.tvq", 2, "zod-tvq: unknown command 'conver'; did you mean convert?\n", nullptr},
    {"convert --levle 5 a.tvq", 2, "zod-tvq: --levle: unknown option; did you mean --level?",
     nullptr},
    {"convert --to gif a.tvq", 2, "zod-tvq: --to: gif not in", nullptr},
    {"convert --factor x a.tvq", 2, "zod-tvq: --factor: x is not a whole number", nullptr},
    {"convert --factor 0x10 a.tvq", 2,
     "zod-tvq: --factor: 0x10 is not a whole number from -2147483648 to 2147483647 in decimal",
     nullptr},
    {"convert --max-pixels -1 a.tvq", 2, "zod-tvq: --max-pixels: -1 is not a whole number",
     nullptr},
    {"info --max-pixels 18446744073709551616 a.tvq", 2,
     "zod-tvq: --max-pixels: 18446744073709551616 is not", nullptr},
    {"convert -o one.bmp a.tvq b.TVQ", 2,
     "zod-tvq: -o one.bmp: not a folder, and there are several inputs", nullptr},
    {"convert -o none a.tvq b.TVQ", 2, "zod-tvq: -o none: no such folder", nullptr},
    {"--version", 0, "", nullptr},
    {"help convert", 0, "", nullptr},
    {"convert --help", 0, "", nullptr},
    {"convert -q --factor -3 b.TVQ", 0, "", "b.bmp"},
    {"convert --factor 010 -o ten.bmp b.TVQ", 0, "zod-tvq: note: factor 10 is none", "ten.bmp"},
    {"convert -o one.bmp a.tvq", 0, "", "one.bmp"},
    {"convert --to png -o out a.tvq b.TVQ", 0, "", "out/b.png"},
    {"convert -q -o made/deeper/ *.tvq", 0, "", "made/deeper/big.bmp"},
    {"convert --force -o out/ a.tvq out/../a.tvq", 1, "zod-tvq: out/../a.tvq: ", "out/a.bmp"},
    {"convert -o short.bmp short.tvq", 0,
     "zod-tvq: note: short.tvq holds 12% of its pixels; the rest repeats the last one\n",
     "short.bmp"},
    {"convert -q -o quiet.bmp short.tvq", 0, "", "quiet.bmp"},
    {"convert --max-pixels 15 big.tvq", 1,
     "zod-tvq: big.tvq: 4 x 4 pixels, larger than --max-pixels allows (15)\n", nullptr},
    {"convert --max-pixels 16 big.tvq", 0, "", "big.bmp"},
    {"encode --max-pixels 15 p8.bmp", 1,
     "zod-tvq: p8.bmp: 4 x 4 pixels, larger than --max-pixels allows (15)\n", nullptr},
    {"info p8.bmp", 1, "zod-tvq: p8.bmp: a BMP file, not TVQ\n", nullptr},
    {"convert --level 0 a.tvq", 2, "zod-tvq: --level: ", nullptr},
    {"convert --level 6 a.tvq", 2, "zod-tvq: --level: ", nullptr},
    {"convert --level 2 --factor 3 a.tvq", 2, "zod-tvq: ", nullptr},
    {"convert --factor 16 -o f16.bmp a.tvq", 0, "zod-tvq: note: factor 16 is none of", "f16.bmp"},
    {"convert --factor 0 -o f0.bmp a.tvq", 0, "zod-tvq: note: factor 0 is none of", "f0.bmp"},
    {"encode --factor 0 p8.bmp", 2, "zod-tvq: --factor 0: encode needs", nullptr},
    {"encode --factor -1 p8.bmp", 2, "zod-tvq: --factor -1: encode needs", nullptr},
    {"encode --factor 1 -o e1.tvq p8.bmp", 0, "", "e1.tvq"},
    {"encode -o e.bmp p8.bmp", 2, "zod-tvq: -o e.bmp names a bmp file", nullptr},
};

inline std::vector<std::pair<std::string, std::string>> CommandLineFiles() {
    std::vector<uint16_t> eight = NoiseWords(8); // 12% of 8 x 8
    return {{"a.tvq", TvqBytes(1, 2, {1, 2})},
            {"b.TVQ", TvqBytes(1, 1, {1})},
            {"big.tvq", TvqBytes(4, 4, NoiseWords(16))},
            {"short.tvq", TvqBytes(8, 8, eight)},
            {"p8.bmp", Bmp24Bytes(4, 4, [](int x, int y) { return uint32_t(x * 40 + y); })}};
}

} // namespace zod::test
