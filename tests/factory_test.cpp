// Test mode, G55 status, IC type and the hardware checks.
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

// Outputs the calls write into; reset before each call.
struct Outputs {
    std::uint16_t first = 0xAAAA;
    std::uint16_t second = 0xAAAA;
    std::uint8_t third = 0xAA;
    std::uint8_t detail = 0xAA;
    bool untouched() const { return first == 0xAAAA && second == 0xAAAA && third == 0xAA && detail == 0xAA; }
};
Outputs out;

struct Check : CommandCall {
    FPM_RESULT defaultResult;  // with the virtual module's defaults
};

std::vector<Check> checks()
{
    auto ic = [](FPM_HANDLE) { return GetICtype(&out.first, &out.second, &out.third); };
    auto icTwin = [](FPM_HANDLE h) { return GetICtypeWithHandle(h, &out.first, &out.second, &out.third); };
    return {
        {{"EnterTestMode", [](FPM_HANDLE) { return EnterTestMode(); }, false, {0xE0, 0x4D}, 10}, 1},
        {{"SE_Test", [](FPM_HANDLE) { return SE_Test(); }, false, {0xE0, 0x4D}, 10}, 1},
        {{"EnterTestModeWithHandle", [](FPM_HANDLE h) { return EnterTestModeWithHandle(h); }, true, {0xE0, 0x4D}, 10}, 1},
        {{"SE_TestWithHandle", [](FPM_HANDLE h) { return SE_TestWithHandle(h); }, true, {0xE0, 0x4D}, 10}, 1},
        {{"ExitTestMode", [](FPM_HANDLE) { return ExitTestMode(); }, false, {0xE0, 0x4E}, 10}, 1},
        {{"ExitTestModeWithHandle", [](FPM_HANDLE h) { return ExitTestModeWithHandle(h); }, true, {0xE0, 0x4E}, 10}, 1},
        {{"GetG55Status", [](FPM_HANDLE) { return GetG55Status(); }, false, {0xE0, 0x40}, 10}, 1},
        {{"GetG55StatusWithHandle", [](FPM_HANDLE h) { return GetG55StatusWithHandle(h); }, true, {0xE0, 0x40}, 10}, 1},
        {{"GetICtype", ic, false, {0xE0, 0x41}, 10}, 5},
        {{"GetICtypeWithHandle", icTwin, true, {0xE0, 0x41}, 10}, 5},
        {{"SensorIOCheck", [](FPM_HANDLE) { return SensorIOCheck(&out.detail); }, false, {0xE0, 0x42}, 10}, 1},
        {{"SensorIOCheckWithHandle", [](FPM_HANDLE h) { return SensorIOCheckWithHandle(h, &out.detail); }, true,
          {0xE0, 0x42}, 10},
         1},
        {{"ModuleIOCheck", [](FPM_HANDLE) { return ModuleIOCheck(&out.detail); }, false, {0xE0, 0x43}, 10}, 1},
        {{"ModuleIOCheckWithHandle", [](FPM_HANDLE h) { return ModuleIOCheckWithHandle(h, &out.detail); }, true,
          {0xE0, 0x43}, 10},
         1},
        {{"CheckCTModule", [](FPM_HANDLE) { return CheckCTModule(&out.detail); }, false, {0xE0, 0x63, 0, 8}, 3}, 1},
    };
}

class FactoryTest : public LibraryTest {
protected:
    ScopedFakeClock time;
    void SetUp() override
    {
        LibraryTest::SetUp();
        out = {};
    }

    FPM_RESULT callWithStatus(const Check &c, std::uint8_t status, std::vector<std::uint8_t> values = {})
    {
        out = {};
        ScriptedReply reply = ScriptedReply::withStatus(status);
        reply.values = std::move(values);
        host().module()->script(c.block[1], reply);
        return c.call(connected());
    }
};

