// Image files made by tests, written without the program's own readers and writers.
#pragma once

#include "common/little_endian.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zod::test {

// Byte `at` of a file held in a string, for the little-endian helpers of common/.
inline const uint8_t* BytesAt(const std::string& file, size_t at) {
    return reinterpret_cast<const uint8_t*>(file.data()) + at;
}
inline uint8_t* BytesAt(std::string& file, size_t at) {
    return reinterpret_cast<uint8_t*>(&file[at]);
}

// Appends `value` as `bytes` little-endian bytes, for building files field by field.
inline void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

// A TVQ file: 32-byte header with width and height, then the given pixel words.
std::string TvqBytes(int16_t width, int16_t height, const std::vector<uint16_t>& words);
uint16_t TvqWord(int red, int green, int blue);
// Pixel words in which every bit varies, the same for the same seed.
std::vector<uint16_t> NoiseWords(size_t count, uint32_t seed = 7);

// The colour (COLORREF) that a TVQ word shows at an amplification factor.
uint32_t AmplifiedColour(uint16_t word, int factor);

// The picture a TVQ file shows at a factor, row by row: past its last word that word's
// colour, a lone last byte being a word of its own. Empty when there is nothing to draw.
std::vector<uint32_t> TvqPicture(const std::string& file, int factor);

// A picture of width x height shrunk (or enlarged) to outWidth x outHeight as thumbnails
// are: each output pixel is the source pixel under the centre of the span it covers.
std::vector<uint32_t> Resampled(const std::vector<uint32_t>& picture, int width, int height,
                                int outWidth, int outHeight);

// A 24-bit bottom-up BMP file whose pixel (x, y) has colour(x, y), a COLORREF.
std::string Bmp24Bytes(int width, int height, const std::function<uint32_t(int, int)>& colour);

// The pixel (x, y) of a 24-bit BMP file as a COLORREF; 0xFFFFFFFF where the file has none.
uint32_t Bmp24Pixel(const std::string& file, int x, int y);

} // namespace zod::test
