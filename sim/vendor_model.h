// The module's vendor-code commands, its secure handshake and its two flash blocks: the
// codes and blocks it keeps between a write and a read, and what it received last.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace fpm::sim {

struct VendorModel {
    static constexpr std::uint16_t kDefaultVendorCode = 0x0102;

    std::array<std::uint8_t, 8> longCode{0x4C, 0x6F, 0x6E, 0x67, 0x43, 0x6F, 0x64, 0x65};
    std::uint8_t writeParameter = 0;  // of the last short-code write

    // Flash block: what was written; bytes never written read as erased flash (0xFF).
    std::vector<std::uint8_t> flash;
    // Product-information block; the short vendor code lives in its first two bytes.
    std::array<std::uint8_t, 62> productInfo{kDefaultVendorCode & 0xFF, kDefaultVendorCode >> 8};
    std::uint8_t lastWriteOperation = 0;  // operation byte of the last block write

    std::uint16_t vendorCode() const { return static_cast<std::uint16_t>(productInfo[0] | productInfo[1] << 8); }
    void setVendorCode(std::uint16_t code)
    {
        productInfo[0] = static_cast<std::uint8_t>(code & 0xFF);
        productInfo[1] = static_cast<std::uint8_t>(code >> 8);
    }

    // Secure handshake: the last challenge handed out (unscrambled) and whether it still
    // awaits its answer, the last response as the module unscrambled it, and the verdict
    // its confirmation reads.
    std::uint32_t challengesIssued = 0;
    std::optional<std::array<std::uint8_t, 32>> challenge;
    bool challengeOpen = false;
    std::optional<std::array<std::uint8_t, 32>> response;
    bool accepted = false;
};

}  // namespace fpm::sim
