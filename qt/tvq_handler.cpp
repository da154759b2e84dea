// Decoding through formats/ alone: the one plausibility rule, the viewer's colours at its
// saved factor (3 without one; the settings file is only read), and a smaller picture
// made by the thumbnail sampling rule, reading only the rows it samples.
#include "qt/tvq_handler.h"

#include "common/types.h"
#include "formats/core/tvq_decode.h"
#include "formats/core/tvq_plausible.h"
#include "formats/core/tvq_scale.h"
#include "settings/stored_factor.h"

#include <QBuffer>
#include <QFileDevice>
#include <QFileInfo>
#include <QImage>
#include <QVariant>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// 24-bit pixels, red first: an 8192 x 4096 picture decodes in about three quarters of the
// time it takes as RGB32 (bench/thumbnails.sh's reader; less memory to touch).
constexpr QImage::Format kFormat = QImage::Format_RGB888;
constexpr size_t kPixelBytes = 3;
constexpr bool kBlueFirst = false;

int32_t SavedFactor() {
    // The settings core keeps its path in one buffer; Qt programs read images on many threads.
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    int32_t factor = kDefaultAmplificationFactor;
    LoadStoredFactor(&factor); // leaves the default when the file cannot be read
    return factor;
}

bool ReadAt(QIODevice* device, qint64 at, char* data, qint64 size) {
    return (device->pos() == at || device->seek(at)) && device->read(data, size) == size;
}

// The image from a device that may seek, whose bytes from `start` are the file's.
bool Decode(QIODevice* device, qint64 start, QSize scaledSize, QImage* image) {
    const qint64 deviceSize = device->size();
    const uint64_t fileBytes = deviceSize > start ? uint64_t(deviceSize - start) : 0;
    uint8_t header[kTvqSizeFieldsBytes] = {};
    if (fileBytes >= sizeof header &&
        !ReadAt(device, start, reinterpret_cast<char*>(header), sizeof header))
        return false;
    const ImageExtent extent = TvqExtentFromHeader(header);
    if (TvqCheckStart(header, fileBytes) != TVQ_PLAUSIBLE)
        return false;
    const uint64_t imageWords = TvqImageWords(extent);
    const uint64_t pixelBytes = std::min(fileBytes - kTvqPixelsOffset, 2 * imageWords);
    const uint64_t storedWords = (pixelBytes + 1) / 2;
    uint16_t pastEnd = 0;
    if (storedWords < imageWords) {
        uint8_t last[2];
        const qint64 count = pixelBytes % 2 ? 1 : 2;
        if (!ReadAt(device, start + qint64(kTvqPixelsOffset + pixelBytes) - count,
                    reinterpret_cast<char*>(last), count))
            return false;
        pastEnd = TvqPastEndWord(last, size_t(count));
    }

    // Larger than the picture repeats pixels, as QImageReader's own scaling would.
    const ImageExtent out = scaledSize.isValid() && !scaledSize.isEmpty()
                                ? ImageExtent{scaledSize.width(), scaledSize.height()}
                                : extent;
    QImage result(out.width, out.height, kFormat);
    if (result.isNull())
        return false;
    auto table = std::make_unique<TvqTripleTable>();
    TvqPalette palette;
    MakeTvqPalette(SavedFactor(), &palette);
    MakeTvqTripleTable(palette, kBlueFirst, table.get());
    std::vector<uint8_t> words(2 * size_t(extent.width));
    int32_t wordsRow = -1; // the image row `words` holds
    int32_t held = 0;
    for (int32_t j = 0; j < out.height; ++j) {
        const int32_t y = TvqSampleIndex(j, out.height, extent.height);
        if (y != wordsRow) {
            held = TvqRowWordsHeld(extent, y, storedWords);
            const uint64_t first = 2 * uint64_t(y) * uint64_t(extent.width);
            // A lone last byte is a word whose high byte is 0.
            const qint64 bytes = qint64(std::min<uint64_t>(2 * uint64_t(held), pixelBytes - first));
            if (held > 0)
                words[size_t(2 * held - 1)] = 0;
            if (held > 0 && !ReadAt(device, start + qint64(kTvqPixelsOffset + first),
                                    reinterpret_cast<char*>(words.data()), bytes))
                return false;
            wordsRow = y;
        }
        TvqSampleRow(*table, words.data(), held, extent.width, pastEnd, out.width, kPixelBytes,
                     result.scanLine(j));
    }
    *image = result;
    return true;
}

// Up to `size` more bytes of a sequential device, waiting for them as a pipe needs.
void ReadUpTo(QIODevice* device, qint64 size, QByteArray* bytes) {
    while (bytes->size() < size) {
        const QByteArray more = device->read(size - bytes->size());
        if (more.isEmpty() && !device->waitForReadyRead(30000))
            return;
        bytes->append(more);
    }
}

// A sequential device's bytes, never more than the image its header claims needs: a
// never-ending device (a .tvq link to /dev/urandom) must not fill the memory.
QByteArray ReadSequential(QIODevice* device) {
    QByteArray bytes;
    ReadUpTo(device, qint64(kTvqPixelsOffset), &bytes);
    if (bytes.size() < qint64(kTvqPixelsOffset))
        return bytes;
    const uint64_t words =
        TvqImageWords(TvqExtentFromHeader(reinterpret_cast<const uint8_t*>(bytes.constData())));
    if (words > 0 && words <= kTvqMaxPixels)
        ReadUpTo(device, qint64(kTvqPixelsOffset + 2 * words), &bytes);
    return bytes;
}

} // namespace

bool TvqHandler::NamedTvq(QIODevice* device, const QByteArray& format) {
    if (!format.isEmpty())
        return format.toLower() == "tvq";
    const auto* file = qobject_cast<const QFileDevice*>(device);
    return file && QFileInfo(file->fileName())
                           .suffix()
                           .compare(QLatin1String("tvq"), Qt::CaseInsensitive) == 0;
}

bool TvqHandler::canRead() const {
    return device() && NamedTvq(device(), format());
}

bool TvqHandler::read(QImage* image) {
    QIODevice* device = this->device();
    if (!device || !image)
        return false;
    try {
        if (!device->isSequential())
            return Decode(device, device->pos(), scaledSize_, image);
        // A pipe or socket: its bytes, held, are a device that can seek.
        QByteArray bytes = ReadSequential(device);
        QBuffer buffer(&bytes);
        return buffer.open(QIODevice::ReadOnly) && Decode(&buffer, 0, scaledSize_, image);
    } catch (...) { // no exception reaches the host program
        return false;
    }
}

QVariant TvqHandler::option(ImageOption option) const {
    if (option == ImageFormat)
        return kFormat;
    if (option != Size || !device())
        return {};
    // The size fields, without moving the device.
    const QByteArray header = device()->peek(qint64(kTvqSizeFieldsBytes));
    if (header.size() < qint64(kTvqSizeFieldsBytes))
        return {};
    const ImageExtent extent =
        TvqExtentFromHeader(reinterpret_cast<const uint8_t*>(header.constData()));
    if (TvqImageWords(extent) == 0)
        return {};
    return QSize(extent.width, extent.height);
}

void TvqHandler::setOption(ImageOption option, const QVariant& value) {
    if (option == ScaledSize)
        scaledSize_ = value.toSize();
}

bool TvqHandler::supportsOption(ImageOption option) const {
    return option == Size || option == ScaledSize || option == ImageFormat;
}
