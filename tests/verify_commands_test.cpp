// Verification, the finger-presence queries and the timing values: what the module
// receives in each stage, the results of every verdict and failure, and cancelling.
#include <gtest/gtest.h>

#include <string>

#include "connection/connection_state.h"
#include "finger/verify_commands.h"
#include "image/defect_pixels.h"
#include "sim/finger_model.h"
#include "sim/image_model.h"
#include "support/fake_clock.h"
#include "support/finger_fixture.h"
#include "support/image_geometry.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

class VerifyTest : public FingerTest {};

TEST_F(VerifyTest, FourStagesGoOutInOrderAndTheVerdictIsTheResult)
{
    sim::VirtualModule &m = moduleWithEnrolled(4);
    EXPECT_EQ(DoVerifyRequest(0x204), 5);
    auto requests = host().requests();
    const std::vector<Bytes> expected{fingerBlock(0x20, 0, 4), fingerBlock(0x20, 1, 4), fingerBlock(0x20, 1, 4),
                                      fingerBlock(0x20, 1, 4), fingerBlock(0x21, 0, 4), fingerBlock(0x21, 1, 4),
                                      fingerBlock(0x21, 1, 4), fingerBlock(0x21, 1, 4)};
    ASSERT_EQ(requests.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(blockOf(requests[i]), expected[i]) << i;
        EXPECT_EQ(requests[i].timeoutSeconds, 10u);
        EXPECT_EQ(requests[i].length, 8u);
    }
    // The first poll of each wait goes out at once, the busy ones on the next ticks.
    EXPECT_EQ(requests[1].timeMs, requests[0].timeMs);
    EXPECT_EQ(requests[2].timeMs - requests[1].timeMs, 100u);
    EXPECT_EQ(requests[5].timeMs, requests[4].timeMs);

    m.part<sim::FingerModel>().fingerOnSensor = 2;
    EXPECT_EQ(DoVerifyRequest(4), 6);
    m.part<sim::FingerModel>().fakeFinger = true;
    EXPECT_EQ(DoVerifyRequest(4), 7);
    EXPECT_TRUE(logMessages().empty());
    EXPECT_EQ(state().commandInProgress.load(), 0);
}