TEST_F(FactoryTest, EachCallSendsItsBlockOnItsHandle)
{
    connectModule();
    FPM_HANDLE own = host().open(sim::kModulePath);
    for (const Check &c : checks()) {
        host().clearRequests();
        EXPECT_EQ(c.call(own), c.defaultResult) << c.name;
        expectOneRequest(c, c.usesGivenHandle ? own : connected());
    }
}

TEST_F(FactoryTest, SecondNamesAreTheSameEntryPoints)
{
    EXPECT_EQ(reinterpret_cast<void *>(&SE_Test), reinterpret_cast<void *>(&EnterTestMode));
    EXPECT_EQ(reinterpret_cast<void *>(&SE_TestWithHandle), reinterpret_cast<void *>(&EnterTestModeWithHandle));
    sim::VirtualModule &module = connectModule();
    EXPECT_EQ(SE_Test(), 1);
    EXPECT_TRUE(module.part<sim::FactoryState>().testMode);
    EXPECT_EQ(ExitTestMode(), 1);
    EXPECT_FALSE(module.part<sim::FactoryState>().testMode);
}

TEST_F(FactoryTest, IcTypeIsFiveWithTheThreeValues)
{
    connectModule();
    const Check ic = checks()[8];
    EXPECT_EQ(callWithStatus(ic, 1, {0x00, 0x12, 0x00, 0x34, 0xFF}), 5);
    EXPECT_EQ(out.first, 0x0012);
    EXPECT_EQ(out.second, 0x0034);
    EXPECT_EQ(out.third, 0x03);
    for (std::uint8_t status : {2, 4, 5, 6, 8, 9}) {
        EXPECT_EQ(callWithStatus(ic, status, {0x00, 0x12, 0x00, 0x34, 0xFF}), 2) << int(status);
        EXPECT_TRUE(out.untouched()) << int(status);
    }
}

TEST_F(FactoryTest, TestModeAndG55AreOneOrTwo)
{
    connectModule();
    for (std::size_t i = 0; i < 8; ++i) {
        const Check c = checks()[i];
        EXPECT_EQ(callWithStatus(c, 1), 1) << c.name;
        for (std::uint8_t status : {0, 2, 4, 5, 6, 8, 9, 200}) EXPECT_EQ(callWithStatus(c, status), 2) << c.name;
    }
}

TEST_F(FactoryTest, IoChecksWriteTheDetailOnPassOrFailOnly)
{
    connectModule();
    for (std::size_t i = 10; i < 14; ++i) {
        const Check c = checks()[i];
        EXPECT_EQ(callWithStatus(c, 6, {0x0A}), 6) << c.name;
        EXPECT_EQ(out.detail, 0x0A) << c.name;
        EXPECT_EQ(callWithStatus(c, 1, {0x00}), 1) << c.name;
        EXPECT_EQ(out.detail, 0x00) << c.name;
        for (std::uint8_t status : {2, 4, 8, 9, 0x40}) {
            EXPECT_EQ(callWithStatus(c, status, {0x0A}), status) << c.name;
            EXPECT_TRUE(out.untouched()) << c.name;
        }
    }
}

TEST_F(FactoryTest, CtCheckTakesUnknownCommandAsFailed)
{
    connectModule();
    const Check ct = checks()[14];
    EXPECT_EQ(callWithStatus(ct, 1, {0x5C}), 1);
    EXPECT_EQ(out.detail, 0x5C);
    for (std::uint8_t status : {6, 9}) {
        EXPECT_EQ(callWithStatus(ct, status, {0x5C}), 6) << int(status);
        EXPECT_TRUE(out.untouched());
    }
    for (std::uint8_t status : {2, 4, 8}) {
        EXPECT_EQ(callWithStatus(ct, status, {0x5C}), status);
        EXPECT_TRUE(out.untouched());
    }
}

