// The TVQ loader module as other programs meet it: gdk-pixbuf's API and its thumbnailer,
// with the build tree's loaders cache and MIME database.
#include "tests/support/decoder_cases.h"
#include "tests/support/image_files.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace zod::test {
namespace {

const bool environmentSet =
    setenv("GDK_PIXBUF_MODULE_FILE", ZOD_LOADERS_CACHE, 1) == 0 &&
    setenv("XDG_DATA_DIRS", ZOD_DATA_DIR ":/usr/local/share:/usr/share", 1) == 0;

// An RGB image's width and its pixels as colour values, row by row; none for no image.
std::pair<int, std::vector<uint32_t>> Pixels(GdkPixbuf* pixbuf) {
    if (!pixbuf)
        return {0, {}};
    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels.size(); ++i) {
        const guchar* p = gdk_pixbuf_read_pixels(pixbuf) +
                          i / width * gdk_pixbuf_get_rowstride(pixbuf) + i % width * 3;
        pixels[i] = uint32_t(p[0] | p[1] << 8 | p[2] << 16);
    }
    g_object_unref(pixbuf);
    return {width, pixels};
}

// From a file named .tvq when `piece` is 0, else fed to a loader for the type in pieces of
// `piece` bytes. A refusal must give a reason.
std::pair<int, std::vector<uint32_t>> Load(const std::string& bytes, size_t piece) {
    TempDir dir;
    GError* error = nullptr;
    GdkPixbuf* pixbuf = nullptr;
    if (piece == 0) {
        WriteFileBytes(dir.File("image.tvq"), bytes);
        pixbuf = gdk_pixbuf_new_from_file(dir.File("image.tvq").c_str(), &error);
    } else {
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_mime_type("image/x-tvq", nullptr);
        int rows = 0; // reported as they arrive, each once
        auto count = +[](void*, int, int, int, int height, int* sum) { *sum += height; };
        g_signal_connect(loader, "area-updated", G_CALLBACK(count), &rows);
        bool ok = true;
        for (size_t at = 0; ok && at < bytes.size(); at += piece)
            ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(&bytes[at]),
                                         std::min(piece, bytes.size() - at), &error);
        if (gdk_pixbuf_loader_close(loader, ok ? &error : nullptr) && ok)
            pixbuf = GDK_PIXBUF(g_object_ref(gdk_pixbuf_loader_get_pixbuf(loader)));
        EXPECT_TRUE(!pixbuf || rows == gdk_pixbuf_get_height(pixbuf));
        g_object_unref(loader);
    }
    EXPECT_EQ(pixbuf == nullptr, error != nullptr);
    g_clear_error(&error);
    return Pixels(pixbuf);
}

TEST(PixbufLoader, DecodesAsTheViewerDrawsWithTheSavedFactor) {
    const auto cases = SavedFactorCases();
    for (const auto& c : cases) {
        TempDir dir;
        SettingsFolder settings(dir.path());
        std::filesystem::create_directories(dir.path() + "/zod-edozuv");
        if (c.saved)
            WriteFileBytes(settings.File(), c.saved);
        const int width = ReadLe16(BytesAt(c.file, 4));
        const std::vector<uint32_t> want = TvqPicture(c.file, c.factor);
        for (size_t piece : {0, 1, 7, 4096}) {
            SCOPED_TRACE(std::to_string(&c - &cases[0]) + ", pieces of " + std::to_string(piece));
            const auto [loadedWidth, pixels] = Load(c.file, piece);
            EXPECT_EQ(loadedWidth, width);
            EXPECT_TRUE(pixels == want);
            EXPECT_EQ(FileExists(settings.File()), c.saved != nullptr) << "never written";
        }
    }
}

TEST(PixbufLoader, RefusesWhatCannotBeAnImageAndBoundsWhatIsMissing) {
    for (const auto& c : DecodableCases())
        for (size_t piece : {7, 4096})
            EXPECT_EQ(Load(c.file, piece).first > 0, c.decoded)
                << c.file.size() << " bytes, pieces of " << piece;
    // Bytes without end after a whole image (a .tvq link to /dev/zero) stop the load.
    EXPECT_EQ(Load(TvqBytes(3, 3, NoiseWords(9)) + std::string(size_t(2) << 20, '\0'), 65536).first,
              0);
}

