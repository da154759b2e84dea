#include "image_files.h"

#include <algorithm>

namespace zod::test {

namespace {

void Put16(std::string& out, size_t at, uint32_t v) {
    out[at] = char(v & 0xFF);
    out[at + 1] = char((v >> 8) & 0xFF);
}

void Put32(std::string& out, size_t at, uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}

uint32_t Get32(const std::string& in, size_t at) {
    return uint32_t(uint8_t(in[at])) | uint32_t(uint8_t(in[at + 1])) << 8 |
           uint32_t(uint8_t(in[at + 2])) << 16 | uint32_t(uint8_t(in[at + 3])) << 24;
}

} // namespace

std::string TvqBytes(int16_t width, int16_t height, const std::vector<uint16_t>& words) {
    std::string out(32 + 2 * words.size(), '\0');
    Put16(out, 4, uint16_t(width));
    Put16(out, 8, uint16_t(height));
    for (size_t i = 0; i < words.size(); ++i)
        Put16(out, 32 + 2 * i, words[i]);
    return out;
}

uint16_t TvqWord(int red, int green, int blue) {
    return uint16_t(red << 11 | green << 6 | blue);
}

uint32_t AmplifiedColour(uint16_t word, int factor) {
    auto amplify = [factor](int channel) {
        return uint32_t(std::clamp<int64_t>(int64_t(channel) * factor, 0, 255));
    };
    return amplify(word >> 11) | amplify((word >> 6) & 31) << 8 | amplify(word & 31) << 16;
}

std::string Bmp24Bytes(int width, int height, const std::function<uint32_t(int, int)>& colour) {
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    std::string out(54 + stride * size_t(height), '\0');
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, uint32_t(out.size()));
    Put32(out, 10, 54);
    Put32(out, 14, 40);
    Put32(out, 18, uint32_t(width));
    Put32(out, 22, uint32_t(height));
    Put16(out, 26, 1);
    Put16(out, 28, 24);
    for (int y = 0; y < height; ++y) {
        size_t row = 54 + size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            uint32_t c = colour(x, y);
            out[row + 3 * x] = char((c >> 16) & 0xFF);
            out[row + 3 * x + 1] = char((c >> 8) & 0xFF);
            out[row + 3 * x + 2] = char(c & 0xFF);
        }
    }
    return out;
}

uint32_t Bmp24Pixel(const std::string& file, int x, int y) {
    const int32_t width = int32_t(Get32(file, 18));
    const int32_t height = int32_t(Get32(file, 22));
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    size_t at = Get32(file, 10) + size_t(height - 1 - y) * stride + 3 * size_t(x);
    return uint32_t(uint8_t(file[at + 2])) | uint32_t(uint8_t(file[at + 1])) << 8 |
           uint32_t(uint8_t(file[at])) << 16;
}

} // namespace zod::test
