#include "image_files.h"

#include <algorithm>

namespace zod::test {

std::string TvqBytes(int16_t width, int16_t height, const std::vector<uint16_t>& words) {
    std::string out(32 + 2 * words.size(), '\0');
    WriteLe16(BytesAt(out, 4), uint16_t(width));
    WriteLe16(BytesAt(out, 8), uint16_t(height));
    for (size_t i = 0; i < words.size(); ++i)
        WriteLe16(BytesAt(out, 32 + 2 * i), words[i]);
    return out;
}

uint16_t TvqWord(int red, int green, int blue) {
    return uint16_t(red << 11 | green << 6 | blue);
}

std::vector<uint16_t> NoiseWords(size_t count, uint32_t seed) {
    std::vector<uint16_t> words(count);
    for (auto& word : words)
        word = uint16_t((seed = seed * 1103515245u + 12345u) >> 12);
    return words;
}

uint32_t AmplifiedColour(uint16_t word, int factor) {
    auto amplify = [factor](int channel) {
        return uint32_t(std::clamp<int64_t>(int64_t(channel) * factor, 0, 255));
    };
    return amplify(word >> 11) | amplify((word >> 6) & 31) << 8 | amplify(word & 31) << 16;
}

std::vector<uint32_t> TvqPicture(const std::string& file, int factor) {
    const int width = file.size() > 32 ? int16_t(ReadLe16(BytesAt(file, 4))) : 0;
    const int height = file.size() > 32 ? int16_t(ReadLe16(BytesAt(file, 8))) : 0;
    if (width <= 0 || height <= 0)
        return {};
    const std::string words = file.substr(32) + '\0';
    const size_t stored = (file.size() - 31) / 2;
    std::vector<uint32_t> picture(size_t(width) * size_t(height));
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = AmplifiedColour(ReadLe16(BytesAt(words, 2 * std::min(i, stored - 1))), factor);
    return picture;
}

std::vector<uint32_t> Resampled(const std::vector<uint32_t>& picture, int width, int height,
                                int outWidth, int outHeight) {
    std::vector<uint32_t> out;
    for (int j = 0; j < outHeight; ++j)
        for (int i = 0; i < outWidth; ++i) {
            const auto y = size_t((j + 0.5) * height / outHeight);
            const auto x = size_t((i + 0.5) * width / outWidth);
            out.push_back(picture[y * size_t(width) + x]);
        }
    return out;
}

std::string Bmp24Bytes(int width, int height, const std::function<uint32_t(int, int)>& colour) {
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    std::string out(54 + stride * size_t(height), '\0');
    out[0] = 'B';
    out[1] = 'M';
    WriteLe32(BytesAt(out, 2), uint32_t(out.size()));
    WriteLe32(BytesAt(out, 10), 54);
    WriteLe32(BytesAt(out, 14), 40);
    WriteLe32(BytesAt(out, 18), uint32_t(width));
    WriteLe32(BytesAt(out, 22), uint32_t(height));
    WriteLe16(BytesAt(out, 26), 1);
    WriteLe16(BytesAt(out, 28), 24);
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
    if (file.size() < 54)
        return 0xFFFFFFFF;
    const int32_t height = int32_t(ReadLe32(BytesAt(file, 22)));
    const size_t stride = (size_t(ReadLe32(BytesAt(file, 18))) * 3 + 3) / 4 * 4;
    size_t at = ReadLe32(BytesAt(file, 10)) + size_t(height - 1 - y) * stride + 3 * size_t(x);
    if (at + 2 >= file.size())
        return 0xFFFFFFFF;
    return uint32_t(uint8_t(file[at + 2])) | uint32_t(uint8_t(file[at + 1])) << 8 |
           uint32_t(uint8_t(file[at])) << 16;
}

} // namespace zod::test
