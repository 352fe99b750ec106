// The module's product-information block, as the virtual module keeps it.
#pragma once

#include <array>
#include <cstdint>

namespace fpm::sim {

struct ProductInfoBlock {
    static constexpr std::uint16_t kDefaultVendorCode = 0x0102;

    std::array<std::uint8_t, 62> bytes{kDefaultVendorCode & 0xFF, kDefaultVendorCode >> 8};

    // The vendor code lives in the first two bytes, low byte first.
    std::uint16_t vendorCode() const { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }
    void setVendorCode(std::uint16_t code)
    {
        bytes[0] = static_cast<std::uint8_t>(code & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(code >> 8);
    }
};

}  // namespace fpm::sim
