// The Qt plugin's reader, its source compiled in, as QImageReader drives it: from a buffer
// that can seek or, when byte 0's top bit is set, from a pipe; at a size asked by bytes 1
// and 2 (0: the picture's own), or when byte 0's bit 6 is set, at 26000 x 26000. Checked
// against a plain reading of the file: it reads exactly what the plausibility rule lets
// through, never a size past the pixel limit, at the size asked, and every pixel is the
// word its sample falls on (or the file's last word, past its end) at the default factor.
// A picture of more than 4096 pixels is asked at 64 x 64 at most, so a run stays small.
#include "formats/core/tvq_plausible.h"
#include "fuzz/fuzz_support.h"
#include "qt/tvq_handler.h"

#include <QBuffer>
#include <QImage>
#include <QVariant>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kFactor = 3; // no saved factor: the default

// The input once, in order, with no seeking: a pipe.
class Pipe : public QIODevice {
  public:
    Pipe(const uint8_t* data, size_t size) : data_(data), size_(size) { open(ReadOnly); }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* into, qint64 most) override {
        const size_t count = std::min(size_t(most), size_ - at_);
        std::copy(data_ + at_, data_ + at_ + count, into);
        at_ += count;
        return qint64(count);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

int16_t Field(const uint8_t* data, size_t at) {
    return int16_t(data[at] | data[at + 1] << 8);
}

// Pixel `index` as the file gives it: its word, or past the end the last word's; a lone
// last byte is a word whose high byte is 0.
QRgb Plain(const uint8_t* data, size_t size, uint64_t index) {
    const uint64_t stored = (size - 32 + 1) / 2;
    const uint64_t at = 32 + 2 * std::min(index, stored - 1);
    const unsigned word = data[at] | (at + 1 < size ? data[at + 1] << 8 : 0);
    auto level = [](unsigned c) { return int(std::min(255u, c * kFactor)); };
    return qRgb(level(word >> 11), level(word >> 6 & 31), level(word & 31));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_CONFIG_HOME", "/nonexistent/zod-fuzz", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool pipe = size > 0 && (data[0] & 0x80) != 0;
    const bool huge = size > 0 && (data[0] & 0x40) != 0;
    const ImageExtent extent =
        size >= 10 ? ImageExtent{Field(data, 4), Field(data, 8)} : ImageExtent{0, 0};
    const uint64_t pixels =
        uint64_t(std::max(extent.width, 0)) * uint64_t(std::max(extent.height, 0));
    QSize asked =
        size >= 3 && data[1] && data[2] ? QSize(data[1] % 64 + 1, data[2] % 64 + 1) : QSize();
    if (!asked.isValid() && pixels > 4096)
        asked = QSize(int(std::min<int64_t>(extent.width, 64)),
                      int(std::min<int64_t>(extent.height, 64)));
    if (huge)
        asked = QSize(26000, 26000);

    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Pipe stream(data, size);
    TvqHandler handler;
    handler.setDevice(pipe ? static_cast<QIODevice*>(&stream) : &buffer);
    handler.setFormat("tvq");
    FUZZ_CHECK(handler.canRead());
    if (!pipe && pixels > 0)
        FUZZ_CHECK(handler.option(QImageIOHandler::Size).toSize() ==
                   QSize(extent.width, extent.height));
    if (asked.isValid())
        handler.setOption(QImageIOHandler::ScaledSize, asked);
    QImage image;
    const bool read = handler.read(&image);

    const bool plausible = TvqCheckStart(data, size) == TVQ_PLAUSIBLE;
    const QSize out = asked.isValid() ? asked : QSize(extent.width, extent.height);
    FUZZ_CHECK(read == (plausible && !huge));
    if (!read)
        return 0;
    FUZZ_CHECK(image.size() == out);
    for (int j = 0; j < out.height(); ++j)
        for (int i = 0; i < out.width(); ++i) {
            // Each output pixel samples the centre of the span it stands for.
            const uint64_t x =
                (2 * uint64_t(i) + 1) * uint64_t(extent.width) / (2 * uint64_t(out.width()));
            const uint64_t y =
                (2 * uint64_t(j) + 1) * uint64_t(extent.height) / (2 * uint64_t(out.height()));
            FUZZ_CHECK(image.pixel(i, j) == Plain(data, size, y * uint64_t(extent.width) + x));
        }
    return 0;
}
