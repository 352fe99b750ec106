// The secure vendor-code handshake: the host proves that it knows the vendor code without
// sending it in plain. The module hands out a scrambled challenge; the host unscrambles
// it, writes the code into it at byte 8, scrambles it with the other key and sends it
// back; the module answers whether it accepts the proof.
#pragma once

#include <cstddef>
#include <cstdint>

#include "connection/result.h"
#include "platform/device_io.h"

namespace fpm::vendor {

inline constexpr std::uint8_t kCmdGetSecureVendorCode = 0x61;
inline constexpr std::uint8_t kCmdConfirmSecureVendorCode = 0x62;
inline constexpr std::size_t kMaxProofCodeLength = 8;

// Reads the module's 32 scrambled challenge bytes into `challenge` as they came. One
// transfer, no busy polling; the reply header is not examined. False when the transfer
// failed (or without a buffer, with nothing sent).
bool readChallenge(device::Handle handle, std::uint8_t *challenge);

enum class Proof : std::uint8_t {
    Accepted,
    ResponseNotSent,     // the response transfer failed
    NoConfirmation,      // the confirmation transfer failed
    ConfirmationEcho,    // the confirmation answers another command
    Refused,             // the module answered with a status other than CODE_OK
};

// Answers `challenge` (32 scrambled bytes) with the first `codeLength` bytes of `code`
// (at most 8) placed at byte 8 of the unscrambled block, and reads the module's verdict.
// The unscrambled block and both forms of the response are wiped on every path.
Proof answerChallenge(device::Handle handle, const std::uint8_t *challenge, const std::uint8_t *code,
                      std::size_t codeLength);

// The whole handshake on one handle: 1 accepted; 2 for every failure and refusal.
ResultByte confirmVendorCode(device::Handle handle, const std::uint8_t *code, std::size_t codeLength);

}  // namespace fpm::vendor
