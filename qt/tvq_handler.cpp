// Decoding through formats/ alone: the one plausibility rule, the viewer's colours at its
// saved factor (3 without one; the settings file is only read), and a picture of another
// size made by the sampling rule, reading only the rows it samples.
#include "qt/tvq_handler.h"

#include "common/tvq_name.h"
#include "common/types.h"
#include "formats/core/tvq_file.h"
#include "formats/core/tvq_plausible.h"
#include "settings/stored_factor.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QVariant>

#include <algorithm>
#include <memory>

namespace {

// 24-bit pixels, red first: an 8192 x 4096 picture decodes in about three quarters of the
// time it takes as RGB32 (bench/thumbnails.sh's reader; less memory to touch).
constexpr QImage::Format kFormat = QImage::Format_RGB888;
constexpr size_t kPixelBytes = 3;

// A device that can seek, as the core's byte source: its bytes from `start` on are the file's.
struct DeviceBytes {
    QIODevice* device;
    qint64 start;
};

size_t ReadAt(void* context, uint64_t offset, uint8_t* into, size_t count) {
    const auto* bytes = static_cast<const DeviceBytes*>(context);
    QIODevice* device = bytes->device;
    const qint64 at = bytes->start + qint64(offset);
    // Past the end is simply nothing; a buffer would warn on the terminal.
    if (at >= device->size() || (device->pos() != at && !device->seek(at)))
        return 0;
    size_t got = 0;
    while (got < count) {
        const qint64 more = device->read(reinterpret_cast<char*>(into + got), qint64(count - got));
        if (more <= 0)
            break;
        got += size_t(more);
    }
    return got;
}

bool SizeOf(void* context, uint64_t* size) {
    const auto* bytes = static_cast<const DeviceBytes*>(context);
    const qint64 deviceSize = bytes->device->size();
    *size = deviceSize > bytes->start ? uint64_t(deviceSize - bytes->start) : 0;
    return true;
}

struct OpenedTvq {
    TvqFile file{};
    ~OpenedTvq() { CloseTvqFile(&file); }
};

// The image from a device that may seek, at `scaledSize` when that is valid: larger than
// the picture repeats pixels, as QImageReader's own scaling would, but never past the
// pixel limit of a whole picture.
bool Decode(QIODevice* device, qint64 start, QSize scaledSize, QImage* image) {
    DeviceBytes bytes{device, start};
    OpenedTvq tvq;
    if (!OpenTvqSource(TvqSource{&bytes, ReadAt, SizeOf}, &tvq.file) ||
        TvqCheckOpenFile(tvq.file) != TVQ_PLAUSIBLE)
        return false;
    const ImageExtent out = scaledSize.isValid() && !scaledSize.isEmpty()
                                ? ImageExtent{scaledSize.width(), scaledSize.height()}
                                : tvq.file.extent;
    if (TvqImageWords(out) > kTvqMaxPixels)
        return false;
    QImage result(out.width, out.height, kFormat);
    if (result.isNull())
        return false;
    // Kept for the thread's next image: a folder of thumbnails has one factor, and the table
    // costs more to make than a small image.
    thread_local std::unique_ptr<TvqTripleTable> table;
    thread_local int32_t tableFactor = 0;
    const int32_t factor = SavedFactorOrDefault();
    if (!table || tableFactor != factor) {
        if (!table)
            table.reset(new TvqTripleTable); // every entry is made below
        MakeTvqTripleTable(factor, TVQ_RED_FIRST, table.get());
        tableFactor = factor;
    }
    TvqScaledRows(&tvq.file, *table, out, kPixelBytes, result.bits(),
                  size_t(result.bytesPerLine()));
    if (tvq.file.readFailed)
        return false;
    *image = result;
    return true;
}

// Up to `size` more bytes of a sequential device, waiting for them as a pipe needs. In
// pieces: QIODevice::read allocates all it is asked for before it reads a byte.
void ReadUpTo(QIODevice* device, qint64 size, QByteArray* bytes) {
    while (bytes->size() < size) {
        const QByteArray more = device->read(std::min<qint64>(size - bytes->size(), 64 * 1024));
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
    return file && TvqNamed(QFile::encodeName(file->fileName()).constData());
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
