// Taking the module into use and out of it (device status), and the LED wait that ends
// a background procedure.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "connection/connection_state.h"
#include "connection/led_wait.h"
#include "connection/module_handle.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

std::vector<std::uint8_t> statusBlock(std::uint8_t code, std::uint8_t value)
{
    std::vector<std::uint8_t> block(16, 0);
    block[0] = 0xE0;
    block[1] = code;
    block[3] = value;
    return block;
}

class OpenCloseTest : public LibraryTest {
protected:
    ScopedFakeClock time;
};

TEST_F(OpenCloseTest, OpenDeviceSwitchesTheStatusOnAfterTheConnect)
{
    sim::VirtualModule &module = host().addModule();
    EXPECT_EQ(OpenDevice(), 1);
    auto requests = host().requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().code(), 0x32);
    EXPECT_EQ(blockOf(requests.back()), statusBlock(0x3E, 1));
    EXPECT_EQ(requests.back().handle, connected());

    module.script(0x3E, ScriptedReply::withStatus(2));
    EXPECT_EQ(OpenDevice(), 1);  // the status answer does not matter

    module.setFamilyCode('Z', 'Z');
    host().clearRequests();
    EXPECT_EQ(OpenDevice(), 2);
    EXPECT_TRUE(host().requestsWithCode(0x3E).empty());
    EXPECT_EQ(connected(), device::invalidHandle());
}

TEST_F(OpenCloseTest, CloseDeviceSwitchesTheStatusOffOnTheOpenHandleThenCloses)
{
    host().addModule();
    ASSERT_EQ(OpenDevice(), 1);
    FPM_HANDLE open = connected();
    host().clearRequests();
    EXPECT_EQ(CloseDevice(), 1);
    ASSERT_EQ(host().requests().size(), 1u);
    EXPECT_EQ(blockOf(host().requests()[0]), statusBlock(0x3E, 0));
    EXPECT_EQ(host().requests()[0].handle, open);
    EXPECT_EQ(host().requests()[0].path, sim::kModulePath);
    EXPECT_EQ(connected(), nullptr);
    EXPECT_EQ(host().openHandleCount(), 0u);
}

TEST_F(OpenCloseTest, CloseDeviceWithoutAModuleFailsAndEndsClosed)
{
    host().addModule();
    freshLog();
    EXPECT_EQ(CloseDevice(), 0);
    ASSERT_EQ(host().requests().size(), 1u);
    EXPECT_EQ(host().requests()[0].handle, nullptr);
    EXPECT_EQ(host().requests()[0].code(), 0x3E);

    state().deviceHandle.store(device::invalidHandle());
    EXPECT_EQ(CloseDevice(), 0);
    EXPECT_EQ(connected(), nullptr);
    EXPECT_EQ(logMessages(), std::vector<std::string>(2, "ChangeDevStatus : RecvDataTransaction Fail"));
}

// ---- LED wait ----------------------------------------------------------------------

class LedWaitTest : public OpenCloseTest {
protected:
    std::vector<std::uint64_t> attemptTimes(std::uint64_t start)
    {
        std::vector<std::uint64_t> times;
        for (const auto &r : host().requestsWithCode(0x3D)) {
            EXPECT_EQ(blockOf(r), statusBlock(0x3D, 3));
            times.push_back(r.timeMs - start);
        }
        return times;
    }
};

TEST_F(LedWaitTest, FirstAttemptHalfASecondInAndDoneWhenTheModuleAccepts)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x3D, ScriptedReply::withStatus(2));
    const std::uint64_t start = time.clock.nowMs();
    connection::runLedWait();
    EXPECT_EQ(attemptTimes(start), (std::vector<std::uint64_t>{500, 1000}));
    EXPECT_EQ(time.clock.nowMs() - start, 1000u);
}

TEST_F(LedWaitTest, TenRefusalsThenGivesUpAtTheNextStepSleepingBetween)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x3D, ScriptedReply::withStatus(2));
    const std::uint64_t start = time.clock.nowMs();
    connection::runLedWait();
    std::vector<std::uint64_t> expected;
    for (std::uint64_t t = 500; t <= 5000; t += 500) expected.push_back(t);
    EXPECT_EQ(attemptTimes(start), expected);
    EXPECT_EQ(time.clock.nowMs() - start, 5500u);
    EXPECT_EQ(time.clock.sleeps(), 11);  // one sleep per half second, no spinning
}


TEST_F(LedWaitTest, EndsAtOnceWhenTheModuleIsClosed)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x3D, ScriptedReply::withStatus(2));
    // Another thread closes the module during the third sleep.
    time.clock.onSleep = [](FakeClock &clock) {
        if (clock.sleeps() == 3) DeviceDisConnection();
    };
    const std::uint64_t start = time.clock.nowMs();
    connection::runLedWait();
    EXPECT_EQ(attemptTimes(start).size(), 2u);
    EXPECT_EQ(time.clock.nowMs() - start, 1000u);  // no further half second

    host().clearRequests();
    connection::runLedWait();  // nothing open: nothing sent
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(LedWaitTest, NeverReachesAModuleConnectedAfterTheProceduresOwn)
{
    connectModule();
    const std::uint32_t procedures = connection::handleReplacements();
    // The caller closes the procedure's module and connects again before its LED step.
    DeviceDisConnection();
    connection::replaceHandle(host().open(sim::kModulePath));
    host().clearRequests();
    connection::runLedWait(procedures);
    EXPECT_TRUE(host().requestsWithCode(0x3D).empty());
    connection::runLedWait();  // the wait of a procedure on the new connection still sets them
    EXPECT_EQ(host().requestsWithCode(0x3D).size(), 1u);
}

TEST(LedWaitRealTime, ACloseOnAnotherThreadWakesTheWait)
{
    resetLibraryState();
    auto &host = sim::VirtualHost::instance();
    host.reset();
    host.addModule().answerAlways(0x3D, ScriptedReply::withStatus(2));
    state().deviceHandle.store(host.open(sim::kModulePath));

    const auto begin = std::chrono::steady_clock::now();
    std::thread worker([] { connection::runLedWait(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(DeviceDisConnection(), 1);
    worker.join();
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(elapsed, std::chrono::milliseconds(450));  // before its first attempt
    EXPECT_TRUE(host.requestsWithCode(0x3D).empty());
    host.reset();
    resetLibraryState();
}

}  // namespace
}  // namespace fpm::test
