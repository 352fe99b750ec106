// The command exchange: busy polling on ticks, echo check, status dispatch and the
// options the commands vary.
#include <gtest/gtest.h>

#include <ctime>
#ifdef _WIN32
#include <windows.h>
#endif

#include "connection/connection_state.h"
#include "platform/system.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"
#include "transport/exchange.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using transport::Ending;

// CPU time of the whole process (clock() is wall time on Windows).
double processCpuMs()
{
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) { return ((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
#else
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

class ExchangeTest : public LibraryTest {
protected:
    ScopedFakeClock time{5000};

    std::vector<std::uint64_t> sendTimes(std::uint8_t code)
    {
        std::vector<std::uint64_t> times;
        for (const auto &r : host().requestsWithCode(code)) times.push_back(r.timeMs - 5000);
        return times;
    }
};

TEST_F(ExchangeTest, BusyRepliesAreSentAgainOncePerTick)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x34, ScriptedReply::busyThen(3, ScriptedReply::ok({10, 20, 1})));
    std::int32_t w = 0, h = 0;
    EXPECT_EQ(QuerySize(&w, &h), 1);
    EXPECT_EQ(sendTimes(0x34), (std::vector<std::uint64_t>{0, 100, 200, 300}));
    // The unchanged block every time.
    for (const auto &r : host().requests()) EXPECT_EQ(blockOf(r), blockOf(host().requests()[0]));
    EXPECT_EQ(time.clock.sleeps(), 3);  // one sleep per busy reply, no polling of the clock
}

TEST_F(ExchangeTest, ASlowSendIsFollowedAtOnceByTheNext)
{
    sim::VirtualModule &module = connectModule();
    ScriptedReply slowBusy = ScriptedReply::withStatus(3);
    slowBusy.delayMs = 250;
    module.script(0x34, slowBusy);
    module.script(0x34, ScriptedReply::busyThen(1, ScriptedReply::ok({1, 1, 1})));
    std::int32_t w, h;
    EXPECT_EQ(QuerySize(&w, &h), 1);
    // Sent at tick 0 (ends at 250), at once at tick 2, then on tick 3.
    EXPECT_EQ(sendTimes(0x34), (std::vector<std::uint64_t>{0, 250, 300}));
}

TEST_F(ExchangeTest, SendsStayOnTickBoundariesWhenTheStartIsMidTick)
{
    time.clock.advance(37);
    sim::VirtualModule &module = connectModule();
    module.script(0x34, ScriptedReply::busyThen(2, ScriptedReply::ok({1, 1, 1})));
    std::int32_t w, h;
    EXPECT_EQ(QuerySize(&w, &h), 1);
    EXPECT_EQ(sendTimes(0x34), (std::vector<std::uint64_t>{37, 137, 237}));
}

TEST_F(ExchangeTest, AWrongEchoEndsTheExchangeEvenWithStatusOk)
{
    freshLog();
    sim::VirtualModule &module = connectModule();
    ScriptedReply wrong = ScriptedReply::ok({5, 5, 1});
    wrong.echo = 0x35;
    module.script(0x34, wrong);
    std::int32_t w = -1, h = -1;
    EXPECT_EQ(QuerySize(&w, &h), 2);
    EXPECT_EQ(w, -1);
    EXPECT_EQ(state().imageWidth, 0);
    EXPECT_EQ(host().requests().size(), 1u);
    EXPECT_EQ(logMessages(), (std::vector<std::string>{"QuerySize : Buffer[0] != LastCmd"}));
}

struct StatusCase {
    std::uint8_t status;
    const char *line;
};

class StatusDispatchTest : public ExchangeTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusDispatchTest, FailingStatusesLogTheirReason)
{
    freshLog();
    connectModule().script(0x34, ScriptedReply::withStatus(GetParam().status));
    std::int32_t w = -1, h = -1;
    EXPECT_EQ(QuerySize(&w, &h), 2);
    EXPECT_EQ(w, -1);
    EXPECT_EQ(logMessages(), (std::vector<std::string>{GetParam().line}));
}

