#include "vendor/secure_block.h"

#include <algorithm>
#include <vector>

namespace fpm::vendor {

namespace {

constexpr std::size_t kKeyBytes = 9;

// The build's key settings arrive as nine byte values: the initial byte, then the table.
constexpr ScrambleKey keyFrom(const std::uint8_t (&bytes)[kKeyBytes])
{
    ScrambleKey key{bytes[0], {}};
    for (std::size_t i = 0; i < key.table.size(); ++i) key.table[i] = bytes[i + 1];
    return key;
}

constexpr std::uint8_t kChallengeKeyBytes[kKeyBytes] = {FPM_CHALLENGE_KEY_BYTES};
constexpr std::uint8_t kResponseKeyBytes[kKeyBytes] = {FPM_RESPONSE_KEY_BYTES};
constexpr ScrambleKey kChallengeKey = keyFrom(kChallengeKeyBytes);
constexpr ScrambleKey kResponseKey = keyFrom(kResponseKeyBytes);

}  // namespace

const ScrambleKey &challengeKey() { return kChallengeKey; }
const ScrambleKey &responseKey() { return kResponseKey; }

std::int32_t unscrambleSecureBlock(const ScrambleKey &key, const std::uint8_t *input, std::uint8_t *output,
                                   std::int32_t *length)
{
    if (!input) return -1;
    if (!output) {
        if (length) *length = kSecureBlockLength;
        return kSecureBlockLength;
    }
    // From the last byte down, so that each step still sees the scrambled byte before it
    // when the block is unscrambled in place.
    for (std::int32_t i = kSecureBlockLength - 1; i >= 1; --i)
        output[i] = static_cast<std::uint8_t>(input[i - 1] ^ key.table[i % 8] ^ input[i]);
    output[0] = static_cast<std::uint8_t>(input[0] ^ key.initial);
    if (length) *length = kSecureBlockLength;
    return 0;
}

std::int32_t scrambleSecureBlock(const ScrambleKey &key, const std::uint8_t *input, std::int32_t inputLength,
                                 std::uint8_t *output, std::int32_t *length)
{
    if (!input || inputLength <= 0) return -1;
    if (length) *length = inputLength;
    if (!output) return inputLength;

    std::vector<std::uint8_t> work(static_cast<std::size_t>(inputLength));
    work[0] = static_cast<std::uint8_t>(input[0] ^ key.initial);
    for (std::size_t i = 1; i < work.size(); ++i)
        work[i] = static_cast<std::uint8_t>(work[i - 1] ^ key.table[i % 8] ^ input[i]);
    std::copy(work.begin(), work.end(), output);
    wipe(work.data(), work.size());
    return 0;
}

void wipe(void *bytes, std::size_t count)
{
    volatile std::uint8_t *p = static_cast<volatile std::uint8_t *>(bytes);
    for (std::size_t i = 0; i < count; ++i) p[i] = 0;
}

}  // namespace fpm::vendor
