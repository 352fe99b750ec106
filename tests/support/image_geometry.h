// Gives the virtual module a sensor geometry and lets the library learn it, as a connect
// would, without leaving the size query among the recorded requests.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/virtual_host.h"

namespace fpm::test {

void useGeometry(sim::VirtualModule &module, std::uint8_t width, std::uint8_t height, std::uint8_t bytesPerPixel);

// A caller's buffer with guard bytes after its `size` bytes, to catch writes past its end.
struct GuardedBuffer {
    static constexpr std::size_t kGuard = 64;
    static constexpr std::uint8_t kFill = 0xA5;
    explicit GuardedBuffer(std::size_t size) : size(size), bytes(size + kGuard, kFill) {}
    std::uint8_t *data() { return bytes.data(); }
    std::vector<std::uint8_t> content() const { return {bytes.begin(), bytes.begin() + size}; }
    bool guardIntact() const;
    bool untouched() const;
    std::size_t size;
    std::vector<std::uint8_t> bytes;
};

}  // namespace fpm::test
