// What the Linux picture readers share: the input, read again from its first bytes once
// they have told the format, and never past the byte limit.
#pragma once

#include "zod-tvq/picture_input.h"

#include <cstdio>

namespace zod::cli {

struct PictureSource {
    FILE* file = nullptr;
    bool owned = false;
    uint8_t head[8] = {};
    size_t headSize = 0, headUsed = 0;
    uint64_t limit = 0, taken = 0;
    bool overLimit = false; // the input holds more than `limit` bytes

    ~PictureSource() {
        if (owned)
            fclose(file);
    }
    // Up to `size` bytes; fewer at the end, at a read error (ferror) or at the limit.
    size_t Read(uint8_t* out, size_t size);
};

std::unique_ptr<PictureInput> OpenPng(std::unique_ptr<PictureSource> source,
                                      const PictureLimits& limits, std::string* reason);
std::unique_ptr<PictureInput> OpenThroughPixbuf(PictureSource& source, const PictureLimits& limits,
                                                std::string* reason);

} // namespace zod::cli
