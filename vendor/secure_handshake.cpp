#include "vendor/secure_handshake.h"

#include <algorithm>
#include <array>

#include "transport/exchange.h"
#include "vendor/secure_block.h"

namespace fpm::vendor {

namespace {

constexpr std::uint32_t kTimeoutSeconds = 3;
constexpr std::size_t kBlockLength = kSecureBlockLength;
constexpr std::size_t kChallengeReplyLength = 2 + kBlockLength;
constexpr std::size_t kCodeOffset = 8;
constexpr std::uint32_t kConfirmationLength = 8;

using Block = std::array<std::uint8_t, kBlockLength>;

// Wipes the secret blocks of one handshake when it ends, however it ends.
class Secrets {
public:
    Block unscrambled{};
    Block response{};
    Block scrambled{};
    Secrets() = default;
    Secrets(const Secrets &) = delete;
    Secrets &operator=(const Secrets &) = delete;
    ~Secrets()
    {
        wipe(unscrambled.data(), unscrambled.size());
        wipe(response.data(), response.size());
        wipe(scrambled.data(), scrambled.size());
    }
};

}  // namespace

bool readChallenge(device::Handle handle, std::uint8_t *challenge)
{
    if (!challenge) return false;
    alignas(8) std::array<std::uint8_t, kChallengeReplyLength> reply{};
    const auto block = transport::VendorCommandBlock::make(kCmdGetSecureVendorCode, {0, kBlockLength});
    if (!transport::transfer(handle, block, transport::Direction::FromModule, reply.data(), kChallengeReplyLength,
                             kTimeoutSeconds))
        return false;
    std::copy_n(reply.begin() + 2, kBlockLength, challenge);
    return true;
}

Proof answerChallenge(device::Handle handle, const std::uint8_t *challenge, const std::uint8_t *code,
                      std::size_t codeLength)
{
    Secrets secrets;
    unscrambleSecureBlock(challengeKey(), challenge, secrets.unscrambled.data(), nullptr);
    secrets.response = secrets.unscrambled;
    std::copy_n(code, std::min(codeLength, kMaxProofCodeLength), secrets.response.begin() + kCodeOffset);
    std::int32_t length = static_cast<std::int32_t>(kBlockLength);
    scrambleSecureBlock(responseKey(), secrets.response.data(), length, secrets.scrambled.data(), &length);

    auto block = transport::VendorCommandBlock::make(kCmdConfirmSecureVendorCode, {0});
    if (!transport::transfer(handle, block, transport::Direction::ToModule, secrets.scrambled.data(), kBlockLength,
                             kTimeoutSeconds))
        return Proof::ResponseNotSent;

    block.bytes[2] = 1;
    alignas(8) std::array<std::uint8_t, kConfirmationLength> confirmation{};
    if (!transport::transfer(handle, block, transport::Direction::FromModule, confirmation.data(),
                             kConfirmationLength, kTimeoutSeconds))
        return Proof::NoConfirmation;
    if (confirmation[0] != kCmdConfirmSecureVendorCode) return Proof::ConfirmationEcho;
    // A busy module has not accepted anything: no status but CODE_OK is asked again.
    if (confirmation[1] != transport::kStatusOk) return Proof::Refused;
    return Proof::Accepted;
}

ResultByte confirmVendorCode(device::Handle handle, const std::uint8_t *code, std::size_t codeLength)
{
    Block challenge{};
    if (!readChallenge(handle, challenge.data())) return kFailure;
    return answerChallenge(handle, challenge.data(), code, codeLength) == Proof::Accepted ? kSuccess : kFailure;
}

}  // namespace fpm::vendor
