// The zod-tvq program run as users run it: files in, files, messages and exit codes out.
#include "tests/zod-tvq/cases.h"
#include "tests/zod-tvq/cli.h"
#include "tests/support/image_files.h"

#include <spng.h>

#include <algorithm>
#include <cstring>

namespace zod::test {
namespace {

// zod-tvq with the arguments, optionally with a limit, in 512-byte blocks, on the size of
// any file it writes.
class ZodTvq : public Cli {
  protected:
    Result Zod(const std::string& args, int fileBlocks = 0) {
        return Run((fileBlocks ? "ulimit -f " + std::to_string(fileBlocks) + " && " : "") +
                   "zod-tvq " + args);
    }
};

// Pixel (x, y) of an 8-bit RGB PNG as a COLORREF, decoded by libspng.
std::vector<uint32_t> PngPixels(const std::string& png, int* width) {
    spng_ctx* context = spng_ctx_new(0);
    spng_set_png_buffer(context, png.data(), png.size());
    spng_ihdr header{};
    size_t size = 0;
    spng_get_ihdr(context, &header);
    spng_decoded_image_size(context, SPNG_FMT_RGB8, &size);
    std::string rgb(size, '\0');
    EXPECT_EQ(spng_decode_image(context, rgb.data(), size, SPNG_FMT_RGB8, 0), 0);
    spng_ctx_free(context);
    *width = int(header.width);
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        pixels.push_back(uint8_t(rgb[i]) | uint8_t(rgb[i + 1]) << 8 | uint8_t(rgb[i + 2]) << 16);
    return pixels;
}

TEST_F(ZodTvq, PixelsMatchAReferenceInBothFormats) {
    for (const PixelCase& c : kPixelCases) {
        const std::string tvq = PixelCaseFile(c);
        const std::string factor = std::to_string(c.factor);
        Put("in.tvq", tvq);
        ASSERT_EQ(Zod("convert --force --factor " + factor + " in.tvq").status, 0);
        ASSERT_EQ(Zod("convert --force --to png --factor " + factor + " in.tvq").status, 0);
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const std::string bmp = Read("in.bmp");
        int pngWidth = 0;
        const std::vector<uint32_t> want = TvqPicture(tvq, c.factor);
        EXPECT_TRUE(PngPixels(Read("in.png"), &pngWidth) == want);
        EXPECT_EQ(pngWidth, c.width);
        ASSERT_EQ(bmp.size(), 54 + (3 * size_t(c.width) + 3) / 4 * 4 * c.height);
        for (size_t i = 0; i < want.size(); ++i)
            ASSERT_EQ(Bmp24Pixel(bmp, int(i % size_t(c.width)), int(i / size_t(c.width))), want[i])
                << i;
    }
}

TEST_F(ZodTvq, DefaultFactorIsTheSavedOneElseThree) {
    Put("in.tvq", TvqBytes(1, 1, {0xFFFF}));
    for (const SavedFactorCase& c : kSavedFactorCases) {
        const std::string file = config + "/zod-edozuv/RARURI.ini";
        if (c.saved) {
            mkdir(config.c_str(), 0700);
            mkdir((config + "/zod-edozuv").c_str(), 0700);
            WriteFileBytes(file, c.saved);
        }
        ASSERT_EQ(Zod("convert --force in.tvq").status, 0);
        EXPECT_EQ(Bmp24Pixel(Read("in.bmp"), 0, 0), AmplifiedColour(0xFFFF, c.factor)) << c.factor;
        EXPECT_EQ(ReadFileBytes(file), c.saved ? c.saved : "") << "never written";
        EXPECT_EQ(FileExists(file), c.saved != nullptr);
    }
}

TEST_F(ZodTvq, ExistingOutputIsReplacedOnlyWithForce) {
    const std::string longest = std::string(251, 'n') + ".bmp"; // as long as a name can be
    const struct {
        std::string args;
        int status;
        bool replaced;
        std::string target = "in.bmp";
    } cases[] = {
        {"convert in.tvq", 1, false},
        {"convert --to bmp in.tvq -o in.bmp", 1, false},
        {"convert --force in.tvq", 0, true},
        {"convert --force -o " + longest + " in.tvq", 0, true, longest},
    };
    Put("in.tvq", TvqBytes(2, 1, {1, 2}));
    for (const auto& c : cases) {
        Put(c.target, "precious");
        const Result result = Zod(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(Read(c.target) == "precious", !c.replaced);
        EXPECT_EQ(result.err.empty(), c.replaced) << result.err;
    }
}

TEST_F(ZodTvq, ABadInputIsNamedOnceAndTheOthersAreConverted) {
    const std::string good = TvqBytes(2, 2, {1, 2, 3, 4});
    const struct {
        std::string bytes; // empty: the file is missing
        std::string reason;
    } cases[] = {
        {"", "No such file"},
        {std::string(9, '\0'), "shorter than the size fields"},
        {TvqBytes(3, -1, {1}), "zero or negative size"}, // the other refusals: toolkit_test
    };
    for (const auto& c : cases) {
        Put("a.tvq", good);
        Put("c.tvq", good);
        unlink((work + "/bad.tvq").c_str());
        if (!c.bytes.empty())
            Put("bad.tvq", c.bytes);
        const Result result = Zod("convert --force a.tvq bad.tvq c.tvq");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("zod-tvq: bad.tvq: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_FALSE(FileExists(work + "/bad.bmp"));
        EXPECT_TRUE(FileExists(work + "/a.bmp") && FileExists(work + "/c.bmp"));
    }
}

TEST_F(ZodTvq, ExitStatusWordsAndOutputPlacesAsOnWindows) {
    for (const auto& [name, bytes] : CommandLineFiles())
        Put(name, bytes);
    mkdir((work + "/out").c_str(), 0700);
    for (const CommandLineCase& c : kCommandLineCases) {
        const Result result = Zod(c.args);
        EXPECT_EQ(result.status, c.status) << c.args << result.err;
        EXPECT_EQ(*c.says ? result.err.substr(0, strlen(c.says)) : result.err, c.says) << c.args;
        EXPECT_TRUE(!c.writes || FileExists(work + "/" + c.writes)) << c.args;
    }
}

TEST_F(ZodTvq, InfoReportsSizeAndTruncation) {
    Put("t.tvq", TvqBytes(3, 2, {1, 2, 3, 4}) + "x");
    EXPECT_EQ(Zod("info t.tvq").out, "t.tvq: 3 x 2, 5 of 6 pixel words, truncated\n");
    Put("odd.tvq", TvqBytes(1, 2, {1, 2}) + "x"); // a byte past the image is no pixel word
    EXPECT_EQ(Zod("info odd.tvq").out, "odd.tvq: 1 x 2, 2 of 2 pixel words\n");
    EXPECT_EQ(Zod("info --json t.tvq").out,
              "[\n  {\"file\": \"t.tvq\", \"width\": 3, \"height\": 2, \"words\": 5, "
              "\"claimed_words\": 6, \"truncated\": true, \"verdict\": \"plausible\", "
              "\"refusal\": null}\n]\n");
}

TEST_F(ZodTvq, AFailedWriteLeavesNoFileBehind) {
    Put("in.tvq", TvqBytes(300, 300, std::vector<uint16_t>(90000, 0x1234)));
    for (const char* format : {"bmp", "png"}) {
        const std::string output = std::string("in.") + format;
        for (const bool existing : {false, true}) {
            if (existing)
                Put(output, "old");
            const Result result = Zod(std::string("convert --force --to ") + format + " in.tvq", 8);
            EXPECT_EQ(result.status, 1);
            EXPECT_NE(result.err.find("in.tvq: cannot write"), std::string::npos) << result.err;
            EXPECT_EQ(Read(output), existing ? "old" : "");
            EXPECT_EQ(CountFilesIn(work), existing ? 2 : 1) << "no temporary file is left";
        }
        unlink((work + "/" + output).c_str());
    }
}

} // namespace
} // namespace zod::test
