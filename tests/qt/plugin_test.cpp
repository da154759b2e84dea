// The Qt plugin as Qt programs meet it: QImageReader with the build tree's plugin folder,
// no display.
#include "tests/support/decoder_cases.h"
#include "tests/support/image_files.h"
#include "tests/support/settings_env.h"
#include "tests/support/temp_dir.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace zod::test {
namespace {

const bool environmentSet = setenv("QT_PLUGIN_PATH", ZOD_QT_PLUGIN_DIR, 1) == 0 &&
                            setenv("QT_QPA_PLATFORM", "offscreen", 1) == 0;

// The image's width and its pixels as colour values (COLORREF), row by row.
std::pair<int, std::vector<uint32_t>> Pixels(const QImage& image) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb rgb = image.pixel(x, y);
            pixels.push_back(uint32_t(qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16));
        }
    return {image.width(), pixels};
}

// The file, named `name` in a fresh folder, read by QImageReader from its name, at
// `scaled` when that is valid.
std::pair<int, std::vector<uint32_t>> Read(const std::string& bytes, QSize scaled = {},
                                           const char* name = "image.tvq") {
    TempDir dir;
    WriteFileBytes(dir.File(name), bytes);
    QImageReader reader(QString::fromStdString(dir.File(name)));
    if (scaled.isValid())
        reader.setScaledSize(scaled);
    return Pixels(reader.read());
}

