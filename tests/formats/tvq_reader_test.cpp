#include "formats/tvq_reader.h"

#include "platform/hosts/headless.h"
#include "tests/support/gdi_helpers.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using zod::test::AmplifiedColour;
using zod::test::MemorySurface;

// Pre-fills surfaces to catch stray writes. Factor 3, used wherever surfaces are compared,
// gives only multiples of 3, so no decoded pixel can look like it.
constexpr COLORREF kSentinel = RGB(1, 2, 4);

// A TVQ file whose unused header bytes are junk, to prove they are not read.
std::string Tvq(uint16_t width, uint16_t height, const std::vector<uint16_t>& words) {
    std::string bytes = zod::test::TvqBytes(int16_t(width), int16_t(height), words);
    for (size_t i : {0, 1, 2, 3, 6, 7})
        bytes[i] = '\xEE';
    return bytes.replace(10, 22, 22, '\xEE');
}

std::vector<uint16_t> PatternWords(size_t count) {
    std::vector<uint16_t> words(count);
    uint32_t state = 7;
    for (auto& word : words)
        word = uint16_t((state = state * 1103515245u + 12345u) >> 12);
    return words;
}

class TvqReader : public testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(zod::LiveResourceHandles(), 0); }

    std::string Write(const std::string& bytes) {
        std::string path = dir_.File("image.tvq");
        zod::test::WriteFileBytes(path, bytes);
        return path;
    }

    std::optional<zod::HeadlessHost> host_{std::in_place, 64, 48};
    zod::test::TempDir dir_;
};

TEST_F(TvqReader, DecodesWordsAtEachFactor) {
    struct Case {
        uint16_t word;
        int32_t factor;
        COLORREF expected;
    } cases[] = {
        {0x0020, 8, RGB(0, 0, 0)},       // bit 5 is not a channel
        {0xFFFF, 9, RGB(255, 255, 255)}, // 279 saturates
        {0xE71C, 9, RGB(252, 252, 252)}, // 252 stays below it
        {0xFFFF, -3, RGB(0, 0, 0)},      // a settings file may hold "-3": no channel below 0
        {0xFFFF, INT32_MIN, RGB(0, 0, 0)}, {0xF800, INT32_MAX, RGB(255, 0, 0)}, // no overflow
    };
    for (const Case& c : cases) {
        MemorySurface surface(2, 2, kSentinel);
        DrawTvqFile(Write(Tvq(1, 1, {c.word})).c_str(), surface.dc(), c.factor);
        EXPECT_EQ(surface.Pixel(0, 0), c.expected) << std::hex << c.word << " x" << c.factor;
        EXPECT_EQ(surface.Pixel(1, 0), kSentinel);
        EXPECT_EQ(surface.Pixel(0, 1), kSentinel);
    }
}

TEST_F(TvqReader, HeadersAndShortFiles) {
    const std::string twoByOne = Tvq(2, 1, {0xF800, 0x001F});
    const std::vector<uint16_t> w = PatternWords(12);
    const std::string fourByThree = Tvq(4, 3, w);
    const COLORREF none = kSentinel;
    struct Spot {
        int x, y;
        COLORREF colour;
    };
    struct Case {
        std::string bytes;
        int32_t width, height;
        std::vector<Spot> spots;
    } const cases[] = {
        {Tvq(0x8000, 2, w), -32768, 2, {{0, 0, none}}}, // signed: nothing to draw
        {"", 0, 0, {}},
        {twoByOne.substr(0, 9), 0, 0, {}},              // ends before the height field
        {twoByOne.substr(0, 32), 2, 1, {{0, 0, none}}}, // no pixel data
        // The last word, or a lone last byte as its low byte, colours every pixel from there.
        {fourByThree.substr(0, 32 + 2 * 5 + 1),
         4,
         3,
         {{0, 1, AmplifiedColour(w[4], 3)},
          {1, 1, AmplifiedColour(w[5] & 0xFF, 3)},
          {3, 2, AmplifiedColour(w[5] & 0xFF, 3)}}},
        {fourByThree.substr(0, 32 + 2 * 7),
         4,
         3,
         {{2, 1, AmplifiedColour(w[6], 3)}, {3, 2, AmplifiedColour(w[6], 3)}, {4, 0, none}}},
    };
    for (const Case& c : cases) {
        const int row = int(&c - cases);
        MemorySurface surface(6, 4, kSentinel);
        ImageExtent extent = DrawTvqFile(Write(c.bytes).c_str(), surface.dc(), 3);
        EXPECT_EQ(extent.width, c.width) << row;
        EXPECT_EQ(extent.height, c.height) << row;
        for (const Spot& s : c.spots)
            EXPECT_EQ(surface.Pixel(s.x, s.y), s.colour) << row << ": " << s.x << "," << s.y;
    }
    MemorySurface surface(2, 2, kSentinel);
    ImageExtent extent = DrawTvqFile(dir_.File("absent.tvq").c_str(), surface.dc(), 3);
    EXPECT_EQ(std::pair(extent.width, extent.height), std::pair(0, 0));
    EXPECT_EQ(surface.Pixel(0, 0), kSentinel);
}

