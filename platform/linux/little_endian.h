// Little-endian fields of the files the subset reads itself (BMP, ICO and CUR headers).
#pragma once

#include <cstdint>

namespace zod {

inline uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(Le16(p)) | uint32_t(Le16(p + 2)) << 16;
}

} // namespace zod
