// Sensor registers and the WOE mode.
#include <gtest/gtest.h>

#include "connection/connection_state.h"
#include "sim/factory_model.h"
#include "support/command_calls.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

std::uint8_t value = 0xAA;
std::uint8_t woe[3] = {0xAA, 0xAA, 0xAA};

std::vector<CommandCall> calls()
{
    return {
        {"ReadRegister", [](FPM_HANDLE) { return ReadRegister(0x10, &value); }, false, {0xE0, 0x50, 1, 0x10}, 10},
        {"ReadRegisterEx", [](FPM_HANDLE) { return ReadRegisterEx(2, 0x10, &value); }, false,
         {0xE0, 0x50, 1, 0x10, 0, 0, 2}, 10},
        {"ReadRegisterWithHandle", [](FPM_HANDLE h) { return ReadRegisterWithHandle(h, 0x10, &value); }, true,
         {0xE0, 0x50, 1, 0x10}, 10},
        {"WriteRegister", [](FPM_HANDLE) { return WriteRegister(0x21, 0x40); }, false, {0xE0, 0x51, 1, 0x21, 0x40}, 10},
        {"WriteRegisterEx", [](FPM_HANDLE) { return WriteRegisterEx(3, 0x21, 0x40); }, false,
         {0xE0, 0x51, 1, 0x21, 0x40, 0, 3}, 10},
        {"WriteRegisterWithHandle", [](FPM_HANDLE h) { return WriteRegisterWithHandle(h, 0x21, 0x40); }, true,
         {0xE0, 0x51, 1, 0x21, 0x40}, 10},
        {"WriteRegisterAsDefault", [](FPM_HANDLE) { return WriteRegisterAsDefault(3, 0x21, 0x40); }, false,
         {0xE0, 0x51, 1, 0x21, 0x40, 1, 3}, 10},
        {"WriteRegisterAsDefaultWithHandle",
         [](FPM_HANDLE h) { return WriteRegisterAsDefaultWithHandle(h, 0x21, 0x40); }, true,
         {0xE0, 0x51, 1, 0x21, 0x40, 1, 0}, 10},
        {"EnterWOE", [](FPM_HANDLE) { return EnterWOE(); }, false, {0xE0, 0x4A}, 10},
        {"EnterWOEWithHandle", [](FPM_HANDLE h) { return EnterWOEWithHandle(h); }, true, {0xE0, 0x4A}, 10},
        {"ExitWOE", [](FPM_HANDLE) { return ExitWOE(); }, false, {0xE0, 0x4B, 1}, 10},
        {"ExitWOEWithHandle", [](FPM_HANDLE h) { return ExitWOEWithHandle(h); }, true, {0xE0, 0x4B, 1}, 10},
        {"ReadWOEstatus", [](FPM_HANDLE) { return ReadWOEstatus(&woe[0], &woe[1], &woe[2]); }, false,
         {0xE0, 0x4C}, 10},
        {"ReadWOEstatusWithHandle",
         [](FPM_HANDLE h) { return ReadWOEstatusWithHandle(h, &woe[0], &woe[1], &woe[2]); }, true, {0xE0, 0x4C}, 10},
    };
}

class RegisterTest : public LibraryTest {
protected:
    ScopedFakeClock time;
    void SetUp() override
    {
        LibraryTest::SetUp();
        resetOutputs();
    }
    static void resetOutputs()
    {
        value = 0xAA;
        woe[0] = woe[1] = woe[2] = 0xAA;
    }
    static bool untouched() { return value == 0xAA && woe[0] == 0xAA && woe[1] == 0xAA && woe[2] == 0xAA; }
};

TEST_F(RegisterTest, EachCallSendsItsBlockOnItsHandle)
{
    connectModule();
    FPM_HANDLE own = host().open(sim::kModulePath);
    for (const CommandCall &c : calls()) {
        host().clearRequests();
        EXPECT_EQ(c.call(own), 1) << c.name;
        expectOneRequest(c, c.usesGivenHandle ? own : connected());
    }
}

