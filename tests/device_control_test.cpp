// LEDs, device status, boot-loader switch and RF connection.
#include <gtest/gtest.h>

#include "connection/connection_state.h"
#include "sim/device_control_model.h"
#include "support/command_calls.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

std::vector<CommandCall> controls()
{
    return {
        {"ChangeLEDsStatus", [](FPM_HANDLE) { return ChangeLEDsStatus(0x103); }, false, {0xE0, 0x3D, 0, 0x03}, 10},
        {"ChangeLEDsStatusWithHandle", [](FPM_HANDLE h) { return ChangeLEDsStatusWithHandle(h, 3); }, true,
         {0xE0, 0x3D, 0, 0x03}, 10},
        {"ChangeDevStatus", [](FPM_HANDLE) { return ChangeDevStatus(1); }, false, {0xE0, 0x3E, 0, 0x01}, 10},
        {"SwitchToBoot", [](FPM_HANDLE) { return SwitchToBoot(); }, false, {0xE0, 0x52}, 3},
        {"RfConnection", [](FPM_HANDLE) { return RfConnection(); }, false, {0xE0, 0x53}, 3},
        {"RfConnectionWithHandle", [](FPM_HANDLE h) { return RfConnectionWithHandle(h); }, true, {0xE0, 0x53}, 3},
    };
}

class DeviceControlTest : public LibraryTest {
protected:
    ScopedFakeClock time;
};

TEST_F(DeviceControlTest, EachControlSendsItsBlockOnItsHandle)
{
    connectModule();
    // A second handle on the same module, so that the twins show which one they use.
    FPM_HANDLE own = host().open(sim::kModulePath);
    for (const CommandCall &c : controls()) {
        host().clearRequests();
        EXPECT_EQ(c.call(own), 1) << c.name;
        expectOneRequest(c, c.usesGivenHandle ? own : connected());
    }
}

TEST_F(DeviceControlTest, TheModuleGetsOnlyTheLowByteOfTheArgument)
{
    sim::VirtualModule &module = connectModule();
    EXPECT_EQ(ChangeDevStatus(0x7FFFFF00), 1);
    EXPECT_EQ(module.part<sim::DeviceControlState>().deviceStatus, 0);
    EXPECT_EQ(ChangeLEDsStatus(-1), 1);
    EXPECT_EQ(module.part<sim::DeviceControlState>().ledState, 0xFF);
}

TEST_F(DeviceControlTest, StatusOneIsSuccessEverythingElseFailure)
{
    sim::VirtualModule &module = connectModule();
    for (const CommandCall &c : controls()) {
        const std::uint8_t code = c.block[1];
        for (std::uint8_t status : {0, 2, 4, 5, 6, 7, 8, 9, 10, 255}) {
            module.script(code, ScriptedReply::withStatus(status));
            EXPECT_EQ(c.call(connected()), 2) << c.name << " status " << int(status);
        }
        ScriptedReply otherEcho = ScriptedReply::ok();
        otherEcho.echo = 0x34;
        module.script(code, otherEcho);
        EXPECT_EQ(c.call(connected()), 2) << c.name;
        module.script(code, ScriptedReply::failure());
        EXPECT_EQ(c.call(connected()), 2) << c.name;
    }
}

TEST_F(DeviceControlTest, BusyIsAskedAgainOncePerTick)
{
    sim::VirtualModule &module = connectModule();
    for (const CommandCall &c : controls()) {
        host().clearRequests();
        module.script(c.block[1], ScriptedReply::busyThen(3, ScriptedReply::ok()));
        const std::uint64_t start = time.clock.nowMs();
        EXPECT_EQ(c.call(connected()), 1) << c.name;
        auto sends = host().requests();
        ASSERT_EQ(sends.size(), 4u) << c.name;
        for (std::size_t i = 0; i < sends.size(); ++i) {
            EXPECT_EQ(sends[i].timeMs - start, 100 * i) << c.name;
            EXPECT_EQ(blockOf(sends[i]), block16(c.block)) << c.name;
        }
    }
}

TEST_F(DeviceControlTest, LedAndDeviceStatusLogTheirFailuresTheOthersNothing)
{
    freshLog();
    sim::VirtualModule &module = connectModule();
    const std::vector<std::pair<ScriptedReply, std::string>> failures = {
        {ScriptedReply::failure(), "RecvDataTransaction Fail"},
        {[] {
             ScriptedReply r = ScriptedReply::ok();
             r.echo = 0x00;
             return r;
         }(),
         "Buffer[0] != LastCmd"},
        {ScriptedReply::withStatus(2), "CODE_ERROR"},
        {ScriptedReply::withStatus(8), "CODE_CANCELING"},
        {ScriptedReply::withStatus(9), "CODE_UNKNOWN_CMD"},
        {ScriptedReply::withStatus(0), "default"},
        {ScriptedReply::withStatus(7), "default"},
    };
    const std::map<std::string, std::string> prefixes = {{"ChangeLEDsStatus", "ChangeLEDsStatus"},
                                                         {"ChangeLEDsStatusWithHandle", "ChangeLEDsStatus"},
                                                         {"ChangeDevStatus", "ChangeDevStatus"}};
    std::vector<std::string> expected;
    for (const CommandCall &c : controls()) {
        for (const auto &[reply, reason] : failures) {
            module.script(c.block[1], reply);
            EXPECT_EQ(c.call(connected()), 2) << c.name << " " << reason;
            if (auto p = prefixes.find(c.name); p != prefixes.end()) expected.push_back(p->second + " : " + reason);
        }
    }
    EXPECT_EQ(logMessages(), expected);
}

TEST_F(DeviceControlTest, ControlsLeaveTheCancelFlagsAlone)
{
    connectModule();
    state().cancelRequested.store(1);
    for (const CommandCall &c : controls()) EXPECT_EQ(c.call(connected()), 1) << c.name;
    EXPECT_EQ(state().cancelRequested.load(), 1);
    EXPECT_EQ(state().commandInProgress.load(), 0);
}

TEST_F(DeviceControlTest, PlainFormsFailWithoutAConnection)
{
    host().addModule();
    FPM_HANDLE own = host().open(sim::kModulePath);
    EXPECT_EQ(ChangeDevStatus(1), 2);
    EXPECT_EQ(SwitchToBoot(), 2);
    EXPECT_EQ(RfConnection(), 2);
    EXPECT_EQ(ChangeLEDsStatus(3), 2);
    for (const auto &r : host().requests()) EXPECT_TRUE(r.path.empty());  // none reached a disk
    // The twins need no connection of the library's.
    EXPECT_EQ(RfConnectionWithHandle(own), 1);
    EXPECT_EQ(ChangeLEDsStatusWithHandle(own, 3), 1);
    EXPECT_EQ(host().module()->part<sim::DeviceControlState>().ledState, 3);
}

}  // namespace
}  // namespace fpm::test
