#include "sim/vendor_model.h"

#include <algorithm>

#include "sim/command_models.h"
#include "sim/product_info_model.h"
#include "vendor/secure_block.h"

namespace fpm::sim {

namespace {

using Reply = std::optional<std::vector<std::uint8_t>>;
using Block = std::array<std::uint8_t, 32>;

constexpr std::uint8_t kOk = 1;
constexpr std::uint8_t kError = 2;
constexpr std::uint8_t kUnknownCommand = 9;
constexpr std::size_t kCodeOffset = 8;

Reply vendorCode(VirtualModule &m, const ReceivedRequest &r)
{
    VendorModel &model = m.part<VendorModel>();
    ProductInfoBlock &info = m.part<ProductInfoBlock>();
    switch (r.block[3]) {
    case 0x00:
        return VirtualModule::header(r.code(), kOk, {static_cast<std::uint8_t>(info.vendorCode() >> 8),
                                                     static_cast<std::uint8_t>(info.vendorCode())});
    case 0x01:
        info.setVendorCode(static_cast<std::uint16_t>(r.block[4] << 8 | r.block[5]));
        model.writeParameter = r.block[6];
        return VirtualModule::header(r.code(), kOk);
    case 0x80:
        return VirtualModule::header(r.code(), kOk, {model.longCode.begin(), model.longCode.end()});
    case 0x81:
        std::copy_n(r.block.begin() + 4, model.longCode.size(), model.longCode.begin());
        return VirtualModule::header(r.code(), kOk);
    default:
        return VirtualModule::header(r.code(), kUnknownCommand);
    }
}

// A fresh challenge for every request, different each time.
Reply challenge(VirtualModule &m, const ReceivedRequest &r)
{
    VendorModel &model = m.part<VendorModel>();
    Block plain{};
    const std::uint32_t seed = ++model.challengesIssued * 2654435761u;
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>((seed >> (i % 4 * 8)) + i * 29);
    model.challenge = plain;
    model.challengeOpen = true;
    std::vector<std::uint8_t> reply = VirtualModule::header(r.code(), kOk);
    reply.resize(2 + plain.size());
    vendor::scrambleSecureBlock(vendor::challengeKey(), plain.data(), 32, reply.data() + 2, nullptr);
    return reply;
}

// The code bytes of a proof: the short code in its first two bytes, or the long code (or
// a leading part of it) from its first byte; bytes not set keep the challenge's value.
bool provesCode(VirtualModule &m, const Block &plain, const Block &answer)
{
    if (!std::equal(answer.begin(), answer.begin() + kCodeOffset, plain.begin())) return false;
    if (!std::equal(answer.begin() + 16, answer.end(), plain.begin() + 16)) return false;
    auto restIsPlain = [&](std::size_t from) {
        return std::equal(answer.begin() + kCodeOffset + from, answer.begin() + 16, plain.begin() + kCodeOffset + from);
    };
    const VendorModel &model = m.part<VendorModel>();
    const std::uint16_t shortCode = m.part<ProductInfoBlock>().vendorCode();
    if (answer[8] == (shortCode >> 8) && answer[9] == (shortCode & 0xFF) && restIsPlain(2)) return true;
    for (std::size_t n = model.longCode.size(); n >= 1; --n) {
        if (std::equal(model.longCode.begin(), model.longCode.begin() + n, answer.begin() + kCodeOffset) &&
            restIsPlain(n))
            return true;
    }
    return false;
}

Reply confirmation(VirtualModule &m, const ReceivedRequest &r)
{
    VendorModel &model = m.part<VendorModel>();
    if (r.block[2] == 1) {
        const bool accepted = model.accepted;
        model.accepted = false;
        return VirtualModule::header(r.code(), accepted ? kOk : kError);
    }
    // One answer per challenge; an answer without one proves nothing.
    model.accepted = false;
    if (r.dataIn || r.dataOut.size() != 32 || !model.challengeOpen) return std::vector<std::uint8_t>{};
    Block answer{};
    vendor::unscrambleSecureBlock(vendor::responseKey(), r.dataOut.data(), answer.data(), nullptr);
    model.response = answer;
    model.accepted = provesCode(m, *model.challenge, answer);
    model.challengeOpen = false;
    return std::vector<std::uint8_t>{};
}

// Both blocks: read whole, or written whole and then asked for the write's status.
Reply dataBlock(VirtualModule &m, const ReceivedRequest &r)
{
    VendorModel &model = m.part<VendorModel>();
    auto &info = m.part<ProductInfoBlock>().bytes;
    const bool flash = r.code() == 0x66;
    const std::size_t length = r.block[4] | r.block[5] << 8;
    if (r.block[2] == 1) return VirtualModule::header(r.code(), kOk);
    if (r.block[3] == 0) {
        std::vector<std::uint8_t> reply = VirtualModule::header(r.code(), kOk);
        for (std::size_t i = 0; i < length; ++i) {
            if (flash) reply.push_back(i < model.flash.size() ? model.flash[i] : 0xFF);
            else reply.push_back(i < info.size() ? info[i] : 0);
        }
        return reply;
    }
    model.lastWriteOperation = r.block[3];
    if (flash) {
        if (model.flash.size() < r.dataOut.size()) model.flash.resize(r.dataOut.size(), 0xFF);
        std::copy(r.dataOut.begin(), r.dataOut.end(), model.flash.begin());
    } else {
        std::copy_n(r.dataOut.begin(), std::min(r.dataOut.size(), info.size()), info.begin());
    }
    return std::vector<std::uint8_t>{};
}

}  // namespace

void installVendorCommands(VirtualModule &module)
{
    module.setHandler(0x60, vendorCode);
    module.setHandler(0x61, challenge);
    module.setHandler(0x62, confirmation);
    module.setHandler(0x66, dataBlock);
    module.setHandler(0x68, dataBlock);
}

}  // namespace fpm::sim
