// Baseline, calibration and sensing commands: their blocks and time-outs, the module's
// status as the result, and which replies reach the caller's pointers.
#include <gtest/gtest.h>

#include <functional>

#include "connection/connection_state.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using Bytes = std::vector<std::uint8_t>;

class SensorCommandTest : public LibraryTest {
protected:
    ScopedFakeClock time;
};

struct SensorCase {
    const char *name;
    std::function<int()> call;
    Bytes block;  // bytes 1 on
    std::uint32_t timeout;
};

std::uint8_t g_byte;
std::uint8_t g_record[5];
std::uint16_t g_value1, g_value2;

const SensorCase kCases[] = {
    {"EnterSensingMode", [] { return EnterSensingMode(); }, {0x44, 0}, 10},
    {"EnterSensingModeWithHandle", [] { return EnterSensingModeWithHandle(state().deviceHandle); }, {0x44, 0}, 10},
    {"GetCurrentData", [] { return GetCurrentData(g_record); }, {0x45, 0}, 10},
    {"GetCurrentDataWithHandle", [] { return GetCurrentDataWithHandle(state().deviceHandle, g_record); }, {0x45, 0}, 10},
    {"DoCalibration", [] { return DoCalibration(0x1234, 0xABCD, 0x0F0E, &g_value1, &g_value2, &g_byte); },
     {0x46, 1, 0x34, 0x12, 0xCD, 0xAB, 0x0E, 0x0F}, 10},
    {"DoCalibrationOneValue", [] { return DoCalibration(0x1234, 0xABCD, 0x0F0E, &g_value1, nullptr, &g_byte); },
     {0x46, 1, 0x34, 0x12, 0xCD, 0xAB, 0, 0}, 10},
    {"DoCalibrationWithHandle",
     [] { return DoCalibrationWithHandle(state().deviceHandle, 1, 2, 3, nullptr, &g_value2, &g_byte); },
     {0x46, 1, 1, 0, 2, 0, 0, 0}, 10},
    {"OutputDAC", [] { return OutputDAC(&g_byte); }, {0x48, 1}, 10},
    {"OutputDACWithHandle", [] { return OutputDACWithHandle(state().deviceHandle, &g_byte); }, {0x48, 1}, 10},
    {"UpdateBaseImage", [] { return UpdateBaseImage(); }, {0x59, 0}, 10},
    {"GetVCB", [] { return GetVCB(&g_byte); }, {0x71, 1}, 10},
    {"SetVCB", [] { return SetVCB(0x1C7); }, {0x72, 1, 0xC7}, 10},
    {"smartcard_auto_test", [] { return smartcard_auto_test(&g_byte); }, {0x78, 1}, 5},
};

class EverySensorCommand : public SensorCommandTest, public ::testing::WithParamInterface<SensorCase> {};