TEST_F(FactoryTest, EveryCallPollsBusyAndFailsOnBadTransfers)
{
    freshLog();
    sim::VirtualModule &module = connectModule();
    state().cancelRequested.store(1);
    for (const Check &c : checks()) {
        host().clearRequests();
        out = {};
        module.script(c.block[1], ScriptedReply::busyThen(2, ScriptedReply::withStatus(2)));
        const std::uint64_t start = time.clock.nowMs();
        EXPECT_EQ(c.call(connected()), 2) << c.name;
        auto sends = host().requests();
        ASSERT_EQ(sends.size(), 3u) << c.name;
        EXPECT_EQ(sends[2].timeMs - start, 200u) << c.name;

        ScriptedReply otherEcho = ScriptedReply::ok({1, 2, 3, 4, 5});
        otherEcho.echo = 0x34;
        module.script(c.block[1], otherEcho);
        EXPECT_EQ(c.call(connected()), 2) << c.name;
        module.script(c.block[1], ScriptedReply::failure());
        EXPECT_EQ(c.call(connected()), 2) << c.name;
        EXPECT_TRUE(out.untouched()) << c.name;
    }
    EXPECT_TRUE(logMessages().empty());
    EXPECT_EQ(state().cancelRequested.load(), 1);
}

TEST_F(FactoryTest, MissingOutputsSendNothing)
{
    connectModule();
    std::uint16_t word;
    std::uint8_t byte;
    EXPECT_EQ(GetICtype(nullptr, &word, &byte), 2);
    EXPECT_EQ(GetICtype(&word, nullptr, &byte), 2);
    EXPECT_EQ(GetICtypeWithHandle(connected(), &word, &word, nullptr), 2);
    EXPECT_EQ(SensorIOCheck(nullptr), 2);
    EXPECT_EQ(ModuleIOCheckWithHandle(connected(), nullptr), 2);
    EXPECT_EQ(CheckCTModule(nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

// ---- ACF bonding check: an unpolled start, then polled status queries ----

class AcfCheckTest : public FactoryTest {
protected:
    std::vector<std::vector<std::uint8_t>> blocks()
    {
        std::vector<std::vector<std::uint8_t>> list;
        for (const auto &r : host().requestsWithCode(0x54)) list.push_back(blockOf(r));
        return list;
    }
    const std::vector<std::uint8_t> start = block16({0xE0, 0x54, 0});
    const std::vector<std::uint8_t> query = block16({0xE0, 0x54, 1});
};

TEST_F(AcfCheckTest, StartThenQueriesOnSuccessiveTicks)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x54, ScriptedReply::ok());
    module.script(0x54, ScriptedReply::busyThen(2, ScriptedReply::ok()));
    const std::uint64_t t0 = time.clock.nowMs();
    EXPECT_EQ(AcfBondingIoCheck(), 1);
    EXPECT_EQ(blocks(), (std::vector<std::vector<std::uint8_t>>{start, query, query, query}));
    auto sends = host().requestsWithCode(0x54);
    for (const auto &r : sends) {
        EXPECT_EQ(r.timeoutSeconds, 10u);
        EXPECT_EQ(r.length, 8u);
    }
    // The queries count their ticks from their own first send.
    EXPECT_EQ(sends[2].timeMs - sends[1].timeMs, 100u);
    EXPECT_EQ(sends[3].timeMs - sends[1].timeMs, 200u);
    EXPECT_LE(sends[1].timeMs - t0, 0u);
}

TEST_F(AcfCheckTest, TheStartIsSentOnceWhateverItsAnswer)
{
    sim::VirtualModule &module = connectModule();
    const std::vector<std::pair<ScriptedReply, FPM_RESULT>> starts = {
        {ScriptedReply::withStatus(3), 2}, {ScriptedReply::withStatus(8), 8}, {ScriptedReply::withStatus(9), 9},
        {ScriptedReply::withStatus(2), 2}, {ScriptedReply::withStatus(6), 2}, {ScriptedReply::failure(), 2},
    };
    for (const auto &[reply, result] : starts) {
        host().clearRequests();
        module.script(0x54, reply);
        EXPECT_EQ(AcfBondingIoCheckWithHandle(connected()), result) << int(reply.status);
        EXPECT_EQ(blocks(), (std::vector<std::vector<std::uint8_t>>{start}));
    }
    ScriptedReply otherEcho = ScriptedReply::ok();
    otherEcho.echo = 0x53;
    module.script(0x54, otherEcho);
    EXPECT_EQ(AcfBondingIoCheck(), 2);
}

TEST_F(AcfCheckTest, QueryAnswersOtherThanPassedFail)
{
    sim::VirtualModule &module = connectModule();
    for (std::uint8_t status : {2, 6, 8, 9}) {
        module.script(0x54, ScriptedReply::ok());
        module.script(0x54, ScriptedReply::withStatus(status));
        EXPECT_EQ(AcfBondingIoCheck(), 2) << int(status);
    }
    ScriptedReply otherEcho = ScriptedReply::ok();
    otherEcho.echo = 0x00;
    module.script(0x54, ScriptedReply::ok());
    module.script(0x54, otherEcho);
    EXPECT_EQ(AcfBondingIoCheck(), 2);
}

TEST_F(AcfCheckTest, FailedQueriesAreRetriedUntilTheModuleAnswers)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x54, ScriptedReply::ok());
    for (int i = 0; i < 5; ++i) module.script(0x54, ScriptedReply::failure());
    module.script(0x54, ScriptedReply::busyThen(1, ScriptedReply::ok()));
    EXPECT_EQ(AcfBondingIoCheck(), 1);
    EXPECT_EQ(blocks().size(), 8u);
}

