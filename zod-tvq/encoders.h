// The image formats the converter writes, fed a band of rows at a time.
#pragma once

#include "common/types.h"
#include "zod-tvq/safe_output.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zod::cli {

// How a format takes its rows: channel order, bytes from one row to the next, and whether
// the file starts with the bottom row (then the bands arrive bottom band first).
struct RowLayout {
    bool bgr;
    size_t stride;
    bool bottomUp;
};

class ImageEncoder {
  public:
    virtual ~ImageEncoder() = default;
    virtual RowLayout Layout() const = 0;
    // Writes what comes before the rows.
    virtual bool Start() = 0;
    // `count` rows, the top one first, Layout().stride apart; bytes past a row's pixels
    // are the encoder's to overwrite.
    virtual bool WriteRows(uint8_t* rows, int32_t count) = 0;
    // Writes what follows the rows.
    virtual bool Finish() = 0;
    virtual std::string Error() const = 0;
};

// 24-bit bottom-up BMP in the viewer's layout.
std::unique_ptr<ImageEncoder> MakeBmpEncoder(ImageExtent extent, SafeOutput& output);
// 8-bit RGB PNG, compressed for speed.
std::unique_ptr<ImageEncoder> MakePngEncoder(ImageExtent extent, SafeOutput& output);

} // namespace zod::cli
