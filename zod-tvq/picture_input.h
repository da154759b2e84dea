// Pictures in any format the system reads, handed out a band of rows at a time.
#pragma once

#include "common/types.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zod::cli {

class PictureInput {
  public:
    virtual ~PictureInput() = default;
    ImageExtent Extent() const { return extent_; }
    // Bytes per pixel of the rows: 3 (RGB) or 4 (RGBA, not premultiplied).
    int Channels() const { return channels_; }
    // The next `count` rows, top first, packed without padding.
    virtual bool ReadRows(uint8_t* rows, int32_t count) = 0;
    const std::string& Error() const { return error_; }

  protected:
    ImageExtent extent_{0, 0};
    int channels_ = 3;
    std::string error_;
};

// What a picture may be: at most `maxPixels` in all, each side at most what a TVQ header
// holds (kTvqMaxSide).
struct PictureLimits {
    uint64_t maxPixels;
};

// Why a picture of `width` x `height` is refused, in the core's words (TvqPictureText), or
// empty when it is within the limits.
std::string PictureSizeRefusal(uint64_t width, uint64_t height, const PictureLimits& limits);

// The most bytes read from one input: what an uncompressed picture of `maxPixels` takes
// at 32 bits a pixel, and 64 MiB for whatever else a file holds. Beyond it the input is
// refused (a file at once, standard input once it has sent that much), so that an
// endless stream or a loader that keeps all it is given cannot grow without end.
uint64_t PictureByteLimit(uint64_t maxPixels);
std::string PictureBytesRefusal(uint64_t maxPixels);

// Opens `path` ("-": standard input). A non-interlaced PNG streams through libspng, in
// constant memory whatever its size; an interlaced one is kept as 3 or 4 bytes a pixel, as its
// rows arrive. Every other format loads whole through the system's gdk-pixbuf loaders,
// which hold about 4 bytes a pixel. Null with the reason when nothing can be read, it is
// no picture, it is damaged or cut short, or it is beyond `limits`; a picture beyond them
// is refused before its pixels are allocated.
std::unique_ptr<PictureInput> OpenPicture(const std::string& path, const PictureLimits& limits,
                                          std::string* reason);

} // namespace zod::cli
