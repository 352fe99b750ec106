// The vendor code in plain: both forms read and written, the status mapping, busy polling
// and the bounds of the caller's code buffers.
#include <gtest/gtest.h>

#include <memory>

#include "connection/connection_state.h"
#include "sim/vendor_model.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using Bytes = std::vector<std::uint8_t>;

class VendorCodeTest : public LibraryTest {
protected:
    Bytes sentBlock(std::size_t i = 0) { return blockOf(host().requestsWithCode(0x60).at(i)); }
};

TEST_F(VendorCodeTest, ReadsTheShortCodeHighByteFirst)
{
    sim::VirtualModule &m = connectModule();
    m.script(0x60, ScriptedReply::ok({0x12, 0x34}));
    std::uint16_t code = 0;
    EXPECT_EQ(VendorCodeOperation(0x00, &code, 0x99), 1);
    EXPECT_EQ(code, 0x1234);
    const auto r = host().requestsWithCode(0x60).at(0);
    EXPECT_EQ(blockOf(r), (Bytes{0xE0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.dataIn, 1);
    EXPECT_EQ(r.length, 8u);
    EXPECT_EQ(r.timeoutSeconds, 3u);
}

TEST_F(VendorCodeTest, WritesTheShortCodeAndTheModuleKeepsIt)
{
    sim::VirtualModule &m = connectModule();
    std::uint16_t code = 0xABCD;
    EXPECT_EQ(VendorCodeOperation(0x01, &code, 0x5A), 1);
    EXPECT_EQ(code, 0xABCD);
    EXPECT_EQ(sentBlock(), (Bytes{0xE0, 0x60, 0, 0x01, 0xAB, 0xCD, 0x5A, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(m.part<sim::VendorModel>().writeParameter, 0x5A);

    // Read back through a handle of the caller's own.
    std::uint16_t back = 0;
    EXPECT_EQ(VendorCodeOperationWithHandle(host().open(sim::kModulePath), 0x00, &back, 0), 1);
    EXPECT_EQ(back, 0xABCD);
}

TEST_F(VendorCodeTest, ReadsAndWritesTheLongCodeInItsOrder)
{
    sim::VirtualModule &m = connectModule();
    const Bytes written{1, 2, 3, 4, 5, 6, 7, 8};
    Bytes code = written;
    EXPECT_EQ(VendorCodeOperationEx(0x81, code.data()), 1);
    EXPECT_EQ(sentBlock(), (Bytes{0xE0, 0x60, 0, 0x81, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0}));
    EXPECT_EQ(code, written);

    Bytes read(8, 0);
    EXPECT_EQ(VendorCodeOperationWithHandleEx(connected(), 0x80, read.data()), 1);
    EXPECT_EQ(read, written);
    const auto r = host().requestsWithCode(0x60).at(1);
    EXPECT_EQ(blockOf(r), (Bytes{0xE0, 0x60, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.length, 10u);
    EXPECT_EQ(Bytes(m.part<sim::VendorModel>().longCode.begin(), m.part<sim::VendorModel>().longCode.end()), written);
}

TEST_F(VendorCodeTest, StatusesBecomeResultsAndOnlySuccessFillsTheCode)
{
    sim::VirtualModule &m = connectModule();
    ScriptedReply wrongEcho = ScriptedReply::ok({0x11, 0x22, 3, 4, 5, 6, 7, 8});
    wrongEcho.echo = 0x61;
    const std::pair<ScriptedReply, int> cases[] = {
        {ScriptedReply::withStatus(9), 6}, {ScriptedReply::withStatus(6), 6},  {ScriptedReply::withStatus(8), 8},
        {ScriptedReply::withStatus(2), 2}, {ScriptedReply::withStatus(14), 14}, {wrongEcho, 2},
        {ScriptedReply::failure(), 2},
    };
    for (const auto &[reply, result] : cases) {
        std::uint16_t code = 0x7777;
        m.script(0x60, reply);
        EXPECT_EQ(VendorCodeOperation(0x00, &code, 0), result) << result;
        EXPECT_EQ(code, 0x7777);

        Bytes longCode(8, 0x77);
        m.script(0x60, reply);
        EXPECT_EQ(VendorCodeOperationEx(0x80, longCode.data()), result) << result;
        EXPECT_EQ(longCode, Bytes(8, 0x77));
    }
}

TEST_F(VendorCodeTest, BusyIsAskedAgainOnEachTickForTenSecondsAtMost)
{
    ScopedFakeClock time;
    sim::VirtualModule &m = connectModule();
    m.script(0x60, ScriptedReply::busyThen(2, ScriptedReply::ok({0x00, 0x42})));
    std::uint16_t code = 0;
    EXPECT_EQ(VendorCodeOperation(0x00, &code, 0), 1);
    EXPECT_EQ(code, 0x0042);
    auto requests = host().requestsWithCode(0x60);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].timeMs - requests[0].timeMs, 200u);
    for (const auto &r : requests) EXPECT_EQ(blockOf(r), blockOf(requests[0]));

    host().clearRequests();
    m.answerAlways(0x60, ScriptedReply::withStatus(3));
    Bytes longCode(8, 0x77);
    EXPECT_EQ(VendorCodeOperationEx(0x80, longCode.data()), 2);
    requests = host().requestsWithCode(0x60);
    ASSERT_EQ(requests.size(), 101u);
    EXPECT_EQ(requests.back().timeMs - requests[0].timeMs, 10000u);
    EXPECT_EQ(longCode, Bytes(8, 0x77));
}

TEST_F(VendorCodeTest, EachFunctionFillsOnlyItsOwnOperations)
{
    sim::VirtualModule &m = connectModule();
    // The long-code read goes out from the short-code function but copies nothing.
    std::uint16_t code = 0x7777;
    EXPECT_EQ(VendorCodeOperation(0x80, &code, 0x33), 1);
    EXPECT_EQ(code, 0x7777);
    EXPECT_EQ(sentBlock(0), (Bytes{0xE0, 0x60, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(host().requestsWithCode(0x60).at(0).length, 8u);

    // The short-code write from the long-code function sends no code bytes.
    Bytes longCode(8, 0x77);
    m.script(0x60, ScriptedReply::ok({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(VendorCodeOperationEx(0x01, longCode.data()), 1);
    EXPECT_EQ(sentBlock(1), (Bytes{0xE0, 0x60, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(longCode, Bytes(8, 0x77));

    // An operation the module does not know; no code is needed for it.
    EXPECT_EQ(VendorCodeOperation(0x05, nullptr, 0), 6);
}

TEST_F(VendorCodeTest, AMissingCodeSendsNothing)
{
    connectModule();
    EXPECT_EQ(VendorCodeOperation(0x00, nullptr, 0), 2);
    EXPECT_EQ(VendorCodeOperation(0x01, nullptr, 0), 2);
    EXPECT_EQ(VendorCodeOperationEx(0x80, nullptr), 2);
    EXPECT_EQ(VendorCodeOperationWithHandleEx(connected(), 0x81, nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(VendorCodeTest, TheExchangeClearsAPendingCancel)
{
    connectModule();
    state().cancelRequested.store(1);
    std::uint16_t code = 0;
    EXPECT_EQ(VendorCodeOperation(0x00, &code, 0), 1);
    EXPECT_EQ(state().cancelRequested.load(), 0);
}

TEST_F(VendorCodeTest, WriteVendorCodeChecksItsArgumentsBeforeSending)
{
    connectModule();
    const Bytes code(8, 0x42);
    for (std::int32_t count : {0, 9, -1, INT32_MIN}) EXPECT_EQ(WriteVendorCode(code.data(), count), -1) << count;
    EXPECT_EQ(WriteVendorCode(nullptr, 0), -1);
    EXPECT_EQ(WriteVendorCode(nullptr, 3), -2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(VendorCodeTest, WriteVendorCodeSendsAllEightBytesWhateverTheCount)
{
    sim::VirtualModule &m = connectModule();
    const Bytes eight{9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_EQ(WriteVendorCode(eight.data(), 8), 0);
    EXPECT_EQ(sentBlock(0), (Bytes{0xE0, 0x60, 0, 0x81, 9, 8, 7, 6, 5, 4, 3, 2, 0, 0, 0, 0}));
    EXPECT_EQ(WriteVendorCode(eight.data(), 3), 0);
    EXPECT_EQ(sentBlock(1), (Bytes{0xE0, 0x60, 0, 0x81, 9, 8, 7, 6, 5, 4, 3, 2, 0, 0, 0, 0}));

    for (ScriptedReply refusal : {ScriptedReply::withStatus(2), ScriptedReply::withStatus(9), ScriptedReply::failure()}) {
        m.script(0x60, refusal);
        EXPECT_EQ(WriteVendorCode(eight.data(), 8), -3);
    }
}

}  // namespace
}  // namespace fpm::test
