// DoCancel and the cancellable wait, on the real clock and two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "connection/connection_state.h"
#include "support/library_fixture.h"
#include "transport/exchange.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

class CancelTest : public LibraryTest {};

std::atomic<int> g_callbackEvent{-1};
std::atomic<bool> g_callbackNulls{false};
void FPM_CALL verifyCallback(unsigned char *event, unsigned char *finger, unsigned char *image)
{
    g_callbackEvent = *event;
    g_callbackNulls = finger == nullptr && image == nullptr;
}

TEST_F(CancelTest, WithNothingWaitingTheCancelGoesOutAtOnceAndStaysRequested)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x33, ScriptedReply::busyThen(1, ScriptedReply::ok()));
    EXPECT_EQ(DoCancel(), 1);
    auto sends = host().requestsWithCode(0x33);
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(blockOf(sends[0]), (std::vector<std::uint8_t>{0xE0, 0x33, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sends[0].timeoutSeconds, 10u);
    EXPECT_EQ(state().cancelRequested.load(), 1);

    // The next command that clears the flag discards the unseen request.
    std::int32_t w, h;
    EXPECT_EQ(QuerySize(&w, &h), 1);
    EXPECT_EQ(state().cancelRequested.load(), 0);

    module.script(0x33, ScriptedReply::withStatus(2));
    EXPECT_EQ(DoCancel(), 2);
    state().deviceHandle.store(nullptr);
    EXPECT_EQ(DoCancel(), 2);
}

TEST_F(CancelTest, CancelReleasesAWaitingCommandThenSendsOnItsNextTick)
{
    connectModule().answerAlways(0x10, ScriptedReply::withStatus(3));
    state().procedures.storeVerify(verifyCallback);
    g_callbackEvent = -1;

    transport::Command enroll{.logPrefix = "DoEnrollRequest",
                              .options = {.timeoutSeconds = 15, .cancellable = true, .marksInProgress = true},
                              .clearsCancel = true};
    std::atomic<int> result{-1};
    std::thread waiter([&] {
        result = transport::run(enroll, connected(), transport::VendorCommandBlock::make(0x10, {0, 1})).result;
    });
    while (host().requestsWithCode(0x10).size() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(5));

    EXPECT_EQ(DoCancel(), 1);
    waiter.join();
    EXPECT_EQ(result.load(), 2);
    EXPECT_EQ(g_callbackEvent.load(), 8);
    EXPECT_TRUE(g_callbackNulls.load());
    EXPECT_EQ(state().commandInProgress.load(), 0);

    // The waiting command was released before its next send; the cancel followed it.
    auto requests = host().requests();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(requests.back().code(), 0x33);
    EXPECT_EQ(host().requestsWithCode(0x33).size(), 1u);
    std::uint64_t lastEnroll = host().requestsWithCode(0x10).back().timeMs;
    EXPECT_LT(requests.back().timeMs - lastEnroll, 250u);
    state().procedures.storeVerify(nullptr);
}

}  // namespace
}  // namespace fpm::test