TEST_P(EverySensorCommand, SendsItsBlockAndReturnsTheModulesStatus)
{
    freshLog();
    const SensorCase &c = GetParam();
    sim::VirtualModule &m = connectModule();
    const std::uint8_t code = c.block[0];
    Bytes block(16, 0);
    block[0] = 0xE0;
    std::copy(c.block.begin(), c.block.end(), block.begin() + 1);

    m.script(code, ScriptedReply::busyThen(2, ScriptedReply::ok()));
    EXPECT_EQ(c.call(), 1);
    auto requests = host().requestsWithCode(code);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].timeMs - requests[0].timeMs, 200u);
    for (const auto &r : requests) {
        EXPECT_EQ(blockOf(r), block);
        EXPECT_EQ(r.timeoutSeconds, c.timeout);
        EXPECT_EQ(r.length, 8u);
        EXPECT_EQ(r.dataIn, 1);
    }

    for (std::uint8_t status : {2, 4, 6, 7, 9, 200}) {
        m.script(code, ScriptedReply::withStatus(status));
        EXPECT_EQ(c.call(), status);
    }
    ScriptedReply wrongEcho = ScriptedReply::ok();
    wrongEcho.echo = static_cast<std::uint8_t>(code + 1);
    m.script(code, wrongEcho);
    EXPECT_EQ(c.call(), 2);
    m.script(code, ScriptedReply::failure());
    EXPECT_EQ(c.call(), 2);
    EXPECT_TRUE(logMessages().empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, EverySensorCommand, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SensorCommandTest, ValuesReachTheCallerOnlyOnTheirReplies)
{
    sim::VirtualModule &m = connectModule();
    std::uint8_t byte = 0xEE;
    std::uint8_t record[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};

    m.script(0x45, ScriptedReply{6, {1, 2, 3, 4, 5}});
    EXPECT_EQ(GetCurrentData(record), 6);
    EXPECT_EQ(record[0], 0xEE);
    m.script(0x45, ScriptedReply::ok({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(GetCurrentData(record), 1);
    EXPECT_EQ(Bytes(record, record + 6), (Bytes{1, 2, 3, 4, 5, 0xEE}));

    m.script(0x48, ScriptedReply{6, {0x31}});
    EXPECT_EQ(OutputDAC(&byte), 6);
    EXPECT_EQ(byte, 0xEE);
    m.script(0x48, ScriptedReply::ok({0x32}));
    EXPECT_EQ(OutputDAC(&byte), 1);
    EXPECT_EQ(byte, 0x32);

    m.script(0x78, ScriptedReply::ok({0x41}));
    EXPECT_EQ(smartcard_auto_test(&byte), 1);
    EXPECT_EQ(byte, 0x32);
    m.script(0x78, ScriptedReply{6, {0x42}});
    EXPECT_EQ(smartcard_auto_test(&byte), 6);
    EXPECT_EQ(byte, 0x42);

    // Every reply that echoes the code, failures included.
    m.script(0x71, ScriptedReply{2, {0x51}});
    EXPECT_EQ(GetVCB(&byte), 2);
    EXPECT_EQ(byte, 0x51);
    m.script(0x71, ScriptedReply::failure());
    EXPECT_EQ(GetVCB(&byte), 2);
    EXPECT_EQ(byte, 0x51);
}

TEST_F(SensorCommandTest, CalibrationValuesComeWithEveryReplyItsByteOnlyWithStatus6)
{
    sim::VirtualModule &m = connectModule();
    std::uint16_t value1 = 0, value2 = 0;
    std::uint8_t byte = 0xEE;
    m.script(0x46, ScriptedReply{9, {0x77, 0, 0x34, 0x12, 0xCD, 0xAB}});
    EXPECT_EQ(DoCalibration(1, 2, 3, &value1, &value2, &byte), 9);
    EXPECT_EQ(value1, 0x1234);
    EXPECT_EQ(value2, 0xABCD);
    EXPECT_EQ(byte, 0xEE);
    m.script(0x46, ScriptedReply{6, {0x77, 0, 0x01, 0x02, 0x03, 0x04}});
    EXPECT_EQ(DoCalibration(1, 2, 3, &value1, nullptr, &byte), 6);
    EXPECT_EQ(value1, 0x0201);
    EXPECT_EQ(value2, 0xABCD);
    EXPECT_EQ(byte, 0x77);
    // The two values are optional, the other outputs are not.
    EXPECT_EQ(DoCalibration(1, 2, 3, nullptr, nullptr, &byte), 1);
    host().clearRequests();
    EXPECT_EQ(DoCalibration(1, 2, 3, &value1, &value2, nullptr), 2);
    EXPECT_EQ(GetCurrentData(nullptr), 2);
    EXPECT_EQ(OutputDAC(nullptr), 2);
    EXPECT_EQ(GetVCB(nullptr), 2);
    EXPECT_EQ(smartcard_auto_test(nullptr), 2);
    EXPECT_EQ(CheckImage(nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(SensorCommandTest, TheRepairSwitchTakesAnyNonZeroByteAsOn)
{
    sew_patch_enable(0);
    EXPECT_EQ(state().defectRepairEnabled, 0);
    sew_patch_enable(0x80);
    EXPECT_NE(state().defectRepairEnabled, 0);
}

}  // namespace
}  // namespace fpm::test
