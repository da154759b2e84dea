// zod-tvq as a command-line tool: encode, the plausibility verdict, formats told by name,
// standard streams, Levels, usage errors and the bash completion.
#include "tests/zod-tvq/cli.h"
#include "tests/support/image_files.h"
#include "formats/core/tvq_levels.h"

#include <spng.h>

#include <random>

namespace zod::test {
namespace {

// An 8-bit PNG, RGB (3 channels) or RGBA (4), made by libspng.
std::string PngBytes(int width, int height, int channels, const std::vector<uint8_t>& pixels,
                     bool interlaced = false) {
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{
        uint32_t(width),
        uint32_t(height),
        8,
        uint8_t(channels == 4 ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR),
        0,
        0,
        uint8_t(interlaced)};
    spng_set_ihdr(context, &header);
    EXPECT_EQ(spng_encode_image(context, pixels.data(), pixels.size(), SPNG_FMT_PNG,
                                SPNG_ENCODE_FINALIZE),
              0);
    size_t size = 0;
    int error = 0;
    void* png = spng_get_png_buffer(context, &size, &error);
    std::string bytes(static_cast<char*>(png), size);
    free(png);
    spng_ctx_free(context);
    return bytes;
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes)
        byte = uint8_t(random());
    return bytes;
}

uint16_t WordAt(const std::string& tvq, size_t i) {
    return ReadLe16(BytesAt(tvq, 32 + 2 * i));
}

using Toolkit = Cli;

// encode(decode(t, f), f) == t for every TVQ whose channels times f stay within 255 and
// whose bit 5 is clear: through convert's PNG and BMP, and with dithering too.
TEST_F(Toolkit, DecodedTvqFilesEncodeBackToTheSameBytes) {
    for (int level = 1; level <= 5; ++level) {
        const int f = TvqLevelFactor(level);
        const int top = std::min(31, 255 / f) + 1;
        std::mt19937 random{uint32_t(level)};
        std::vector<uint16_t> words(101 * 37);
        for (uint16_t& word : words)
            word = uint16_t(random() % uint32_t(top) << 11 | random() % uint32_t(top) << 6 |
                            random() % uint32_t(top));
        const std::string tvq = TvqBytes(101, 37, words);
        Put("t.tvq", tvq);
        const std::string l = " --level " + std::to_string(level);
        for (const char* via : {"png", "bmp"}) {
            for (const char* dither : {"", " --dither"}) {
                const std::string picture = std::string("t.") + via;
                ASSERT_EQ(Run("zod-tvq convert --force" + l + " t.tvq -o " + picture).status, 0);
                ASSERT_EQ(
                    Run("zod-tvq encode --force" + l + dither + " -o back.tvq " + picture).status,
                    0);
                EXPECT_TRUE(Read("back.tvq") == tvq)
                    << "level " << level << " via " << via << dither;
            }
        }
    }
}

TEST_F(Toolkit, EncodeReadsOtherFormatsAndRefusesWhatTvqCannotHold) {
    Put("b.bmp", Bmp24Bytes(3, 2, [](int x, int y) { return x == 0 && y == 0 ? 0xF8F8F8u : 0; }));
    Put("a.png", PngBytes(2, 1, 4, {255, 0, 0, 128, 0, 248, 0, 255})); // over black
    Put("i.png", PngBytes(5, 4, 3, RandomBytes(60, 1), true));
    Put("wide.png", PngBytes(32768, 1, 3, std::vector<uint8_t>(3 * 32768, 9)));
    Put("max.png", PngBytes(32767, 1, 3, std::vector<uint8_t>(3 * 32767, 9)));
    Put("text.png", "not a picture at all\n");
    Put("cut.png", PngBytes(64, 64, 3, RandomBytes(64 * 64 * 3, 2)).substr(0, 500));
    const struct {
        const char* input;
        int status;
        const char* says; // on standard error
    } cases[] = {
        {"b.bmp", 0, ""},
        {"i.png", 0, ""},
        {"max.png", 0, ""},
        {"wide.png", 1, "32768 x 1 pixels: TVQ holds at most 32767 on a side"},
        {"text.png", 1, "zod-tvq: text.png: "},
        {"cut.png", 1, "zod-tvq: cut.png: "},
        {"missing.png", 1, "zod-tvq: missing.png: No such file"},
    };
    for (const auto& c : cases) {
        const Result result = Run(std::string("zod-tvq encode -o out.tvq ") + c.input);
        EXPECT_EQ(result.status, c.status) << c.input << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
        EXPECT_EQ(FileExists(work + "/out.tvq"), c.status == 0) << c.input;
        unlink((work + "/out.tvq").c_str());
    }
    ASSERT_EQ(Run("zod-tvq encode b.bmp").status, 0);
    const std::string tvq = Read("b.tvq"); // top row first
    EXPECT_EQ(std::vector<uint16_t>({WordAt(tvq, 0), WordAt(tvq, 1), WordAt(tvq, 3)}),
              std::vector<uint16_t>({0xFFDF, 0, 0}));
    ASSERT_EQ(Run("zod-tvq encode a.png").status, 0);
    EXPECT_EQ(Read("a.tvq"), TvqBytes(2, 1, {16 << 11, 31 << 6}));
    // Interlaced pictures, whose rows come pass by pass, give the same words.
    for (const int channels : {3, 4}) {
        const std::vector<uint8_t> pixels = RandomBytes(size_t(37 * 19 * channels), 5);
        Put("plain.png", PngBytes(37, 19, channels, pixels));
        Put("passes.png", PngBytes(37, 19, channels, pixels, true));
        ASSERT_EQ(Run("zod-tvq encode --force plain.png passes.png").status, 0);
        EXPECT_TRUE(Read("plain.tvq") == Read("passes.tvq")) << channels;
    }
}

// The one rule refuses the same files in convert and info, in the same words.
TEST_F(Toolkit, ImplausibleFilesAreRefusedByEveryCommandAlike) {
    std::string text = "1. 2. 3. 4. 5. A list in a text file renamed.\n";
    while (text.size() < 4000)
        text += "Some words of an ordinary text file, many times over.\n";
    const struct {
        std::string bytes;
        const char* words;
    } cases[] = {
        {text, "claims 8238 x 13344 pixels but holds only "},
        {TvqBytes(4, 0, NoiseWords(1000)), "zero or negative size (4 x 0)"},
        {TvqBytes(4, 4, {}), "no pixels: the file ends within its 32-byte header"},
        // Its first bytes read as 24889 x 100 pixels.
        {std::string("GIF89a\x64\0\x64\0", 10) + std::string(5000, '\x11'), "a GIF file, not TVQ"},
        {TvqBytes(16385, 16384, NoiseWords(16385 * 64)), // last: x.tvq after the loop
         "16385 x 16384 pixels, larger than --max-pixels allows (268435456)"},
    };
    for (const auto& c : cases) {
        Put("x.tvq", c.bytes);
        const Result convert = Run("zod-tvq convert x.tvq");
        const Result info = Run("zod-tvq info x.tvq");
        const Result json = Run("zod-tvq info --json x.tvq");
        EXPECT_EQ(convert.status, 1);
        EXPECT_EQ(info.status, 1);
        EXPECT_EQ(json.status, 1);
        EXPECT_EQ(convert.err.rfind("zod-tvq: x.tvq: ", 0), 0u) << convert.err;
        EXPECT_NE(convert.err.find(c.words), std::string::npos) << convert.err;
        EXPECT_EQ(info.err, convert.err);
        EXPECT_EQ(info.out, "") << "no size line for a file that is no image";
        EXPECT_EQ(json.out.find("\"verdict\": \"plausible\""), std::string::npos) << json.out;
        EXPECT_FALSE(FileExists(work + "/x.bmp"));
    }
    // The limit is the option's: above it, the large file is judged by the rest of the rule.
    EXPECT_NE(Run("zod-tvq info --json --max-pixels 268451840 x.tvq").out.find("too-sparse"),
              std::string::npos);
    // A sparse file is still converted when asked: what it holds, the rest its last word.
    Put("s.tvq", TvqBytes(4097, 4096, NoiseWords(262207)));
    EXPECT_EQ(Run("zod-tvq convert --to png -o s.png s.tvq").status, 1);
    EXPECT_EQ(Run("zod-tvq convert -q --allow-sparse --to png -o s.png s.tvq").status, 0);
    EXPECT_NE(Run("zod-tvq info --json s.tvq").out.find("\"verdict\": \"too-sparse\""),
              std::string::npos);
}

TEST_F(Toolkit, OutputFormatFollowsTheNameAndMismatchesAreUsageErrors) {
    Put("in.tvq", TvqBytes(2, 2, {1, 2, 3, 4}));
    const struct {
        const char* args;
        int status;
        const char* output;
        const char* starts; // the output's first bytes, or "" for no output
    } cases[] = {
        {"-o x.png", 0, "x.png", "\x89PNG"},
        {"-o x.bmp", 0, "x.bmp", "BM"},
        {"-o X.PnG", 0, "X.PnG", "\x89PNG"},
        {"--to png -o c.bmp", 2, "c.bmp", ""},
        {"--to bmp -o c.png", 2, "c.png", ""},
        {"-o x.jpg", 2, "x.jpg", ""},
        {"-o x.tvq", 2, "x.tvq", ""},
        {"--to png -o x.data", 0, "x.data", "\x89PNG"},
        {"--to png -o x.png", 0, "x.png", "\x89PNG"},
    };
    for (const auto& c : cases) {
        const Result result = Run(std::string("zod-tvq convert --force ") + c.args + " in.tvq");
        EXPECT_EQ(result.status, c.status) << c.args;
        EXPECT_EQ(Read(c.output).substr(0, strlen(c.starts)), c.starts) << c.args;
        EXPECT_EQ(result.err.rfind(c.status ? "zod-tvq: -o " : "", 0), 0u) << result.err;
        unlink((work + "/" + c.output).c_str());
    }
}

TEST_F(Toolkit, DashReadsStandardInputAndWritesStandardOutput) {
    const std::string tvq = TvqBytes(3, 2, NoiseWords(6));
    Put("in.tvq", tvq);
    // Another picture's 64 bytes, which a shell has read already, before in.tvq.
    Put("two.bin", TvqBytes(16, 1, NoiseWords(16)) + tvq);
    const std::string skip = "(dd bs=64 count=1 of=/dev/null 2>/dev/null; zod-tvq ";
    Put("p.png", PngBytes(4, 2, 3, RandomBytes(24, 3)));
    ASSERT_EQ(Run("zod-tvq convert --to png -o file.png in.tvq").status, 0);
    ASSERT_EQ(Run("zod-tvq encode -o file.tvq p.png").status, 0);
    const struct {
        std::string command;
        int status;
        const char* same; // a file standard output must equal, or nullptr
    } cases[] = {
        {"zod-tvq convert --to png -o - in.tvq", 0, "file.png"},
        {skip + "convert --to png -o - -) <two.bin", 0, "file.png"},
        {"zod-tvq convert --to png -o - - <in.tvq", 0, "file.png"},
        {"cat in.tvq | zod-tvq convert --to png -o - -", 0, "file.png"},
        {"cat p.png | zod-tvq encode -o - -", 0, "file.tvq"},
        {"zod-tvq encode -o - p.png", 0, "file.tvq"},
        {"cat in.tvq | zod-tvq info -", 0, nullptr},
        {"zod-tvq convert -o - in.tvq", 2, nullptr},
        {"zod-tvq convert --to png - <in.tvq", 2, nullptr},
        {"zod-tvq convert --to png -o o.png - in.tvq", 2, nullptr},
        {"zod-tvq encode -o - p.png p.png", 2, nullptr},
    };
    for (const auto& c : cases) {
        const Result result = Run(c.command);
        EXPECT_EQ(result.status, c.status) << c.command << result.err;
        if (c.same) {
            EXPECT_TRUE(result.out == Read(c.same)) << c.command;
        }
        EXPECT_FALSE(FileExists(work + "/-")) << c.command;
    }
    // A pipe is kept only as far as the largest image allowed: 6 pixels here, under a 10 MiB
    // cap on files that an endless copy would reach.
    const std::string endless = "(cat in.tvq /dev/zero) | (ulimit -f 10240; zod-tvq info ";
    for (const std::string& command : {std::string("cat in.tvq | zod-tvq info -"),
                                       skip + "info -) <two.bin", endless + "--max-pixels 6 -)"})
        EXPECT_EQ(Run(command).out, "standard input: 3 x 2, 6 of 6 pixel words\n") << command;
    // Binary data would garble a terminal: `script` gives the program one.
    const Result terminal = Run("script -qec 'zod-tvq convert --to bmp -o - in.tvq' /dev/null");
    EXPECT_EQ(terminal.status, 2);
    EXPECT_NE(terminal.out.find("zod-tvq: will not write image data to a terminal"),
              std::string::npos)
        << terminal.out;
}

TEST_F(Toolkit, LevelsMapToFactors) {
    Put("in.tvq", TvqBytes(1, 1, {0xFFFF}));
    Put("p.png", PngBytes(1, 1, 3, {200, 100, 50}));
    for (int level = 1; level <= 5; ++level) {
        const std::string f = std::to_string(TvqLevelFactor(level));
        ASSERT_EQ(
            Run("zod-tvq convert --force -o l.bmp --level " + std::to_string(level) + " in.tvq")
                .status,
            0);
        const Result byFactor = Run("zod-tvq convert --force -o f.bmp --factor " + f + " in.tvq");
        EXPECT_EQ(byFactor.err, "") << "a Level's factor needs no note";
        EXPECT_EQ(Read("l.bmp"), Read("f.bmp")) << level;
        ASSERT_EQ(Run("zod-tvq encode --force -o l.tvq --level " + std::to_string(level) + " p.png")
                      .status,
                  0);
        ASSERT_EQ(Run("zod-tvq encode --force -o f.tvq --factor " + f + " p.png").status, 0);
        EXPECT_EQ(Read("l.tvq"), Read("f.tvq")) << level;
    }
    ASSERT_EQ(Run("zod-tvq encode -o d.tvq p.png").status, 0);
    EXPECT_EQ(Read("d.tvq"), Read("f.tvq")) << "Level 5 is the default";
}

TEST_F(Toolkit, BashCompletionOffersCommandsOptionsAndFiles) {
    Put("a.tvq", "");
    Put("b.png", "");
    const struct {
        const char* words;
        const char* offered;
    } cases[] = {
        {"zod-tvq con", "convert"},
        {"zod-tvq e", "encode"},
        {"zod-tvq convert --le", "--level"},
        {"zod-tvq convert --to p", "png"},
        {"zod-tvq encode --level ", "1 2 3 4 5"},
        {"zod-tvq encode --di", "--dither"},
        {"zod-tvq info --j", "--json"},
        {"zod-tvq convert a.", "a.tvq"},
        {"zod-tvq encode b", "b.png"},
    };
    for (const auto& c : cases) {
        const std::string script = std::string("source ") + ZOD_TVQ_COMPLETION +
                                   " && COMP_WORDS=(" + c.words +
                                   (c.words[strlen(c.words) - 1] == ' ' ? "\"\"" : "") +
                                   ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _zod_tvq && "
                                   "echo ${COMPREPLY[*]}";
        const Result result = Run("bash -c '" + script + "'");
        EXPECT_EQ(result.out, std::string(c.offered) + "\n") << c.words << result.err;
    }
}

// What lintian asks of a manual page: man's warnings (groff's, with tbl) and a whatis
// entry; and the Level table as the program has it.
TEST_F(Toolkit, ManualPagesReadCleanlyAndShowTheLevels) {
    std::string factors = "factor";
    for (int level = 1; level <= kTvqLevelCount; ++level)
        factors += "\t" + std::to_string(TvqLevelFactor(level));
    for (const char* page : {ZOD_TVQ_MAN, ZOD_VIEWER_MAN}) {
        const Result man = Run(std::string("LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80 man --warnings "
                                           "-E UTF-8 -l -Tutf8 -Z ") +
                               page + " >/dev/null && lexgrog " + page);
        EXPECT_EQ(man.status, 0) << page;
        EXPECT_EQ(man.err, "") << page;
        EXPECT_NE(ReadFileBytes(page).find("\n" + factors + "\n"), std::string::npos) << page;
    }
}

} // namespace
} // namespace zod::test
