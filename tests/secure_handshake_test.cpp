// The secure vendor-code handshake: the keyed block routines, the three transfers as the
// module receives them, what the answered block holds, and every way it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "sim/product_info_model.h"
#include "sim/vendor_model.h"
#include "support/library_fixture.h"
#include "vendor/secure_block.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using Bytes = std::vector<std::uint8_t>;
using Block = std::array<std::uint8_t, 32>;

const vendor::ScrambleKey kKey{0xF0, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}};

Block counting()
{
    Block b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 37 + 5);
    return b;
}

TEST(SecureBlockTest, ScramblingChainsEachByteOnTheOneBefore)
{
    // Zeros in: each output byte is the one before it with the table byte of its position.
    const Bytes zeros(10, 0);
    Bytes out(10, 0xEE);
    std::int32_t length = 0;
    EXPECT_EQ(vendor::scrambleSecureBlock(kKey, zeros.data(), 10, out.data(), &length), 0);
    EXPECT_EQ(length, 10);
    EXPECT_EQ(out, (Bytes{0xF0, 0x51, 0xF3, 0x50, 0xF4, 0x51, 0xF7, 0x50, 0xF0, 0x51}));
}

TEST(SecureBlockTest, TheRoutinesUndoEachOtherWithTheSameKey)
{
    const Block plain = counting();
    Block scrambled{}, back{};
    std::int32_t length = 32;
    ASSERT_EQ(vendor::scrambleSecureBlock(kKey, plain.data(), 32, scrambled.data(), &length), 0);
    EXPECT_NE(scrambled, plain);
    ASSERT_EQ(vendor::unscrambleSecureBlock(kKey, scrambled.data(), back.data(), &length), 0);
    EXPECT_EQ(back, plain);

    // In place gives the same bytes as into a separate buffer.
    Block inPlace = scrambled;
    ASSERT_EQ(vendor::unscrambleSecureBlock(kKey, inPlace.data(), inPlace.data(), nullptr), 0);
    EXPECT_EQ(inPlace, plain);

    // The library's two keys differ: the other key does not undo it.
    ASSERT_EQ(vendor::scrambleSecureBlock(vendor::responseKey(), plain.data(), 32, scrambled.data(), nullptr), 0);
    vendor::unscrambleSecureBlock(vendor::challengeKey(), scrambled.data(), back.data(), nullptr);
    EXPECT_NE(back, plain);
}

TEST(SecureBlockTest, SizeQueriesAndMissingInput)
{
    const Block plain = counting();
    std::int32_t length = 0;
    EXPECT_EQ(vendor::unscrambleSecureBlock(kKey, nullptr, nullptr, &length), -1);
    EXPECT_EQ(vendor::unscrambleSecureBlock(kKey, plain.data(), nullptr, &length), 32);
    EXPECT_EQ(length, 32);
    length = 0;
    EXPECT_EQ(vendor::scrambleSecureBlock(kKey, plain.data(), 20, nullptr, &length), 20);
    EXPECT_EQ(length, 20);
    EXPECT_EQ(vendor::scrambleSecureBlock(kKey, nullptr, 32, nullptr, &length), -1);
    EXPECT_EQ(vendor::scrambleSecureBlock(kKey, plain.data(), 0, nullptr, &length), -1);
    EXPECT_EQ(vendor::scrambleSecureBlock(kKey, plain.data(), -5, nullptr, &length), -1);
}

class SecureHandshakeTest : public LibraryTest {
protected:
    sim::VendorModel &model() { return host().module()->part<sim::VendorModel>(); }
    // The module's answer to the proof: its data-out phase, then the confirmation read.
    void scriptConfirmation(ScriptedReply confirmation)
    {
        host().module()->script(0x62, ScriptedReply::ok());
        host().module()->script(0x62, confirmation);
    }
};

