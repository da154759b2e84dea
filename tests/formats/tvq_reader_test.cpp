#include "formats/tvq_reader.h"

#include "platform/hosts/headless.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using zod::test::TempDir;
using zod::test::WriteFileBytes;

// Pre-fills surfaces to catch stray writes. Factor 3, used wherever whole surfaces are
// compared, gives only multiples of 3, so no decoded pixel can look like it.
constexpr COLORREF kSentinel = RGB(1, 2, 4);

std::string Le16(uint32_t value) {
    return std::string{char(value & 0xFF), char((value >> 8) & 0xFF)};
}

// A TVQ file: the size fields as raw 16-bit values, the unused header bytes filled with
// junk to prove they are not read, then the words.
std::string TvqBytes(uint32_t width, uint32_t height, const std::vector<uint16_t>& words) {
    std::string bytes = "\xA5\x5A\xC3\x3C" + Le16(width) + "\xFF\xFF" + Le16(height);
    bytes += std::string(22, '\xEE');
    for (uint16_t word : words)
        bytes += Le16(word);
    return bytes;
}

std::vector<uint16_t> PatternWords(size_t count, uint32_t seed = 1) {
    std::vector<uint16_t> words(count);
    uint32_t state = seed;
    for (auto& word : words) {
        state = state * 1103515245u + 12345u;
        word = uint16_t(state >> 12);
    }
    return words;
}

// What the image holds at (x, y), worked out from the bytes alone: what drawing every
// pixel of the file would leave there, or nothing when that pixel is not drawn.
std::optional<COLORREF> ExpectedPixel(const std::string& file, int32_t factor, int64_t x,
                                      int64_t y) {
    auto byteAt = [&](size_t i) { return uint8_t(file[i]); };
    if (file.size() <= 32)
        return std::nullopt;
    int32_t width = int16_t(byteAt(4) | byteAt(5) << 8);
    int32_t height = int16_t(byteAt(8) | byteAt(9) << 8);
    if (x < 0 || y < 0 || x >= width || y >= height)
        return std::nullopt;
    size_t lastWord = 32 + 2 * ((file.size() - 33) / 2);
    size_t at = std::min<size_t>(32 + 2 * size_t(y * width + x), lastWord);
    uint16_t word = uint16_t(byteAt(at) | (at + 1 < file.size() ? byteAt(at + 1) << 8 : 0));
    auto amplify = [factor](int channel) {
        int64_t v = int64_t(channel) * factor;
        return int(std::clamp<int64_t>(v, 0, 255));
    };
    return RGB(amplify(word >> 11), amplify((word >> 6) & 31), amplify(word & 31));
}