TEST_F(AcfCheckTest, AModuleThatStopsAnsweringIsGivenUpAfterThirtySeconds)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x54, ScriptedReply::ok());
    module.script(0x54, ScriptedReply::busyThen(10, ScriptedReply::failure()));  // 1 s running, then gone
    module.answerAlways(0x54, ScriptedReply::failure());
    EXPECT_EQ(AcfBondingIoCheck(), 2);
    auto sends = host().requestsWithCode(0x54);
    // Busy from 0 to 0.9 s, failing from 1.0 s; the last try at 31.0 s.
    EXPECT_EQ(sends.back().timeMs - sends[1].timeMs, 31000u);
    EXPECT_EQ(sends.size(), 1u + 10u + 301u);
}

TEST_F(AcfCheckTest, OnlyFailuresInARowCountTowardsGivingUp)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x54, ScriptedReply::ok());
    for (int stretch = 0; stretch < 2; ++stretch) {
        for (int i = 0; i < 250; ++i) module.script(0x54, ScriptedReply::failure());  // 25 s each
        module.script(0x54, ScriptedReply::withStatus(3));                             // alive between them
    }
    module.script(0x54, ScriptedReply::ok());
    EXPECT_EQ(AcfBondingIoCheck(), 1);
    EXPECT_EQ(blocks().size(), 1u + 2 * 251u + 1u);
}

TEST_F(AcfCheckTest, ClearsAPendingCancelAndDoesNotWatchIt)
{
    sim::VirtualModule &module = connectModule();
    state().cancelRequested.store(1);
    module.script(0x54, ScriptedReply::ok());
    module.script(0x54, ScriptedReply::busyThen(3, ScriptedReply::ok()));
    time.clock.onSleep = [](FakeClock &) { state().cancelRequested.store(1); };
    EXPECT_EQ(AcfBondingIoCheck(), 1);
    EXPECT_EQ(host().requestsWithCode(0x54).size(), 5u);
    time.clock.onSleep = nullptr;
}

TEST_F(AcfCheckTest, VirtualModuleRunsTheCheckForAFewTicks)
{
    sim::VirtualModule &module = connectModule();
    EXPECT_EQ(AcfBondingIoCheck(), 1);
    EXPECT_EQ(blocks().size(), 1u + module.part<sim::FactoryState>().acfQueriesBeforeDone + 1u);
}

}  // namespace
}  // namespace fpm::test