// Drawing only what the clip box lets through must leave every surface exactly as drawing
// every pixel does: the reference is the same file drawn on a bitmap larger than it.
struct Image {
    int32_t width, height;
    std::string bytes;
};

std::vector<Image> ClipImages() {
    std::vector<Image> images;
    auto add = [&](int32_t width, int32_t height, size_t keepBytes) {
        std::string bytes =
            Tvq(uint16_t(width), uint16_t(height), PatternWords(size_t(width) * size_t(height)));
        images.push_back(Image{width, height, bytes.substr(0, 32 + keepBytes)});
    };
    add(37, 23, 2 * (37 * 14 + 3) + 1); // ends mid-word
    add(9000, 3, 2 * (9000 + 4500));    // rows far apart in the file, short data
    add(400, 400, 2 * 400 * 400);       // several blocks
    return images;
}

// Compares what `read` shows at image (x, y), for x < width and y < height, with the
// reference; `read` gives nothing where the surface cannot show the pixel.
void ExpectSameAsReference(const MemorySurface& reference, int refWidth, int refHeight,
                           const std::function<std::optional<COLORREF>(int, int)>& read, int width,
                           int height) {
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::optional<COLORREF> drawn = read(x, y);
            const COLORREF want = x < refWidth && y < refHeight ? reference.Pixel(x, y) : kSentinel;
            if (drawn && *drawn != want && ++wrong <= 5)
                ADD_FAILURE() << "(" << x << ", " << y << ") is " << std::hex << *drawn
                              << ", expected " << want;
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(TvqReader, ClippedDrawingMatchesTheWholeDrawing) {
    host_.emplace(20, 12);
    // Hangs over the screen's top-left corner, so its clip box starts at (5, 3).
    HWND window = zod::test::PlainWindow(WS_POPUP | WS_VISIBLE, -5, -3, 30, 20);
    HDC screen = GetDC(nullptr);
    for (const Image& image : ClipImages()) {
        SCOPED_TRACE(testing::Message() << image.width << " x " << image.height);
        const std::string path = Write(image.bytes);
        const int refWidth = std::min(image.width, 1000) + 2, refHeight = image.height + 2;
        MemorySurface reference(refWidth, refHeight, kSentinel);
        DrawTvqFile(path.c_str(), reference.dc(), 3);
        for (auto [w, h] : {std::pair{10, 7}, {50, 3}, {5, 30}}) {
            MemorySurface small(w, h, kSentinel);
            ImageExtent extent = DrawTvqFile(path.c_str(), small.dc(), 3);
            EXPECT_EQ(std::pair(extent.width, extent.height), std::pair(image.width, image.height));
            ExpectSameAsReference(
                reference, refWidth, refHeight,
                [&](int x, int y) { return std::optional<COLORREF>(small.Pixel(x, y)); }, w, h);
        }
        zod::test::FillDc(screen, 20, 12, [](int, int) { return kSentinel; });
        HDC windowDc = GetDC(window);
        DrawTvqFile(path.c_str(), windowDc, 3);
        ReleaseDC(window, windowDc);
        ExpectSameAsReference( // window (x, y) is screen (x - 5, y - 3)
            reference, refWidth, refHeight,
            [](int x, int y) -> std::optional<COLORREF> {
                if (x < 5 || y < 3)
                    return std::nullopt;
                return zod::ScreenPixel(x - 5, y - 3);
            },
            25, 15);
    }
    ReleaseDC(nullptr, screen);
    DestroyWindow(window);
}

// A header that claims 32767 x 32767 pixels costs only what the surface can show. ctest's
// timeout is the guard here, not a timed assertion.
TEST_F(TvqReader, HugeHeaderOnTinyFileDrawsOnlyTheVisiblePart) {
    host_.emplace(640, 480);
    HDC screen = GetDC(nullptr);
    zod::test::FillDc(screen, 640, 480, [](int, int) { return kSentinel; });
    ImageExtent extent = DrawTvqFile(Write(Tvq(0x7FFF, 0x7FFF, {})).c_str(), screen, 3);
    EXPECT_EQ(extent.width, 32767);
    EXPECT_EQ(extent.height, 32767);
    EXPECT_EQ(zod::ScreenPixel(0, 0), kSentinel);
    DrawTvqFile(Write(Tvq(0x7FFF, 0x7FFF, {0x07C0})).c_str(), screen, 3);
    for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {320, 240}, {639, 479}})
        EXPECT_EQ(zod::ScreenPixel(x, y), RGB(0, 93, 0)) << x << "," << y;
    ReleaseDC(nullptr, screen);
}

} // namespace