// A memory device context with its own bitmap, pre-filled with the sentinel.
class MemorySurface {
  public:
    MemorySurface(int width, int height) : width_(width), height_(height) {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        EXPECT_NE(old_, nullptr);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                SetPixel(dc_, x, y, kSentinel);
    }
    ~MemorySurface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;
    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

class TvqReaderTest : public testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(zod::LiveResourceHandles(), liveAtStart_); }

    // A fresh virtual screen of this size, for tests that draw on the screen.
    void UseScreen(int width, int height) {
        host_.reset();
        host_.emplace(width, height);
        liveAtStart_ = zod::LiveResourceHandles();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = dir_.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }

    // Every pixel of the surface holds what drawing the whole file would leave there,
    // and the sentinel where the image does not reach.
    void ExpectDrawn(const MemorySurface& surface, const std::string& file, int32_t factor) {
        int wrong = 0;
        for (int y = 0; y < surface.height(); ++y) {
            for (int x = 0; x < surface.width(); ++x) {
                COLORREF expected = ExpectedPixel(file, factor, x, y).value_or(kSentinel);
                if (surface.Pixel(x, y) != expected && ++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex
                                  << surface.Pixel(x, y) << ", expected " << expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }

    std::optional<zod::HeadlessHost> host_{std::in_place, 64, 48};
    TempDir dir_;
    int liveAtStart_ = zod::LiveResourceHandles();
};

TEST_F(TvqReaderTest, DecodesWordsAtEachFactor) {
    struct Case {
        uint16_t word;
        int32_t factor;
        COLORREF expected;
    } cases[] = {
        {0xFFFF, 8, RGB(248, 248, 248)},     {0xFFFF, 3, RGB(93, 93, 93)},
        {0xF800, 2, RGB(62, 0, 0)},          {0x07C0, 2, RGB(0, 62, 0)},
        {0x001F, 2, RGB(0, 0, 62)},          {0x0020, 8, RGB(0, 0, 0)}, // bit 5 is not a channel
        {0x0020, 100, RGB(0, 0, 0)},         {0xF83F, 1, RGB(31, 0, 31)},
        {0x0883, 4, RGB(4, 8, 12)},      // channels 1, 2, 3 keep their places
        {0xFFFF, 9, RGB(255, 255, 255)}, // 279 saturates
        {0xE71C, 9, RGB(252, 252, 252)}, // 28 x 9 = 252 stays below the limit
        {0x0883, 100, RGB(100, 200, 255)},   {0xFFFF, 0, RGB(0, 0, 0)},
        {0xFFFF, -1, RGB(0, 0, 0)},          {0xFFFF, INT32_MIN, RGB(0, 0, 0)},
        {0xF800, INT32_MAX, RGB(255, 0, 0)}, // no overflow into the other channels
        {0x0000, INT32_MAX, RGB(0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << "word 0x" << c.word << std::dec << " factor " << c.factor);
        std::string path = Write("one.tvq", TvqBytes(1, 1, {c.word}));
        MemorySurface surface(3, 2);
        ImageExtent extent = DrawTvqFile(path.c_str(), surface.dc(), c.factor);
        EXPECT_EQ(extent.width, 1);
        EXPECT_EQ(extent.height, 1);
        EXPECT_EQ(surface.Pixel(0, 0), c.expected);
        EXPECT_EQ(surface.Pixel(1, 0), kSentinel);
        EXPECT_EQ(surface.Pixel(0, 1), kSentinel);
    }
}

TEST_F(TvqReaderTest, HeadersAndShortFilesGiveTheseExtentsAndPixels) {
    const std::string twoByOne = TvqBytes(2, 1, {0xF800, 0x001F});
    const std::string fourByThree = TvqBytes(4, 3, PatternWords(12));
    struct Case {
        const char* name;
        std::string bytes;
        int32_t width;
        int32_t height;
    } cases[] = {
        {"exactly the promised words: one row, not two", twoByOne, 2, 1},
        {"more words than needed", TvqBytes(3, 2, PatternWords(40)), 3, 2},
        {"width 640 from bytes 0x80 0x02", TvqBytes(0x0280, 1, PatternWords(640)), 640, 1},
        {"width 0x8000 is -32768", TvqBytes(0x8000, 2, PatternWords(8)), -32768, 2},
        {"width 0xFFFF is -1", TvqBytes(0xFFFF, 2, PatternWords(8)), -1, 2},
        {"negative height draws no row", TvqBytes(3, 0xFFFE, PatternWords(8)), 3, -2},
        {"height 0 draws nothing", TvqBytes(2, 0, PatternWords(8)), 2, 0},
        {"width 0 draws nothing", TvqBytes(0, 3, PatternWords(8)), 0, 3},
        {"empty file", "", 0, 0},
        {"ends before the height field", twoByOne.substr(0, 9), 0, 0},
        {"ends after the height field", twoByOne.substr(0, 10), 2, 1},
        {"ends inside the header", twoByOne.substr(0, 31), 2, 1},
        {"ends before the first word", twoByOne.substr(0, 32), 2, 1},
        {"one byte of pixels is a whole word", twoByOne.substr(0, 33), 2, 1},
        {"ends inside a word", fourByThree.substr(0, 32 + 2 * 5 + 1), 4, 3},
        {"short pixel data repeats the last word", fourByThree.substr(0, 32 + 2 * 7), 4, 3},
        {"one word fills the image", fourByThree.substr(0, 34), 4, 3},
        {"only the last pixel is past the end", fourByThree.substr(0, 32 + 2 * 11), 4, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Write("case.tvq", c.bytes);
        MemorySurface surface(40, 6);
        ImageExtent extent = DrawTvqFile(path.c_str(), surface.dc(), 3);
        EXPECT_EQ(extent.width, c.width);
        EXPECT_EQ(extent.height, c.height);
        ExpectDrawn(surface, c.bytes, 3);
    }
}

TEST_F(TvqReaderTest, ShortFileRepeatsTheLastWordAndUsesALoneByteAsItsLowByte) {
    // Words 0xF800 and then the lone byte 0x1F: everything after the first pixel is blue.
    std::string path = Write("short.tvq", TvqBytes(3, 2, {0xF800}) + "\x1F");
    MemorySurface surface(4, 3);
    DrawTvqFile(path.c_str(), surface.dc(), 8);
    EXPECT_EQ(surface.Pixel(0, 0), RGB(248, 0, 0));
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(surface.Pixel(i % 3, i / 3), RGB(0, 0, 248)) << i;
    EXPECT_EQ(surface.Pixel(0, 2), kSentinel);
}

TEST_F(TvqReaderTest, MissingFileDrawsNothing) {
    MemorySurface surface(4, 4);
    ImageExtent extent = DrawTvqFile(dir_.File("absent.tvq").c_str(), surface.dc(), 3);
    EXPECT_EQ(extent.width, 0);
    EXPECT_EQ(extent.height, 0);
    ExpectDrawn(surface, "", 3);
}

// SetPixel remembers the context it last drew on, to keep per-pixel drawing cheap; a
// deleted context must never be drawn through.
TEST_F(TvqReaderTest, SetPixelNeverReachesADeletedContext) {
    auto first = std::make_unique<MemorySurface>(4, 4);
    HDC stale = first->dc();
    EXPECT_EQ(SetPixel(stale, 1, 1, RGB(9, 9, 9)), RGB(9, 9, 9));
    first.reset();
    EXPECT_EQ(SetPixel(stale, 1, 1, RGB(9, 9, 9)), CLR_INVALID);
    MemorySurface second(4, 4); // may take the freed slot
    EXPECT_EQ(SetPixel(stale, 2, 2, RGB(9, 9, 9)), CLR_INVALID);
    EXPECT_EQ(second.Pixel(2, 2), kSentinel);
    EXPECT_EQ(SetPixel(second.dc(), 2, 2, RGB(6, 6, 6)), RGB(6, 6, 6));
    HDC kept = second.dc();
    UseScreen(8, 8); // a new host drops every handle
    EXPECT_EQ(SetPixel(kept, 2, 2, RGB(9, 9, 9)), CLR_INVALID);
}

// The same context drawn on again after another bitmap is selected into it: the drawing
// must follow the new bitmap and leave the old one alone.
TEST_F(TvqReaderTest, DrawingFollowsTheBitmapSelectedIntoTheContext) {
    const std::string bytes = TvqBytes(9, 7, PatternWords(63));
    std::string path = Write("a.tvq", bytes);
    MemorySurface surface(3, 2);
    HDC screen = GetDC(nullptr);
    HBITMAP larger = CreateCompatibleBitmap(screen, 12, 9);
    ReleaseDC(nullptr, screen);
    DrawTvqFile(path.c_str(), surface.dc(), 3);
    HGDIOBJ small = SelectObject(surface.dc(), larger);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            SetPixel(surface.dc(), x, y, kSentinel);
    DrawTvqFile(path.c_str(), surface.dc(), 3);
    int wrong = 0;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            wrong += surface.Pixel(x, y) != ExpectedPixel(bytes, 3, x, y).value_or(kSentinel);
    EXPECT_EQ(wrong, 0);
    SelectObject(surface.dc(), small);
    DeleteObject(larger);
    EXPECT_EQ(surface.Pixel(2, 1), *ExpectedPixel(bytes, 3, 2, 1));
}

// Drawing only what the clip box lets through must leave every surface exactly as drawing
// every pixel does. The reference is the same file drawn on a bitmap larger than it.
class TvqClippingTest : public TvqReaderTest {
  protected:
    struct Image {
        const char* name;
        int32_t width;
        int32_t height;
        std::string bytes;
    };

    static std::vector<Image> Images() {
        std::vector<Image> images;
        auto add = [&](const char* name, int32_t width, int32_t height, size_t keepWords,
                       bool loneByte = false) {
            std::string bytes = TvqBytes(uint32_t(width), uint32_t(height),
                                         PatternWords(size_t(width) * size_t(height), 7));
            bytes.resize(32 + 2 * keepWords + (loneByte ? 1 : 0));
            images.push_back(Image{name, width, height, bytes});
        };
        add("complete", 37, 23, 37 * 23);
        add("ends mid-image", 37, 23, 37 * 9 + 11);
        add("ends mid-word", 37, 23, 37 * 14 + 3, true);
        add("one word", 37, 23, 1);
        add("wide and sparse", 9000, 3, 9000 * 3); // rows far apart in the file
        add("wide, short data", 9000, 3, 9000 + 4500);
        add("several blocks", 400, 400, 400 * 400);
        return images;
    }

    // Reads the drawn surface at image coordinates (x, y); nothing where it cannot show.
    using Reader = std::function<std::optional<COLORREF>(int x, int y)>;

    void ExpectSameAsReference(const Image& image, const MemorySurface& reference,
                               const Reader& read, int width, int height) {
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::optional<COLORREF> drawn = read(x, y);
                if (!drawn)
                    continue;
                COLORREF expected = x < reference.width() && y < reference.height()
                                        ? reference.Pixel(x, y)
                                        : kSentinel;
                if (*drawn != expected && ++wrong <= 5)
                    ADD_FAILURE() << image.name << ": (" << x << ", " << y << ") is " << std::hex
                                  << *drawn << ", expected " << expected;
            }
        }
        EXPECT_EQ(wrong, 0) << image.name;
    }
};

TEST_F(TvqClippingTest, SmallerBitmapsMatchTheWholeDrawing) {
    const int sizes[][2] = {{1, 1}, {10, 7}, {37, 5}, {5, 23}, {36, 22}, {50, 3}};
    for (const Image& image : Images()) {
        std::string path = Write("image.tvq", image.bytes);
        const int refWidth = std::min(image.width, 1000) + 2;
        MemorySurface reference(refWidth, image.height + 2);
        DrawTvqFile(path.c_str(), reference.dc(), 3);
        if (image.width <= 1000)
            ExpectDrawn(reference, image.bytes, 3);
        for (const auto& size : sizes) {
            MemorySurface small(size[0], size[1]);
            ImageExtent extent = DrawTvqFile(path.c_str(), small.dc(), 3);
            EXPECT_EQ(extent.width, image.width);
            EXPECT_EQ(extent.height, image.height);
            ExpectSameAsReference(
                image, reference,
                [&](int x, int y) { return std::optional<COLORREF>(small.Pixel(x, y)); }, size[0],
                size[1]);
        }
    }
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(TvqClippingTest, ScreenAndWindowContextsMatchTheWholeDrawing) {
    UseScreen(20, 12);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.lpszClassName = "TvqClipTest";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    // Hangs over the screen's top-left corner, so its clip box starts at (5, 3).
    HWND window = CreateWindowExA(0, "TvqClipTest", "", WS_POPUP | WS_VISIBLE, -5, -3, 30, 20,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    HDC screen = GetDC(nullptr);
    auto fillScreen = [&] {
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x)
                SetPixel(screen, x, y, kSentinel);
    };
    for (const Image& image : Images()) {
        std::string path = Write("image.tvq", image.bytes);
        const int refWidth = std::min(image.width, 1000) + 2;
        MemorySurface reference(refWidth, image.height + 2);
        DrawTvqFile(path.c_str(), reference.dc(), 3);

        fillScreen();
        DrawTvqFile(path.c_str(), screen, 3);
        ExpectSameAsReference(
            image, reference,
            [](int x, int y) { return std::optional<COLORREF>(zod::ScreenPixel(x, y)); }, 20, 12);

        fillScreen();
        HDC windowDc = GetDC(window);
        RECT clip{};
        GetClipBox(windowDc, &clip);
        EXPECT_EQ(clip.left, 5);
        EXPECT_EQ(clip.top, 3);
        ImageExtent extent = DrawTvqFile(path.c_str(), windowDc, 3);
        EXPECT_EQ(extent.width, image.width);
        ReleaseDC(window, windowDc);
        // Window (x, y) is screen (x - 5, y - 3).
        ExpectSameAsReference(
            image, reference,
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
TEST_F(TvqReaderTest, HugeHeaderOnTinyFileDrawsOnlyTheVisiblePart) {
    UseScreen(640, 480);
    const std::string header = TvqBytes(0x7FFF, 0x7FFF, {});
    const std::string withWord = TvqBytes(0x7FFF, 0x7FFF, {0x07C0});
    HDC screen = GetDC(nullptr);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            SetPixel(screen, x, y, kSentinel);

    ImageExtent extent = DrawTvqFile(Write("header.tvq", header).c_str(), screen, 3);
    EXPECT_EQ(extent.width, 32767);
    EXPECT_EQ(extent.height, 32767);
    EXPECT_EQ(zod::ScreenPixel(0, 0), kSentinel);
    EXPECT_EQ(zod::ScreenPixel(639, 479), kSentinel);

    extent = DrawTvqFile(Write("word.tvq", withWord).c_str(), screen, 3);
    EXPECT_EQ(extent.width, 32767);
    EXPECT_EQ(extent.height, 32767);
    int green = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            green += zod::ScreenPixel(x, y) == RGB(0, 93, 0);
    EXPECT_EQ(green, 640 * 480);
    ReleaseDC(nullptr, screen);
}

} // namespace
