// Small helpers of the tool-link wire formats: big- and little-endian fields read and
// written byte by byte, the dotted form of a host-order IPv4 address, the tool family test.
#pragma once

#include <cstdint>

inline uint16_t be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (24 - 8 * i));
}
inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// The four octets of a host-order address as printf arguments for "%d.%d.%d.%d".
#define IP4(ip)                                                                                    \
    int((ip) >> 24 & 0xff), int((ip) >> 16 & 0xff), int((ip) >> 8 & 0xff), int((ip)&0xff)

// Tool types 1 "XWC" and 4 "XWTC" are drive controllers; 2 "ZQ" and 3 "ZQT" drivers. The
// two families differ in register numbers and in the event frame layout.
inline bool isController(uint8_t type) {
    return type == 1 || type == 4;
}
