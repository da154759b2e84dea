// The one way the subset decodes picture files: gdk-pixbuf, with a named loader.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstddef>
#include <cstdint>

namespace zod {

// Decodes with the loader for `type` ("bmp", "ico") alone, so that no other format is
// taken. Returns 8-bit RGB or RGBA pixels, which the caller unrefs, or NULL.
GdkPixbuf* DecodePixbuf(const char* type, const uint8_t* data, size_t size);

} // namespace zod
