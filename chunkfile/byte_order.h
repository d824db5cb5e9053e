// Little-endian loads and stores: every number in a chunk stream and in a
// container is little-endian, whatever the machine's own order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tessera {

inline std::uint32_t LoadLe32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

inline void StoreLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint64_t LoadLe64(const std::uint8_t* at) {
    std::uint64_t value;
    std::memcpy(&value, at, sizeof value);
    if constexpr (std::endian::native == std::endian::big) {
        value = __builtin_bswap64(value);
    }
    return value;
}

inline void StoreLe64(std::uint8_t* at, std::uint64_t value) {
    if constexpr (std::endian::native == std::endian::big) {
        value = __builtin_bswap64(value);
    }
    std::memcpy(at, &value, sizeof value);
}

}  // namespace tessera