// A pipe that never ends: the bytes of `file`, then the same bytes again, forever.
class EndlessPipe : public QIODevice {
  public:
    explicit EndlessPipe(std::string file) : file_(std::move(file)) { open(ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 consumed() const { return at_; }

  protected:
    qint64 readData(char* data, qint64 size) override {
        for (qint64 i = 0; i < size; ++i, ++at_)
            data[i] = file_[size_t(at_ % qint64(file_.size()))];
        return size;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    std::string file_;
    qint64 at_ = 0;
};

class QtPlugin : public testing::Test {
  protected:
    QtPlugin() { std::filesystem::create_directories(dir_.path() + "/zod-edozuv"); }
    TempDir dir_;
    SettingsFolder settings_{dir_.path()};
};

TEST_F(QtPlugin, IsFoundByTypeAndNameOnly) {
    EXPECT_TRUE(QImageReader::supportedImageFormats().contains("tvq"));
    EXPECT_TRUE(QImageReader::supportedMimeTypes().contains("image/x-tvq"));
    const std::string tvq = TvqBytes(2, 2, NoiseWords(4));
    EXPECT_EQ(Read(tvq, {}, "UPPER.TVQ").first, 2);
    EXPECT_EQ(Read(tvq, {}, "image.raw").first, 0) << "no signature: never guessed from bytes";
    QByteArray bytes = QByteArray::fromStdString(tvq);
    QBuffer buffer(&bytes);
    EXPECT_EQ(QImageReader(&buffer).read().width(), 0);
    EXPECT_EQ(QImageReader(&buffer, "tvq").read().width(), 2) << "a device read as tvq";
    EXPECT_EQ(QImageReader::imageFormat(&buffer), QByteArray());
}

// KDE's image thumbnailer (kio-extras) reads every image/* file this way: the format from
// the content alone. A file named .tvq is still ours; no other file is.
TEST_F(QtPlugin, IsFoundByNameWhenTheFormatComesFromTheContent) {
    auto read = [](const std::string& path) {
        QImageReader reader(QString::fromStdString(path), QByteArray());
        reader.setDecideFormatFromContent(true);
        reader.setAutoTransform(true);
        return reader.read();
    };
    const std::string tvq = TvqBytes(3, 1, {0xFFFF, 0x0020, 0xF800});
    WriteFileBytes(dir_.File("a.tvq"), tvq);
    WriteFileBytes(dir_.File("a.dat"), tvq);
    EXPECT_TRUE(Pixels(read(dir_.File("a.tvq"))).second == TvqPicture(tvq, 3));
    EXPECT_TRUE(read(dir_.File("a.dat")).isNull());
    QImage png(2, 2, QImage::Format_RGB32);
    png.fill(qRgb(10, 20, 30));
    ASSERT_TRUE(png.save(QString::fromStdString(dir_.File("b.png")), "png"));
    const QImage back = read(dir_.File("b.png"));
    EXPECT_EQ(back.pixel(1, 1), qRgb(10, 20, 30)) << "another format's file stays its own";
}

TEST_F(QtPlugin, DecodesAsTheViewerDrawsWithTheSavedFactor) {
    const auto cases = SavedFactorCases();
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - &cases[0]);
        std::filesystem::remove(settings_.File());
        if (c.saved)
            WriteFileBytes(settings_.File(), c.saved);
        const auto [width, pixels] = Read(c.file);
        EXPECT_EQ(width, ReadLe16(BytesAt(c.file, 4)));
        EXPECT_TRUE(pixels == TvqPicture(c.file, c.factor));
        EXPECT_EQ(FileExists(settings_.File()), c.saved != nullptr) << "never written";
    }
}

TEST_F(QtPlugin, ReadsFromAPipeOnlyWhatTheImageNeeds) {
    const std::string tvq = TvqBytes(40, 30, NoiseWords(1200, 8));
    EndlessPipe pipe(tvq);
    QImageReader reader(&pipe, "tvq");
    reader.setScaledSize(QSize(20, 15));
    EXPECT_TRUE(Pixels(reader.read()).second == Resampled(TvqPicture(tvq, 3), 40, 30, 20, 15));
    EXPECT_LE(pipe.consumed(), qint64(tvq.size()) + 65536) << "no more than a read ahead";
    EndlessPipe zeros(std::string(1, '\0'));
    EXPECT_TRUE(QImageReader(&zeros, "tvq").read().isNull()) << "a size of 0 x 0";
}

TEST_F(QtPlugin, RefusesWhatCannotBeAnImage) {
    for (const auto& c : DecodableCases())
        EXPECT_EQ(Read(c.file, QSize(64, 64)).first > 0, c.decoded) << c.file.size() << " bytes";
    EXPECT_EQ(Read("", {}).first, 0) << "empty";
    EXPECT_EQ(Read(TvqBytes(3, 3, NoiseWords(9)), QSize(26000, 26000)).first, 0)
        << "a size asked past the pixel limit (2 GB)";
}

TEST_F(QtPlugin, GivesTheSizeAndDecodesStraightToTheSizeAsked) {
    const std::string blocks = TvqBytes(600, 300, NoiseWords(600 * 300, 9));
    const std::string shortFile = TvqBytes(600, 300, NoiseWords(600 * 200 + 77, 9)) + '\x12';
    const struct {
        const std::string& file;
        QSize asked;
    } cases[] = {
        {blocks, {256, 128}},    {blocks, {64, 300}},     {blocks, {1, 1}},
        {shortFile, {256, 128}}, {shortFile, {600, 300}}, {shortFile, {1000, 700}}, // enlarged
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const auto [width, pixels] = Read(c.file, c.asked);
        ASSERT_EQ(width, c.asked.width());
        ASSERT_EQ(pixels.size(), size_t(c.asked.width() * c.asked.height()));
        // Tolerance 0: the rule is one sample per pixel, at the centre of its span.
        EXPECT_TRUE(pixels ==
                    Resampled(TvqPicture(c.file, 3), 600, 300, c.asked.width(), c.asked.height()));
    }
    TempDir dir;
    WriteFileBytes(dir.File("size.tvq"), TvqBytes(-1, 300, {}).substr(0, 10) + blocks.substr(10));
    QImageReader reader(QString::fromStdString(dir.File("size.tvq")));
    EXPECT_EQ(reader.size(), QSize()) << "no size of -1 x 300";
    WriteFileBytes(dir.File("size.tvq"), blocks);
    QImageReader sized(QString::fromStdString(dir.File("size.tvq")));
    EXPECT_EQ(sized.size(), QSize(600, 300));
    EXPECT_EQ(sized.read().width(), 600) << "asking the size moves nothing";
}

} // namespace
} // namespace zod::test
