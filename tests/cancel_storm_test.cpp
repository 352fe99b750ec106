// DoCancel from other threads at every moment of a cancellable command on a module that
// answers busy for ever: every command, worker and DoCancel ends, none hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "support/library_fixture.h"
#include "transport/tick_pacer.h"

namespace fpm::test {
namespace {

using namespace std::chrono;
using sim::ScriptedReply;

constexpr auto kTick = milliseconds(transport::kTickMs);
// Far beyond "a few ticks": only a hang gets here.
constexpr auto kHangLimit = 50 * kTick;

struct CancellableCall {
    const char *name;
    std::uint8_t busyCode;  // the command that waits on the module
    std::function<int()> call;
};

std::vector<CancellableCall> cancellableCalls()
{
    static unsigned char finger;
    static unsigned char image[255 * 255 * 2];  // room for any geometry
    return {
        {"DoEnrollRequest", 0x10, [] { return int(DoEnrollRequest(1)); }},
        {"CheckEnrollStatus", 0x11, [] { return int(CheckEnrollStatus()); }},
        {"DoIdentifyRequest", 0x35, [] { return int(DoIdentifyRequest(&finger)); }},
        {"DoIdentifyRequestEx", 0x23, [] { return int(DoIdentifyRequestEx(image, &finger)); }},
    };
}

class CancelStormTest : public LibraryTest {
protected:
    // Runs `call` while `stormers` threads call DoCancel over and over, the first of them
    // after `firstCancelDelay` (zero: before the command has sent anything). Ends the
    // module's busy answers if the command or a DoCancel hangs, so the test can fail
    // instead of hanging.
    void storm(const CancellableCall &call, sim::VirtualModule &module, microseconds firstCancelDelay, int stormers)
    {
        std::atomic<bool> commandDone{false};
        std::atomic<int> cancelsRunning{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < stormers; ++i) {
            threads.emplace_back([&, i] {
                std::this_thread::sleep_for(firstCancelDelay + i * microseconds(700));
                do {
                    ++cancelsRunning;
                    DoCancel();
                    --cancelsRunning;
                    std::this_thread::sleep_for(microseconds(300 * (i + 1)));
                } while (!commandDone.load());
            });
        }
        std::thread command([&] {
            call.call();
            commandDone = true;
        });

        const auto deadline = steady_clock::now() + kHangLimit;
        while ((!commandDone.load() || cancelsRunning.load() != 0) && steady_clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(2));
        const bool ended = commandDone.load();
        const bool cancelsEnded = cancelsRunning.load() == 0;
        if (!ended || !cancelsEnded) {
            module.answerAlways(call.busyCode, ScriptedReply::withStatus(2));
            module.answerAlways(0x33, ScriptedReply::ok());
        }
        command.join();
        for (std::thread &t : threads) t.join();
        EXPECT_TRUE(ended) << call.name << " never ended (first cancel after " << firstCancelDelay.count() << " us)";
        EXPECT_TRUE(cancelsEnded) << "DoCancel never returned during " << call.name;
    }
};

TEST_F(CancelStormTest, EveryCancellableCommandEndsWhateverMomentTheCancelsCome)
{
    const microseconds delays[] = {microseconds(0), microseconds(200), microseconds(2000), kTick / 2, kTick * 3 / 2};
    for (const CancellableCall &call : cancellableCalls()) {
        for (microseconds delay : delays) {
            for (int stormers : {1, 3}) {
                sim::VirtualModule &module = connectModule();
                std::int32_t w, h;
                ASSERT_EQ(QuerySize(&w, &h), 1);
                module.answerAlways(call.busyCode, ScriptedReply::withStatus(3));
                storm(call, module, delay, stormers);
                resetLibraryState();
            }
        }
    }
}

// The cancel arrives while one command's last transfer is under way; that command ends
// normally and the next cancellable one starts before DoCancel looks again.
TEST_F(CancelStormTest, ACancelWaitingForOneCommandStopsTheNextThatStartsBeforeItLooksAgain)
{
    sim::VirtualModule &module = connectModule();
    ScriptedReply slowOk = ScriptedReply::ok();
    slowOk.delayMs = 3 * transport::kTickMs;
    module.script(0x10, slowOk);
    module.answerAlways(0x11, ScriptedReply::withStatus(3));

    std::atomic<int> statusResult{-1};
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        DoEnrollRequest(1);
        statusResult = CheckEnrollStatus();
        done = true;
    });
    while (host().requestsWithCode(0x10).empty()) std::this_thread::sleep_for(milliseconds(1));
    std::atomic<bool> cancelReturned{false};
    std::thread canceller([&] {
        DoCancel();
        cancelReturned = true;
    });

    const auto deadline = steady_clock::now() + kHangLimit;
    while (!(done.load() && cancelReturned.load()) && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(2));
    const bool ended = done.load() && cancelReturned.load();
    if (!ended) module.answerAlways(0x11, ScriptedReply::withStatus(2));
    waiter.join();
    canceller.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(statusResult.load(), 8);
}

std::atomic<int> g_lastEnrollEvent{-1};
void FPM_CALL onEnroll(unsigned char *event, unsigned char *) { g_lastEnrollEvent = *event; }

TEST_F(CancelStormTest, AnEnrolmentWorkerStoppedFromManyThreadsEnds)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x11, ScriptedReply::withStatus(3));
    g_lastEnrollEvent = -1;
    ASSERT_EQ(BeginEnrollmentProcedure(1, 3, onEnroll), 1);

    std::atomic<bool> stop{false};
    std::vector<std::thread> stormers;
    for (int i = 0; i < 3; ++i) {
        stormers.emplace_back([&, i] {
            std::this_thread::sleep_for(microseconds(400 * i));
            while (!stop.load()) {
                StopEnrollmentProcedure();
                std::this_thread::sleep_for(microseconds(500));
            }
        });
    }
    // Ended once its final event came: a second enrolment can then start.
    const auto deadline = steady_clock::now() + kHangLimit;
    while (g_lastEnrollEvent.load() != EVENT_CANCELED && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    stop = true;
    for (std::thread &t : stormers) t.join();
    EXPECT_EQ(g_lastEnrollEvent.load(), EVENT_CANCELED);
    if (g_lastEnrollEvent.load() != EVENT_CANCELED) module.answerAlways(0x11, ScriptedReply::withStatus(2));
}

}  // namespace
}  // namespace fpm::test
