// The module sends its multi-byte values low byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fpm::transport {

// The `count` bytes (at most 4) from `bytes` as one value, low byte first.
constexpr std::uint32_t littleEndian(const std::uint8_t *bytes, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

}  // namespace fpm::transport
