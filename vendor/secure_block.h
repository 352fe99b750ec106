// The two keyed routines of the secure vendor-code handshake: the module scrambles its
// challenge with one key, the host scrambles its response with the other. Each output
// byte chains on the byte before it, so a block can only be unscrambled whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fpm::vendor {

inline constexpr std::int32_t kSecureBlockLength = 32;

struct ScrambleKey {
    std::uint8_t initial;
    std::array<std::uint8_t, 8> table;
};

// The keys the module's firmware shares with the library, set when the library is built
// (FPM_CHALLENGE_KEY and FPM_RESPONSE_KEY).
const ScrambleKey &challengeKey();
const ScrambleKey &responseKey();

// Unscrambles the 32 bytes of `input` into `output`, which may be `input` itself.
// Returns -1 without input; without output stores 32 in `length` (when given) and
// returns 32; otherwise 0.
std::int32_t unscrambleSecureBlock(const ScrambleKey &key, const std::uint8_t *input, std::uint8_t *output,
                                   std::int32_t *length);

// Scrambles `inputLength` bytes of `input` into `output`. Returns -1 without input or with
// a length below 1; without output stores the input length in `length` (when given) and
// returns it; otherwise stores it too and returns 0. The working copy is wiped.
std::int32_t scrambleSecureBlock(const ScrambleKey &key, const std::uint8_t *input, std::int32_t inputLength,
                                 std::uint8_t *output, std::int32_t *length);

// Overwrites secret bytes with zeros in a way the compiler cannot leave out.
void wipe(void *bytes, std::size_t count);

}  // namespace fpm::vendor