// Asked for a smaller size, the module makes it itself, sampled as every thumbnail is.
TEST(PixbufLoader, DecodesStraightToTheSizeAsked) {
    const std::string full = TvqBytes(600, 300, NoiseWords(600 * 300, 9));
    const std::string shortFile = TvqBytes(600, 300, NoiseWords(600 * 200 + 77, 9)) + '\x12';
    const struct {
        const std::string& file;
        int width, height;
    } cases[] = {{full, 256, 128},      {full, 64, 300},       {full, 1, 1},
                 {shortFile, 256, 128}, {shortFile, 600, 150}, {shortFile, 1000, 150}};
    TempDir dir;
    SettingsFolder settings(dir.path()); // no saved factor: 3
    for (const auto& c : cases) {
        for (size_t piece : {7, 5000, 1 << 20}) {
            SCOPED_TRACE(std::to_string(&c - cases) + ", pieces of " + std::to_string(piece));
            GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_mime_type("image/x-tvq", nullptr);
            gdk_pixbuf_loader_set_size(loader, c.width, c.height);
            bool ok = true;
            for (size_t at = 0; ok && at < c.file.size(); at += piece)
                ok = gdk_pixbuf_loader_write(loader, BytesAt(c.file, at),
                                             std::min(piece, c.file.size() - at), nullptr);
            ASSERT_TRUE(gdk_pixbuf_loader_close(loader, nullptr) && ok);
            const auto [width, pixels] =
                Pixels(GDK_PIXBUF(g_object_ref(gdk_pixbuf_loader_get_pixbuf(loader))));
            g_object_unref(loader);
            EXPECT_EQ(width, c.width);
            ASSERT_EQ(pixels.size(), size_t(c.width * c.height));
            if (c.width <= 600) { // larger is gdk-pixbuf's own enlarging
                EXPECT_TRUE(pixels ==
                            Resampled(TvqPicture(c.file, 3), 600, 300, c.width, c.height));
            }
        }
    }
}

// Over 2^24 pixels the pixbuf waits for enough words; asked small, it is small all the same.
TEST(PixbufLoader, DecodesALargeShortFileStraightToTheSizeAsked) {
    const std::vector<uint16_t> words = NoiseWords(5000 * 4000 / 64, 6); // rows 0 to 62
    TempDir dir;
    SettingsFolder settings(dir.path());
    WriteFileBytes(dir.File("large.tvq"), TvqBytes(5000, 4000, words));
    GdkPixbuf* pixbuf =
        gdk_pixbuf_new_from_file_at_size(dir.File("large.tvq").c_str(), 50, 40, nullptr);
    const auto [width, pixels] = Pixels(pixbuf);
    ASSERT_EQ(width, 50);
    ASSERT_EQ(pixels.size(), 50u * 40u);
    for (size_t i = 0; i < pixels.size(); ++i) { // row 0 samples row 50, the others are past
        const size_t word = i < 50 ? 50 * 5000 + (2 * i + 1) * 50 : words.size() - 1;
        ASSERT_EQ(pixels[i], AmplifiedColour(words[word], 3)) << i;
    }
}

TEST(PixbufThumbnailer, MakesThumbnailsOfTheRightSizeAndColours) {
    const uint16_t colours[] = {TvqWord(31, 0, 0), TvqWord(0, 31, 0), TvqWord(0, 0, 31),
                                TvqWord(20, 20, 10)};
    std::vector<uint16_t> words; // 2 x 2 blocks of 300 x 150, one colour each
    for (int i = 0; i < 600 * 300; ++i)
        words.push_back(colours[i / (600 * 150) * 2 + i % 600 / 300]);
    TempDir dir;
    SettingsFolder settings(dir.path()); // no saved factor: 3
    WriteFileBytes(dir.File("blocks.tvq"), TvqBytes(600, 300, words));
    for (int size : {256, 64}) {
        const std::string command = "env " ZOD_THUMBNAILER_ENV " gdk-pixbuf-thumbnailer -s " +
                                    std::to_string(size) + " " + dir.File("blocks.tvq") + " " +
                                    dir.File("thumb.png");
        ASSERT_EQ(std::system(command.c_str()), 0);
        const auto [width, pixels] =
            Pixels(gdk_pixbuf_new_from_file(dir.File("thumb.png").c_str(), nullptr));
        ASSERT_EQ(width, size);
        ASSERT_EQ(pixels.size(), size_t(size * size / 2));
        for (int b = 0; b < 4; ++b) { // the middle of each block
            const uint32_t got =
                pixels[size_t((1 + b / 2 * 2) * size / 8 * size + (1 + b % 2 * 2) * size / 4)];
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(got >> shift & 255, AmplifiedColour(colours[b], 3) >> shift & 255, 8)
                    << size << ", block " << b;
        }
    }
}

} // namespace
} // namespace zod::test
