// The background enrolment: the events its callback sees, the image hand-off, the three
// ends, and the cancel while it waits for a finger.
#include <gtest/gtest.h>

#include "connection/connection_state.h"
#include "support/procedure_fixture.h"
#include "worker/procedure_worker.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

constexpr int kWidth = 6;
constexpr int kHeight = 5;

std::vector<std::uint8_t> capture(std::uint8_t seed, int bytesPerPixel = 1)
{
    std::vector<std::uint8_t> image(kWidth * kHeight * bytesPerPixel);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(seed + i);
    return image;
}

class EnrollmentProcedureTest : public TimedProcedureTest {
protected:
    // A module with no enrolment data that accepts every capture at once.
    sim::VirtualModule &enrollingModule(int bytesPerPixel = 1)
    {
        sim::VirtualModule &module = connectModule();
        module.width = kWidth;
        module.height = kHeight;
        module.bytesPerPixel = static_cast<std::uint8_t>(bytesPerPixel);
        acceptEveryEnrollmentStep(module);
        return module;
    }
    void TearDown() override
    {
        TimedProcedureTest::TearDown();
        CompleteEnrollmentProcedure();
    }
};

TEST_F(EnrollmentProcedureTest, ThreeAcceptedCapturesEndWithTheLastImageAfterAPause)
{
    sim::VirtualModule &module = enrollingModule();
    for (std::uint8_t seed : {10, 20, 30}) module.script(0x12, ScriptedReply::bytes(capture(seed)));

    EXPECT_EQ(BeginEnrollmentProcedure(0x104, 0x203, recordEnrollment), 1);
    ASSERT_TRUE(waitForWorkers());

    auto records = callbacks();
    EXPECT_EQ(callbackEvents(), (std::vector<int>{18, 19, 1, 18, 19, 1, 18, 19, 17}));
    ASSERT_EQ(records.size(), 9u);
    EXPECT_EQ(records[2].image, capture(10));
    EXPECT_EQ(records[5].image, capture(20));
    EXPECT_EQ(records[8].image, capture(30));
    for (const CallbackRecord &r : records) {
        EXPECT_NE(r.thread, std::this_thread::get_id());
        EXPECT_EQ(r.imageAddress != nullptr, r.event == 1 || r.event == 17) << r.event;
        EXPECT_TRUE(r.enrollRunning);
    }
    EXPECT_GE(records[8].timeMs - records[7].timeMs, 2000u);

    // Every capture was asked for this finger index; the module stays open.
    for (const auto &r : host().requestsWithCode(0x10)) {
        EXPECT_EQ(blockOf(r), (std::vector<std::uint8_t>{0xE0, 0x10, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
    EXPECT_EQ(host().requestsWithCode(0x10).size(), 3u);
    EXPECT_NE(connected(), nullptr);
    EXPECT_EQ(host().requests().back().code(), 0x3D);  // the LEDs say "done"
    EXPECT_TRUE(host().requestsWithCode(0x14).empty());

    // The final image is the caller's until the complete function.
    EXPECT_EQ(state().procedureImage.load(), records[8].imageAddress);
    EXPECT_EQ(std::vector<std::uint8_t>(records[8].imageAddress, records[8].imageAddress + kWidth * kHeight),
              capture(30));
    EXPECT_EQ(state().enrollWorker.load(), nullptr);
    EXPECT_EQ(CompleteEnrollmentProcedure(), 1);
    EXPECT_EQ(state().procedureImage.load(), nullptr);
}

TEST_F(EnrollmentProcedureTest, AFakeFingerIsShownAndTheCaptureRepeated)
{
    sim::VirtualModule &module = enrollingModule();
    module.clearScripts();
    module.answerAlways(0x13, ScriptedReply::ok({0}));
    module.answerAlways(0x10, ScriptedReply::ok());
    module.script(0x11, ScriptedReply::ok());
    module.script(0x11, ScriptedReply::withStatus(7));
    module.answerAlways(0x11, ScriptedReply::ok());
    for (std::uint8_t seed : {1, 2, 3, 4}) module.script(0x12, ScriptedReply::bytes(capture(seed)));

    EXPECT_EQ(BeginEnrollmentProcedure(1, 3, recordEnrollment), 1);
    ASSERT_TRUE(waitForWorkers());
    auto records = callbacks();
    EXPECT_EQ(callbackEvents(), (std::vector<int>{18, 19, 1, 18, 7, 7, 18, 19, 1, 18, 19, 17}));
    ASSERT_EQ(records.size(), 12u);
    EXPECT_EQ(records[4].imageAddress, nullptr);
    EXPECT_EQ(records[5].image, capture(2));
    EXPECT_EQ(records[11].image, capture(4));
    EXPECT_EQ(host().requestsWithCode(0x10).size(), 4u);
}

TEST_F(EnrollmentProcedureTest, AFailedEnrolmentReportsItsLastResultAndClosesTheModule)
{
    struct Case {
        const char *name;
        int count;
        ScriptedReply status;
        bool imageFails;
        std::vector<int> events;
    };
    const Case cases[] = {
        {"count 0", 0, ScriptedReply::ok(), false, {2}},
        {"module error", 2, ScriptedReply::withStatus(2), false, {18, 2, 2}},
        {"image read", 2, ScriptedReply::ok(), true, {18, 19, 1}},
        {"fake finger image read", 2, ScriptedReply::withStatus(7), true, {18, 7, 7}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clearCallbacks();
        host().reset();
        sim::VirtualModule &module = enrollingModule();
        module.script(0x11, c.status);
        if (c.imageFails) module.script(0x12, ScriptedReply::failure());

        EXPECT_EQ(BeginEnrollmentProcedure(1, c.count, recordEnrollment), 1);
        ASSERT_TRUE(waitForWorkers());
        auto records = callbacks();
        EXPECT_EQ(callbackEvents(), c.events);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back().imageAddress, nullptr);
        EXPECT_EQ(state().procedureImage.load(), nullptr);
        // LEDs, then the final event, then device status 0 and the close.
        auto requests = host().requests();
        ASSERT_GE(requests.size(), 2u);
        EXPECT_EQ(requests[requests.size() - 2].code(), 0x3D);
        EXPECT_EQ(blockOf(requests.back()), (std::vector<std::uint8_t>{0xE0, 0x3E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(connected(), nullptr);
        EXPECT_EQ(state().enrollWorker.load(), nullptr);
    }
}

TEST_F(EnrollmentProcedureTest, AFingerIndexWithEnrolmentDataIsDeletedFirst)
{
    sim::VirtualModule &module = enrollingModule();
    module.clearScripts();
    module.script(0x13, ScriptedReply::ok({2}));
    module.answerAlways(0x10, ScriptedReply::ok());
    module.answerAlways(0x11, ScriptedReply::ok());
    module.script(0x12, ScriptedReply::bytes(capture(0)));

    EXPECT_EQ(BeginEnrollmentProcedure(7, 1, recordEnrollment), 1);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(callbackEvents(), (std::vector<int>{18, 19, 17}));
    auto requests = host().requests();
    auto at = [&](std::uint8_t code) {
        return std::find_if(requests.begin(), requests.end(), [&](const auto &r) { return r.code() == code; });
    };
    ASSERT_NE(at(0x14), requests.end());
    EXPECT_EQ(at(0x14)->block[3], 7);
    EXPECT_EQ(at(0x13)->block[3], 7);
    EXPECT_LT(at(0x13), at(0x14));
    EXPECT_LT(at(0x14), at(0x10));
}

TEST_F(EnrollmentProcedureTest, SixteenBitCapturesReachTheCallbackConverted)
{
    sim::VirtualModule &module = enrollingModule(2);
    module.script(0x11, ScriptedReply::withStatus(7));
    module.script(0x12, ScriptedReply::bytes(capture(40, 2)));
    module.script(0x12, ScriptedReply::bytes(capture(90, 2)));

    EXPECT_EQ(BeginEnrollmentProcedure(1, 1, recordEnrollment), 1);
    ASSERT_TRUE(waitForWorkers());
    auto records = callbacks();
    ASSERT_EQ(callbackEvents(), (std::vector<int>{18, 7, 7, 18, 19, 17}));
    for (auto [index, seed] : {std::pair{2, 40}, std::pair{5, 90}}) {
        std::vector<std::uint8_t> expected(kWidth * kHeight);
        const std::vector<std::uint8_t> raw = capture(static_cast<std::uint8_t>(seed), 2);
        ASSERT_EQ(Trans16To8Img(raw.data(), expected.data(), kWidth, kHeight), 0);
        EXPECT_EQ(records[index].image, expected);
    }
    EXPECT_EQ(host().requestsWithCode(0x12)[0].length, static_cast<std::uint32_t>(kWidth * kHeight * 2));
}

TEST_F(EnrollmentProcedureTest, TheOneCallStartConnectsSwitchesTheDeviceOnAndGivesTheSize)
{
    std::int32_t width = -1, height = -1;
    EXPECT_EQ(SmartCard_Enrollment(1, 1, &width, &height, recordEnrollment), 2);
    EXPECT_EQ(SmartCard_Verify(&width, &height, recordVerify), 2);
    EXPECT_EQ(width, -1);
    EXPECT_EQ(procedure::activeWorkers(), 0);

    sim::VirtualModule &module = host().addModule();
    module.width = kWidth;
    module.height = kHeight;
    module.answerAlways(0x13, ScriptedReply::ok({0}));
    module.answerAlways(0x10, ScriptedReply::ok());
    module.answerAlways(0x11, ScriptedReply::ok());
    module.script(0x12, ScriptedReply::bytes(capture(5)));
    EXPECT_EQ(SmartCard_Enrollment(2, 1, &width, &height, recordEnrollment), 1);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(callbackEvents(), (std::vector<int>{18, 19, 17}));
    EXPECT_EQ(callbacks().back().image, capture(5));
    // The device is switched on before the worker's first command.
    auto requests = host().requests();
    auto status = std::find_if(requests.begin(), requests.end(), [](const auto &r) { return r.code() == 0x3E; });
    auto query = std::find_if(requests.begin(), requests.end(), [](const auto &r) { return r.code() == 0x13; });
    ASSERT_NE(status, requests.end());
    EXPECT_EQ(status->block[3], 1);
    EXPECT_LT(status, query);
    EXPECT_EQ(host().requestsWithCode(0x3E).size(), 1u);
}

std::atomic<bool> g_mayGoOn{false};

TEST_F(EnrollmentProcedureTest, OneEnrolmentAtATime)
{
    enrollingModule();
    EXPECT_EQ(BeginEnrollmentProcedure(1, 1, nullptr), 2);
    EXPECT_EQ(state().enrollWorker.load(), nullptr);

    g_mayGoOn = false;
    g_onCallback = [](const CallbackRecord &) {
        while (!g_mayGoOn.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    EXPECT_EQ(BeginEnrollmentProcedure(3, 1, recordEnrollment), 1);
    ASSERT_TRUE(waitForCallbacks(1));
    auto other = [](unsigned char *, unsigned char *) {};
    EXPECT_EQ(BeginEnrollmentProcedure(5, 2, other), 2);
    EXPECT_EQ(state().procedures.enroll().callback, recordEnrollment);
    EXPECT_EQ(state().procedures.enroll().finger, 3);
    EXPECT_EQ(state().procedures.enroll().captureCount, 1);
    g_mayGoOn = true;
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(callbackEvents().back(), 17);
}

// Cancelling needs two threads that really wait: the real clock.
class EnrollmentCancelTest : public ProcedureTest {};

TEST_F(EnrollmentCancelTest, AStopWhileWaitingForTheFingerEndsWithTheCancelEventsAndKeepsTheModuleOpen)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x13, ScriptedReply::ok({0}));
    module.answerAlways(0x10, ScriptedReply::ok());
    module.answerAlways(0x11, ScriptedReply::withStatus(3));

    EXPECT_EQ(BeginEnrollmentProcedure(1, 2, recordEnrollment), 1);
    ASSERT_TRUE(waitForCallbacks(1));
    while (host().requestsWithCode(0x11).size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(StopEnrollmentProcedure(), 1);
    ASSERT_TRUE(waitForWorkers());

    auto records = callbacks();
    EXPECT_EQ(callbackEvents(), (std::vector<int>{18, 8, 20}));
    ASSERT_EQ(records.size(), 3u);
    // The guard is already free during the pause before the last event.
    EXPECT_TRUE(records[1].enrollRunning);
    EXPECT_FALSE(records[2].enrollRunning);
    EXPECT_GE(records[2].timeMs - records[1].timeMs, 2000u);
    EXPECT_EQ(host().requestsWithCode(0x33).size(), 1u);
    EXPECT_NE(connected(), nullptr);
    EXPECT_TRUE(host().requestsWithCode(0x3E).empty());
}

TEST_F(EnrollmentCancelTest, AStopWhileTheCaptureRequestWaitsEndsAsAFailure)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x13, ScriptedReply::ok({0}));
    module.answerAlways(0x10, ScriptedReply::withStatus(3));

    EXPECT_EQ(BeginEnrollmentProcedure(1, 2, recordEnrollment), 1);
    while (host().requestsWithCode(0x10).size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(SmartCard_StopEnroll(), 1);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(callbackEvents(), std::vector<int>{2});
    EXPECT_EQ(connected(), nullptr);
}

}  // namespace
}  // namespace fpm::test
