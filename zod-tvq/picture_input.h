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

// Opens `path` ("-": standard input). A non-interlaced PNG streams through libspng, in
// constant memory whatever its size; every other format loads whole through the
// system's gdk-pixbuf loaders. Null with the reason when nothing can be read, it is no
// picture, or a side is longer than `maxSide`.
std::unique_ptr<PictureInput> OpenPicture(const std::string& path, int32_t maxSide,
                                          std::string* reason);

} // namespace zod::cli
