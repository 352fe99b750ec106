// The module's vendor-code commands, its secure handshake and its two flash blocks: the
// codes and blocks it keeps between a write and a read, and what it received last.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace fpm::sim {

// The product-information block, which holds the short vendor code, is the
// ProductInfoBlock part (sim/product_info_model.h).
struct VendorModel {
    std::array<std::uint8_t, 8> longCode{0x4C, 0x6F, 0x6E, 0x67, 0x43, 0x6F, 0x64, 0x65};
    std::uint8_t writeParameter = 0;  // of the last short-code write

    // Flash block: what was written; bytes never written read as erased flash (0xFF).
    std::vector<std::uint8_t> flash;
    std::uint8_t lastWriteOperation = 0;  // operation byte of the last block write

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