TEST_F(RegisterTest, OutputsComeFromTheReplyOnStatusOneOnly)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x50, ScriptedReply::ok({0x7F}));
    EXPECT_EQ(ReadRegisterEx(2, 0x10, &value), 1);
    EXPECT_EQ(value, 0x7F);
    module.script(0x4C, ScriptedReply::ok({0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(ReadWOEstatus(&woe[0], &woe[1], &woe[2]), 1);
    EXPECT_EQ(std::vector<std::uint8_t>(woe, woe + 3), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(RegisterTest, OtherStatusesArePassedOnAndLeaveTheOutputs)
{
    freshLog();
    sim::VirtualModule &module = connectModule();
    state().cancelRequested.store(1);
    for (const CommandCall &c : calls()) {
        for (std::uint8_t status : {2, 4, 6, 8, 9, 0x80}) {
            resetOutputs();
            ScriptedReply reply = ScriptedReply::withStatus(status);
            reply.values = {0x11, 0x22, 0x33};
            module.script(c.block[1], reply);
            EXPECT_EQ(c.call(connected()), status) << c.name;
            EXPECT_TRUE(untouched()) << c.name;
        }
        ScriptedReply otherEcho = ScriptedReply::ok({0x11, 0x22, 0x33});
        otherEcho.echo = 0x4F;
        module.script(c.block[1], otherEcho);
        EXPECT_EQ(c.call(connected()), 2) << c.name;
        module.script(c.block[1], ScriptedReply::failure());
        EXPECT_EQ(c.call(connected()), 2) << c.name;
        EXPECT_TRUE(untouched()) << c.name;
    }
    EXPECT_TRUE(logMessages().empty());
    EXPECT_EQ(state().cancelRequested.load(), 1);
}

TEST_F(RegisterTest, BusyIsAskedAgainOnTheNextTick)
{
    sim::VirtualModule &module = connectModule();
    for (const CommandCall &c : calls()) {
        host().clearRequests();
        module.script(c.block[1], ScriptedReply::busyThen(1, ScriptedReply::ok({0x11, 0x22, 0x33})));
        const std::uint64_t start = time.clock.nowMs();
        EXPECT_EQ(c.call(connected()), 1) << c.name;
        auto sends = host().requests();
        ASSERT_EQ(sends.size(), 2u) << c.name;
        EXPECT_EQ(sends[1].timeMs - start, 100u) << c.name;
        EXPECT_EQ(blockOf(sends[1]), block16(c.block)) << c.name;
    }
}

TEST_F(RegisterTest, MissingOutputsSendNothing)
{
    connectModule();
    std::uint8_t b;
    EXPECT_EQ(ReadRegister(0x10, nullptr), 2);
    EXPECT_EQ(ReadRegisterEx(1, 0x10, nullptr), 2);
    EXPECT_EQ(ReadRegisterWithHandle(connected(), 0x10, nullptr), 2);
    EXPECT_EQ(ReadWOEstatus(&b, nullptr, &b), 2);
    EXPECT_EQ(ReadWOEstatusWithHandle(connected(), &b, &b, nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(RegisterTest, TheVirtualModuleRemembersRegistersPerGroup)
{
    connectModule();
    std::uint8_t v = 0;
    EXPECT_EQ(ReadRegister(0x10, &v), 1);
    const std::uint8_t reset = v;
    EXPECT_EQ(WriteRegister(0x10, 0x5A), 1);
    EXPECT_EQ(WriteRegisterEx(2, 0x10, 0x66), 1);
    EXPECT_EQ(ReadRegister(0x10, &v), 1);
    EXPECT_EQ(v, 0x5A);
    EXPECT_EQ(ReadRegisterEx(2, 0x10, &v), 1);
    EXPECT_EQ(v, 0x66);
    EXPECT_EQ(ReadRegisterEx(1, 0x10, &v), 1);
    EXPECT_NE(v, 0x5A);
    EXPECT_EQ(WriteRegisterAsDefaultWithHandle(connected(), 0x10, reset), 1);
    EXPECT_EQ(ReadRegisterWithHandle(connected(), 0x10, &v), 1);
    EXPECT_EQ(v, reset);
}

TEST_F(RegisterTest, WoeStatusFollowsTheMode)
{
    connectModule();
    std::uint8_t a, b, c;
    EXPECT_EQ(ReadWOEstatus(&a, &b, &c), 1);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(EnterWOE(), 1);
    EXPECT_EQ(ReadWOEstatus(&a, &b, &c), 1);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(ExitWOEWithHandle(connected()), 1);
    EXPECT_EQ(ReadWOEstatusWithHandle(connected(), &a, &b, &c), 1);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(c, 1);  // one wake counted
}

}  // namespace
}  // namespace fpm::test
