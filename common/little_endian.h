// Little-endian fields in file headers, read and written a byte at a time so that neither
// the host's byte order nor alignment matters.
#pragma once

#include <cstdint>

inline uint16_t ReadLe16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// A 16-bit two's-complement field: 0x8000..0xFFFF are negative.
inline int32_t ReadSignedLe16(const uint8_t* p) {
    return int32_t(int16_t(ReadLe16(p)));
}

inline uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void WriteLe16(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

inline void WriteLe32(uint8_t* p, uint32_t value) {
    WriteLe16(p, value);
    WriteLe16(p + 2, value >> 16);
}