TEST_F(SecureHandshakeTest, TheModuleAcceptsTheShortCodeInThreeTransfers)
{
    connectModule();
    EXPECT_EQ(ConfirmSecureVendorCode(0x0102), 1);

    const auto requests = host().requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(blockOf(requests[0]), (Bytes{0xE0, 0x61, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[0].dataIn, 1);
    EXPECT_EQ(requests[0].length, 34u);
    EXPECT_EQ(blockOf(requests[1]), (Bytes{0xE0, 0x62, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[1].dataIn, 0);
    EXPECT_EQ(requests[1].dataOut.size(), 32u);
    EXPECT_EQ(blockOf(requests[2]), (Bytes{0xE0, 0x62, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[2].dataIn, 1);
    EXPECT_EQ(requests[2].length, 8u);
    for (const auto &r : requests) EXPECT_EQ(r.timeoutSeconds, 3u);

    // The answer is the challenge with the code, high byte first, at bytes 8 and 9.
    Block expected = *model().challenge;
    expected[8] = 0x01;
    expected[9] = 0x02;
    EXPECT_EQ(*model().response, expected);
}

TEST_F(SecureHandshakeTest, AWrongCodeIsRefused)
{
    connectModule();
    EXPECT_EQ(ConfirmSecureVendorCode(0x0201), 2);
    EXPECT_EQ(ConfirmSecureVendorCodeWithHandle(connected(), 0x0102), 1);
    host().module()->part<sim::ProductInfoBlock>().setVendorCode(0xBEEF);
    EXPECT_EQ(ConfirmSecureVendorCodeWithHandle(connected(), 0x0102), 2);
    EXPECT_EQ(ConfirmSecureVendorCodeWithHandle(connected(), 0xBEEF), 1);
}

TEST_F(SecureHandshakeTest, TheLongFormSendsAllEightBytes)
{
    connectModule();
    const auto &longCode = model().longCode;
    const Bytes code(longCode.begin(), longCode.end());
    EXPECT_EQ(ConfirmSecureVendorCodeWithHandleEx(connected(), code.data()), 1);
    EXPECT_TRUE(std::equal(code.begin(), code.end(), model().response->begin() + 8));

    Bytes wrong = code;
    wrong[7] ^= 1;
    EXPECT_EQ(ConfirmSecureVendorCodeWithHandleEx(connected(), wrong.data()), 2);

    host().clearRequests();
    EXPECT_EQ(ConfirmSecureVendorCodeWithHandleEx(connected(), nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(SecureHandshakeTest, OnlyAConfirmationOfCodeOkIsAcceptance)
{
    connectModule();
    ScriptedReply otherEcho = ScriptedReply::ok();
    otherEcho.echo = 0x61;
    const std::pair<ScriptedReply, int> cases[] = {
        {ScriptedReply::bytes({0x62, 0x01}), 1}, {ScriptedReply::withStatus(3), 2}, {ScriptedReply::withStatus(2), 2},
        {otherEcho, 2},                          {ScriptedReply::failure(), 2},
    };
    for (const auto &[confirmation, result] : cases) {
        host().clearRequests();
        scriptConfirmation(confirmation);
        // A wrong code: only the scripted confirmation decides.
        EXPECT_EQ(ConfirmSecureVendorCode(0x0000), result);
        EXPECT_EQ(host().requestsWithCode(0x62).size(), 2u);  // a busy module is not asked again
    }
}

TEST_F(SecureHandshakeTest, AFailedTransferEndsTheHandshake)
{
    sim::VirtualModule &m = connectModule();
    m.script(0x61, ScriptedReply::failure());
    EXPECT_EQ(ConfirmSecureVendorCode(0x0102), 2);
    EXPECT_TRUE(host().requestsWithCode(0x62).empty());

    host().clearRequests();
    m.script(0x62, ScriptedReply::failure());
    EXPECT_EQ(ConfirmSecureVendorCode(0x0102), 2);
    EXPECT_EQ(host().requestsWithCode(0x62).size(), 1u);  // no confirmation read after it
}

TEST_F(SecureHandshakeTest, TheChallengeIsHandedOutAsItCame)
{
    sim::VirtualModule &m = connectModule();
    Bytes raw{0xAA, 0xBB};  // the header is not examined
    for (int i = 0; i < 32; ++i) raw.push_back(static_cast<std::uint8_t>(100 + i));
    m.script(0x61, ScriptedReply::bytes(raw));
    Bytes challenge(32, 0);
    EXPECT_EQ(GetSecureVendorCode(challenge.data()), 1);
    EXPECT_EQ(challenge, Bytes(raw.begin() + 2, raw.end()));

    m.script(0x61, ScriptedReply::failure());
    Bytes untouched(32, 0x55);
    EXPECT_EQ(GetSecureVendorCodeWithHandle(connected(), untouched.data()), 2);
    EXPECT_EQ(untouched, Bytes(32, 0x55));

    host().clearRequests();
    EXPECT_EQ(GetSecureVendorCode(nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

// The extended form connects first and names the step that failed.
class ConfirmExTest : public SecureHandshakeTest {
protected:
    std::vector<std::uint8_t> codesAfterConnect()
    {
        std::vector<std::uint8_t> codes;
        bool connected = false;
        for (const auto &r : host().requests()) {
            connected = connected || r.code() == 0x3E;
            if (connected) codes.push_back(r.code());
        }
        return codes;
    }
    Bytes longCode()
    {
        const auto &code = host().module()->part<sim::VendorModel>().longCode;
        return {code.begin(), code.end()};
    }
};

TEST_F(ConfirmExTest, ConnectsSetsTheDeviceStatusAndProvesTheCode)
{
    host().addModule();
    const Bytes code = longCode();
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 8), 0);
    EXPECT_EQ(codesAfterConnect(), (Bytes{0x3E, 0x61, 0x62, 0x62}));
    EXPECT_EQ(blockOf(host().requestsWithCode(0x3E).at(0))[3], 1);
    EXPECT_EQ(host().requestsWithCode(0x32).size(), 1u);  // the connect's firmware test

    // Only the counted bytes are placed; a device status refused does not matter.
    host().module()->script(0x3E, ScriptedReply::withStatus(2));
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 3), 0);
    Block expected = *model().challenge;
    std::copy_n(code.begin(), 3, expected.begin() + 8);
    EXPECT_EQ(*model().response, expected);

    // With no bytes the challenge goes back as it came.
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 0), 252);
    EXPECT_EQ(*model().response, *model().challenge);
}

TEST_F(ConfirmExTest, ArgumentsAreCheckedBeforeTheModuleIsTouched)
{
    host().addModule();
    const Bytes code(9, 1);
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 9), -1);
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 0xFFFFFFFFu), -1);
    EXPECT_EQ(ConfirmSecureVendorCodeEx(nullptr, 8), -2);
    EXPECT_TRUE(host().requests().empty());

    host().reset();  // no module at all
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 8), 2);
}

TEST_F(ConfirmExTest, EachFailedStepHasItsResult)
{
    host().addModule();
    const Bytes code = longCode();
    ScriptedReply otherEcho = ScriptedReply::ok();
    otherEcho.echo = 0x61;
    host().module()->script(0x61, ScriptedReply::failure());
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 8), -3);
    host().module()->script(0x62, ScriptedReply::failure());
    EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 8), 2);

    const std::pair<ScriptedReply, int> confirmations[] = {
        {ScriptedReply::failure(), 250}, {otherEcho, 251}, {ScriptedReply::withStatus(3), 252},
        {ScriptedReply::withStatus(2), 252}};
    for (const auto &[confirmation, result] : confirmations) {
        scriptConfirmation(confirmation);
        EXPECT_EQ(ConfirmSecureVendorCodeEx(code.data(), 8), result);
    }
}

}  // namespace
}  // namespace fpm::test