TEST_F(VerifyTest, RequestRepliesOtherThanOkEndTheCallBusyIncluded)
{
    sim::VirtualModule &m = moduleWithEnrolled(1);
    const std::pair<std::uint8_t, int> cases[] = {{3, 2}, {8, 8}, {9, 9}, {2, 2}, {5, 2}};
    for (std::uint8_t code : {0x20, 0x21}) {
        for (auto [status, result] : cases) {
            SCOPED_TRACE(std::to_string(code) + "/" + std::to_string(status));
            host().clearRequests();
            m.script(code, ScriptedReply::withStatus(status));
            EXPECT_EQ(DoVerifyRequest(1), result);
            auto last = host().requests().back();
            EXPECT_EQ(blockOf(last), fingerBlock(code, 0, 1));  // nothing after the refused request
        }
        m.script(code, ScriptedReply::failure());
        EXPECT_EQ(DoVerifyRequest(1), 2);
        m.script(code, ScriptedReply{.status = 1, .echo = 0x22});
        EXPECT_EQ(DoVerifyRequest(1), 2);
    }
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(VerifyTest, WaitsPollThroughBusyAndFailedTransfersAndEndOnOtherAnswers)
{
    sim::VirtualModule &m = moduleWithEnrolled(1);
    m.part<sim::FingerModel>().busyPolls = 0;
    // A module that stops answering for a while is asked again on the next ticks.
    m.script(0x20, ScriptedReply::ok());
    m.script(0x20, ScriptedReply::failure());
    m.script(0x20, ScriptedReply::failure());
    m.script(0x21, ScriptedReply::ok());
    m.script(0x21, ScriptedReply::failure());
    EXPECT_EQ(DoVerifyRequest(1), 5);
    EXPECT_EQ(host().requestsWithCode(0x20).size(), 4u);
    EXPECT_EQ(host().requestsWithCode(0x21).size(), 3u);

    // Preparation: only OK goes on. Outcome: CODE_OK is not a verdict.
    const std::pair<std::uint8_t, std::uint8_t> endings[] = {{0x20, 2}, {0x20, 5}, {0x21, 1}, {0x21, 2}, {0x21, 8}};
    for (auto [code, status] : endings) {
        m.script(code, ScriptedReply::ok());
        m.script(code, ScriptedReply::withStatus(status));
        EXPECT_EQ(DoVerifyRequest(1), 2) << int(code) << "/" << int(status);
    }
    m.script(0x21, ScriptedReply::ok());
    m.script(0x21, ScriptedReply{.status = 5, .echo = 0x20});
    EXPECT_EQ(DoVerifyRequest(1), 2);
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(VerifyTest, AModuleThatNeverAnswersAgainEndsTheWaitAfterThirtySeconds)
{
    sim::VirtualModule &m = moduleWithEnrolled(1);
    m.script(0x20, ScriptedReply::ok());
    m.answerAlways(0x20, ScriptedReply::failure());
    EXPECT_EQ(DoVerifyRequest(1), 2);
    auto polls = host().requestsWithCode(0x20);
    ASSERT_GT(polls.size(), 290u);
    EXPECT_EQ(polls.back().timeMs - polls[1].timeMs, finger::kVerifyFailureLimitMs);
}

TEST_F(VerifyTest, OnlyTheOutcomeWaitIsCancellable)
{
    sim::VirtualModule &m = moduleWithEnrolled(1);
    m.part<sim::FingerModel>().busyPolls = 5;
    // A cancel while the module prepares is not looked at there, but ends the outcome wait
    // on entry, before its first poll.
    time.clock.onSleep = [](FakeClock &clock) {
        if (clock.sleeps() == 2) state().cancelRequested.store(1);
    };
    EXPECT_EQ(DoVerifyRequest(1), 8);
    EXPECT_EQ(host().requestsWithCode(0x20).size(), 7u);
    auto outcome = host().requestsWithCode(0x21);
    ASSERT_EQ(outcome.size(), 1u);
    EXPECT_EQ(outcome[0].block[2], 0);
    EXPECT_EQ(state().commandInProgress.load(), 0);

    // Sleeps 6 to 10 are this call's preparation wait; the second wait of the outcome is cut.
    host().clearRequests();
    time.clock.onSleep = [](FakeClock &clock) {
        if (clock.sleeps() == 12) state().cancelRequested.store(1);
    };
    EXPECT_EQ(DoVerifyRequest(1), 8);
    EXPECT_EQ(host().requestsWithCode(0x20).size(), 7u);
    EXPECT_EQ(host().requestsWithCode(0x21).size(), 3u);
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(VerifyTest, FingerPresenceIsOneQueryWithoutWaiting)
{
    sim::VirtualModule &m = connectModule();
    const std::pair<std::uint8_t, int> states[] = {{1, 1}, {15, 15}, {0, 13}, {13, 13}, {3, 13}, {2, 13}};
    for (auto [status, stored] : states) {
        host().clearRequests();
        m.script(0x70, ScriptedReply::withStatus(status));
        m.script(0x70, ScriptedReply::withStatus(status));
        EXPECT_EQ(IsFingerOn(), status == 1 ? 1 : 0) << int(status);
        std::uint8_t fingerState = 99;
        EXPECT_EQ(FingerStatus(&fingerState), 0);
        EXPECT_EQ(fingerState, stored) << int(status);
        auto sends = host().requests();
        ASSERT_EQ(sends.size(), 2u);
        EXPECT_EQ(blockOf(sends[0]), fingerBlock(0x70, 0, 0));
        EXPECT_EQ(sends[0].timeoutSeconds, 15u);
    }
    std::uint8_t fingerState = 99;
    m.script(0x70, ScriptedReply::failure());
    m.script(0x70, ScriptedReply::failure());
    EXPECT_EQ(IsFingerOn(), -1);
    EXPECT_EQ(FingerStatus(&fingerState), -1);
    m.script(0x70, ScriptedReply{.status = 1, .echo = 0x71});
    m.script(0x70, ScriptedReply{.status = 1, .echo = 0x71});
    EXPECT_EQ(IsFingerOn(), -1);
    EXPECT_EQ(FingerStatus(&fingerState), -1);
    EXPECT_EQ(fingerState, 99);

    // Neither touches a pending cancel request.
    state().cancelRequested.store(1);
    EXPECT_EQ(IsFingerOn(), 1);
    EXPECT_EQ(state().cancelRequested.load(), 1);

    host().clearRequests();
    EXPECT_EQ(FingerStatus(nullptr), -1);
    EXPECT_TRUE(host().requests().empty());
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(VerifyTest, TimingValuesAreTakenAsTheyComeWhateverTheHeader)
{
    sim::VirtualModule &m = connectModule();
    std::uint32_t first = 0, second = 0;
    state().cancelRequested.store(1);
    EXPECT_EQ(GetVerifyPeriod(&first, &second), 1);
    EXPECT_EQ(first, 180u);
    EXPECT_EQ(second, 420u);
    EXPECT_EQ(state().cancelRequested.load(), 0);
    auto sends = host().requests();
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(blockOf(sends[0]), fingerBlock(0x69, 0, 0));
    EXPECT_EQ(sends[0].length, 10u);
    EXPECT_EQ(sends[0].timeoutSeconds, 3u);

    m.script(0x69, ScriptedReply::bytes({0x00, 0x03, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(GetVerifyPeriod(&first, &second), 1);
    EXPECT_EQ(first, 0x12345678u);
    EXPECT_EQ(second, 0xFFFFFFFFu);
    EXPECT_EQ(host().requests().size(), 2u);  // a busy header is not polled

    m.script(0x69, ScriptedReply::failure());
    EXPECT_EQ(GetVerifyPeriod(&first, &second), 2);
    EXPECT_EQ(first, 0x12345678u);
    EXPECT_EQ(logMessages(), (Lines{"GetVerifyLatency : RecvDataTransaction Fail"}));

    host().clearRequests();
    EXPECT_EQ(GetVerifyPeriod(&first, nullptr), 2);
    EXPECT_EQ(GetVerifyPeriod(nullptr, &second), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(VerifyTest, TheVerifyImageIsOneDataPhaseRepairedAndSilentOnFailure)
{
    sim::VirtualModule &m = connectModule();
    useGeometry(m, 24, 18, 2);
    ASSERT_EQ(image::buildDefectPixelMap(), 0);
    host().clearRequests();

    GuardedBuffer buffer(24 * 18 * 2);
    EXPECT_EQ(GetVerifyImage(buffer.data()), 1);
    auto reads = host().requestsWithCode(0x22);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(blockOf(reads[0]), fingerBlock(0x22, 1, 0));
    EXPECT_EQ(reads[0].length, 24u * 18u * 2u);
    EXPECT_EQ(reads[0].timeoutSeconds, 10u);
    Bytes expected = sim::modelImage(m, 0x22);
    ASSERT_EQ(image::repairListedPixels(expected.data(), 24, 18, 2, state().defectPixels), 0);
    EXPECT_EQ(buffer.content(), expected);
    EXPECT_TRUE(buffer.guardIntact());

    // With the repair switched off the image is the module's.
    sew_patch_enable(0);
    EXPECT_EQ(GetVerifyImage(buffer.data()), 1);
    EXPECT_EQ(buffer.content(), sim::modelImage(m, 0x22));

    m.script(0x22, ScriptedReply::failure());
    GuardedBuffer untouched(24 * 18 * 2);
    EXPECT_EQ(GetVerifyImage(untouched.data()), 2);
    EXPECT_TRUE(untouched.untouched());
    EXPECT_TRUE(logMessages().empty());
}

}  // namespace
}  // namespace fpm::test
