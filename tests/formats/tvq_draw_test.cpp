#include "formats/tvq_draw.h"

#include "platform/hosts/headless.h"
#include "tests/support/gdi_helpers.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using zod::test::MemorySurface;
using zod::test::NoiseWords;
using zod::test::TvqPicture;

// Pre-fills surfaces to catch stray writes. No decoded pixel can look like it: at every
// factor used here, red is 0, 255 or a multiple of 3.
constexpr COLORREF kSentinel = RGB(1, 2, 4);

// A TVQ file whose unused header bytes are junk, to prove they are not read.
std::string Tvq(uint16_t width, uint16_t height, const std::vector<uint16_t>& words) {
    std::string bytes = zod::test::TvqBytes(int16_t(width), int16_t(height), words);
    for (size_t i : {0, 1, 2, 3, 6, 7})
        bytes[i] = '\xEE';
    return bytes.replace(10, 22, 22, '\xEE');
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

// Each file drawn on a surface larger than its picture: the picture and nothing else.
TEST_F(TvqReader, DrawsThePictureAndNothingElse) {
    const std::string fourByThree = Tvq(4, 3, NoiseWords(12));
    struct Case {
        std::string bytes;
        int32_t factor;
        int32_t width, height;
    } const cases[] = {
        // Bit 5 is not a channel; 31 x 9 saturates, 28 x 9 stays below it.
        {Tvq(3, 1, {0x0020, 0xFFFF, 0xE71C}), 9, 3, 1},
        {Tvq(1, 1, {0xFFFF}), -3, 1, 1},        // a settings file may hold "-3": no channel below 0
        {Tvq(1, 1, {0xFFFF}), INT32_MIN, 1, 1}, // no overflow
        {Tvq(2, 1, {0xFFFF, 0x1082}), INT32_MAX, 2, 1},
        {Tvq(0x8000, 2, NoiseWords(4)), 3, -32768, 2}, // signed: nothing to draw
        {"", 3, 0, 0},
        {fourByThree.substr(0, 9), 3, 0, 0},  // ends before the height field
        {fourByThree.substr(0, 32), 3, 4, 3}, // no pixel data
        // The last word, or a lone last byte as its low byte, colours every pixel from there.
        {fourByThree.substr(0, 32 + 2 * 5 + 1), 3, 4, 3},
        {fourByThree.substr(0, 32 + 2 * 7), 3, 4, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        MemorySurface surface(6, 4, kSentinel);
        ImageExtent extent = DrawTvqFile(Write(c.bytes).c_str(), surface.dc(), c.factor);
        EXPECT_EQ(std::pair(extent.width, extent.height), std::pair(c.width, c.height));
        const std::vector<uint32_t> picture = TvqPicture(c.bytes, c.factor);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(surface.Pixel(x, y), x < c.width && !picture.empty() && y < c.height
                                                   ? picture[size_t(y * c.width + x)]
                                                   : kSentinel)
                    << x << "," << y;
    }
}

// Drawing only what the clip box lets through must leave every surface as drawing every
// pixel would.
struct Image {
    int32_t width, height;
    std::string bytes;
};

std::vector<Image> ClipImages() {
    std::vector<Image> images;
    auto add = [&](int32_t width, int32_t height, size_t keepBytes) {
        std::string bytes =
            Tvq(uint16_t(width), uint16_t(height), NoiseWords(size_t(width) * size_t(height)));
        images.push_back(Image{width, height, bytes.substr(0, 32 + keepBytes)});
    };
    add(37, 23, 2 * (37 * 14 + 3) + 1); // ends mid-word
    add(9000, 3, 2 * (9000 + 4500));    // rows far apart in the file, short data
    add(400, 400, 2 * 400 * 400);       // several blocks
    return images;
}

// Image pixel (x, y) as its picture has it; outside the image, the sentinel left untouched.
COLORREF Want(const Image& image, const std::vector<uint32_t>& picture, int x, int y) {
    if (x >= image.width || y >= image.height)
        return kSentinel;
    return picture[size_t(y) * size_t(image.width) + size_t(x)];
}

TEST_F(TvqReader, ClippedDrawingMatchesThePicture) {
    host_.emplace(20, 12);
    // Hangs over the screen's top-left corner, so its clip box starts at (5, 3).
    HWND window = zod::test::PlainWindow(WS_POPUP | WS_VISIBLE, -5, -3, 30, 20);
    HDC screen = GetDC(nullptr);
    for (const Image& image : ClipImages()) {
        SCOPED_TRACE(testing::Message() << image.width << " x " << image.height);
        const std::string path = Write(image.bytes);
        const std::vector<uint32_t> picture = TvqPicture(image.bytes, 3);
        for (auto [w, h] : {std::pair{10, 7}, {50, 3}, {5, 30}}) {
            MemorySurface small(w, h, kSentinel);
            ImageExtent extent = DrawTvqFile(path.c_str(), small.dc(), 3);
            EXPECT_EQ(std::pair(extent.width, extent.height), std::pair(image.width, image.height));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(small.Pixel(x, y), Want(image, picture, x, y)) << x << "," << y;
        }
        zod::test::FillDc(screen, 20, 12, [](int, int) { return kSentinel; });
        HDC windowDc = GetDC(window);
        DrawTvqFile(path.c_str(), windowDc, 3);
        ReleaseDC(window, windowDc);
        // Window (x, y) is screen (x - 5, y - 3).
        zod::test::ExpectScreen(20, 12,
                                [&](int x, int y) { return Want(image, picture, x + 5, y + 3); });
    }
    ReleaseDC(nullptr, screen);
    DestroyWindow(window);
}

} // namespace
