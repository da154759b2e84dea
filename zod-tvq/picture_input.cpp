#include "zod-tvq/picture_input.h"

#include "zod-tvq/picture_source.h"
#include "zod-tvq/tvq_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace zod::cli {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

} // namespace

size_t PictureSource::Read(uint8_t* out, size_t size) {
    size_t done = 0;
    while (done < size && headUsed < headSize)
        out[done++] = head[headUsed++];
    if (done == size || overLimit)
        return done;
    // One byte past the limit tells a stream that ends there from one that goes on.
    const uint64_t room = limit - taken;
    const size_t asked =
        size_t(std::min<uint64_t>(size - done, room == UINT64_MAX ? room : room + 1));
    size_t got = fread(out + done, 1, asked, file);
    if (got > room) {
        overLimit = true;
        got = size_t(room);
    }
    taken += got;
    return done + got;
}

std::unique_ptr<PictureInput> OpenPicture(const std::string& path, const PictureLimits& limits,
                                          std::string* reason) {
    auto source = std::make_unique<PictureSource>();
    source->file = path == "-" ? stdin : OpenRegularFile(path, reason);
    source->owned = path != "-" && source->file;
    source->limit = PictureByteLimit(limits.maxPixels);
    if (!source->file) {
        if (reason->empty())
            *reason = strerror(errno);
        return nullptr;
    }
    // A file says at once whether it is too long; standard input once it has sent that much.
    struct stat status;
    if (fstat(fileno(source->file), &status) == 0 && S_ISREG(status.st_mode) &&
        uint64_t(status.st_size) > source->limit && path != "-") {
        *reason = PictureBytesRefusal(limits.maxPixels);
        return nullptr;
    }
    source->headSize = fread(source->head, 1, sizeof source->head, source->file);
    source->taken = source->headSize;
    if (source->headSize == sizeof kPngSignature &&
        memcmp(source->head, kPngSignature, sizeof kPngSignature) == 0)
        return OpenPng(std::move(source), limits, reason);
    return OpenThroughPixbuf(*source, limits, reason);
}

} // namespace zod::cli
