// A Linux input-event record as the panel's readers take it from a node: `size` bytes (16
// on the 32-bit board and the simulated nodes, 24 on a 64-bit kernel), a time stamp the
// reader skips (every byte `stamp`), then type, code and value, little-endian.
#pragma once

#include <cstdint>
#include <string>

inline std::string InputRecord(uint16_t type, uint16_t code, int32_t value, size_t size = 16,
                               char stamp = char(0xEE)) {
    std::string r(size - 8, stamp);
    for (uint32_t v : {uint32_t(type) | uint32_t(code) << 16, uint32_t(value)})
        for (int i = 0; i < 4; ++i)
            r += char(v >> (8 * i));
    return r;
}