INSTANTIATE_TEST_SUITE_P(Statuses, StatusDispatchTest,
                         ::testing::Values(StatusCase{2, "QuerySize : CODE_ERROR"},
                                           StatusCase{8, "QuerySize : CODE_CANCELING"},
                                           StatusCase{9, "QuerySize : CODE_UNKNOWN_CMD"},
                                           StatusCase{0, "QuerySize : default"},
                                           StatusCase{4, "QuerySize : default"},
                                           StatusCase{5, "QuerySize : default"},
                                           StatusCase{6, "QuerySize : default"},
                                           StatusCase{7, "QuerySize : default"},
                                           StatusCase{10, "QuerySize : default"},
                                           StatusCase{255, "QuerySize : default"}));

TEST_F(ExchangeTest, AFailedTransferLogsAndEnds)
{
    freshLog();
    std::int32_t w, h;
    EXPECT_EQ(QuerySizeWithHandle(nullptr, &w, &h), 2);
    EXPECT_EQ(logMessages(), (std::vector<std::string>{"QuerySize : RecvDataTransaction Fail"}));
}

TEST_F(ExchangeTest, RetriedTransfersStopAtTheLimit)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x54, ScriptedReply::failure());
    transport::Command command{.logPrefix = "AcfBondingIoCheck",
                               .options = {.retryFailedTransfer = true, .limitMs = 1000}};
    auto outcome = transport::run(command, connected(), transport::VendorCommandBlock::make(0x54));
    EXPECT_EQ(outcome.reply.ending, Ending::LimitReached);
    EXPECT_EQ(outcome.result, 2);
    auto times = sendTimes(0x54);
    ASSERT_EQ(times.size(), 11u);  // ticks 0 to 10
    EXPECT_EQ(times.back(), 1000u);
}

TEST_F(ExchangeTest, ACancellableExchangeEndsWithoutAFurtherSend)
{
    connectModule().answerAlways(0x11, ScriptedReply::withStatus(3));
    time.clock.onSleep = [](FakeClock &c) {
        if (c.sleeps() == 3) state().cancelRequested.store(1);
    };
    transport::Command command{.logPrefix = "CheckEnrollStatus",
                               .options = {.timeoutSeconds = 15, .cancellable = true, .marksInProgress = true},
                               .canceledResult = 8,
                               .clearsCancel = true};
    auto outcome = transport::run(command, connected(), transport::VendorCommandBlock::make(0x11));
    EXPECT_EQ(outcome.result, 8);
    EXPECT_EQ(host().requestsWithCode(0x11).size(), 3u);
    EXPECT_EQ(state().commandInProgress.load(), 0);
}

// With the real clock: a caller waiting on a busy module sleeps.
TEST(ExchangeRealClockTest, WaitingOnABusyModuleCostsNoCpu)
{
    resetLibraryState();
    auto &host = sim::VirtualHost::instance();
    host.reset();
    host.addModule().script(0x34, ScriptedReply::busyThen(8, ScriptedReply::ok({1, 1, 1})));
    state().deviceHandle.store(host.open(sim::kModulePath));

    double cpuBefore = processCpuMs();
    // Ticks count from the command's start, which a loaded machine may put well before
    // the first send: each later send must fall in a later tick than the one before.
    const std::uint64_t start = sys::nowMs();
    std::int32_t w, h;
    EXPECT_EQ(QuerySize(&w, &h), 1);
    double cpuMs = processCpuMs() - cpuBefore;
    EXPECT_LT(cpuMs, 80.0);  // about 800 ms of waiting
    auto sends = host.requestsWithCode(0x34);
    ASSERT_EQ(sends.size(), 9u);
    for (std::size_t i = 1; i < sends.size(); ++i) {
        EXPECT_GT((sends[i].timeMs - start) / 100, (sends[i - 1].timeMs - start) / 100);
    }
    host.reset();
    resetLibraryState();
}

}  // namespace
}  // namespace fpm::test
