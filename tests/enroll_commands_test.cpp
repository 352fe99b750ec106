// Enrolment one step at a time: blocks and time-outs the module receives, the status
// dispatch and its log lines, cancelling a waiting capture, and the capture image.
#include <gtest/gtest.h>

#include <string>

#include "connection/connection_state.h"
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

class EnrollTest : public FingerTest {};

TEST_F(EnrollTest, OneCaptureOnTheVirtualModuleCountsTowardsItsFinger)
{
    sim::VirtualModule &m = connectModule();
    std::int32_t amount = -1;
    EXPECT_EQ(QueryEnrollAmount(0x103, &amount), 1);  // only the low byte names the finger
    EXPECT_EQ(amount, 0);

    EXPECT_EQ(DoEnrollRequest(0x103), 1);
    EXPECT_EQ(CheckEnrollStatus(), 1);
    EXPECT_EQ(QueryEnrollAmount(3, &amount), 1);
    EXPECT_EQ(amount, 1);
    EXPECT_EQ(m.part<sim::FingerModel>().enrolled[3], 1);

    auto requests = host().requests();
    ASSERT_EQ(requests.size(), 6u);  // amount, request, three status polls (two busy), amount
    EXPECT_EQ(blockOf(requests[0]), fingerBlock(0x13, 0, 3));
    EXPECT_EQ(requests[0].timeoutSeconds, 10u);
    EXPECT_EQ(blockOf(requests[1]), fingerBlock(0x10, 0, 3));
    EXPECT_EQ(requests[1].timeoutSeconds, 15u);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(blockOf(requests[i]), fingerBlock(0x11, 0, 0));
        EXPECT_EQ(requests[i].timeoutSeconds, 15u);
        EXPECT_EQ(requests[i].length, 8u);
        EXPECT_EQ(requests[i].dataIn, 1);
    }
    // Busy polls go out on the following ticks of the command's own clock.
    EXPECT_EQ(requests[3].timeMs - requests[2].timeMs, 100u);
    EXPECT_EQ(requests[4].timeMs - requests[3].timeMs, 100u);
    EXPECT_TRUE(logMessages().empty());
    EXPECT_EQ(state().commandInProgress.load(), 0);
}

// The status dispatch of the three polled commands, with the line each case writes.
struct Dispatch {
    std::uint8_t status;
    int amountResult, requestResult, checkResult;
    const char *reason;  // null: no line
    const char *checkReason;
};

TEST_F(EnrollTest, StatusesMapToResultsAndLines)
{
    const Dispatch cases[] = {
        {2, 2, 2, 2, "CODE_ERROR", "CODE_ERROR"},
        {7, 2, 2, 7, "default", "CODE_FAKE_FINGER"},
        {8, 2, 2, 2, "CODE_CANCELING", "CODE_CANCELING"},
        {9, 2, 2, 2, "CODE_UNKNOWN_CMD", "CODE_UNKNOWN_CMD"},
        {0, 2, 2, 2, "default", "default"},
        {5, 2, 2, 2, "default", "default"},
    };
    sim::VirtualModule &m = connectModule();
    for (const Dispatch &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.status));
        freshLog();
        m.script(0x13, ScriptedReply::withStatus(c.status));
        m.script(0x10, ScriptedReply::withStatus(c.status));
        m.script(0x11, ScriptedReply::withStatus(c.status));
        std::int32_t amount = -7;
        EXPECT_EQ(QueryEnrollAmount(1, &amount), c.amountResult);
        EXPECT_EQ(amount, -7);
        EXPECT_EQ(DoEnrollRequest(1), c.requestResult);
        EXPECT_EQ(CheckEnrollStatus(), c.checkResult);
        EXPECT_EQ(logMessages(),
                  (Lines{std::string("QueryEnrollAmount : ") + c.reason, std::string("DoEnrollRequest : ") + c.reason,
                         std::string("CheckEnrollStatus : ") + c.checkReason}));
    }
}

TEST_F(EnrollTest, FailedTransfersAndWrongEchoesEndAtOnceWithTheirLines)
{
    sim::VirtualModule &m = connectModule();
    for (std::uint8_t code : {0x13, 0x10, 0x11}) m.script(code, ScriptedReply::failure());
    for (std::uint8_t code : {0x13, 0x10, 0x11})
        m.script(code, ScriptedReply{.status = 1, .values = {9}, .echo = 0x34});
    std::int32_t amount = -7;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(QueryEnrollAmount(1, &amount), 2);
        EXPECT_EQ(DoEnrollRequest(1), 2);
        EXPECT_EQ(CheckEnrollStatus(), 2);
    }
    EXPECT_EQ(amount, -7);
    EXPECT_EQ(host().requests().size(), 6u);
    EXPECT_EQ(logMessages(),
              (Lines{"QueryEnrollAmount : RecvDataTransaction Fail", "DoEnrollRequest : RecvDataTransaction Fail",
                     "CheckEnrollStatus : RecvDataTransaction Fail", "QueryEnrollAmount : Buffer[0] != LastCmd",
                     "DoEnrollRequest : Buffer[0] != LastCmd", "CheckEnrollStatus : Buffer[0] != LastCmd"}));
}

TEST_F(EnrollTest, AmountIsTheReplysThirdByteAndANullOutputSendsNothing)
{
    sim::VirtualModule &m = connectModule();
    m.script(0x13, ScriptedReply::busyThen(1, ScriptedReply::ok({255, 4})));
    std::int32_t amount = -1;
    EXPECT_EQ(QueryEnrollAmount(2, &amount), 1);
    EXPECT_EQ(amount, 255);
    EXPECT_EQ(host().requests().size(), 2u);

    host().clearRequests();
    EXPECT_EQ(QueryEnrollAmount(2, nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(EnrollTest, ACancelWhileWaitingEndsTheRequestWith2AndThePollWith8Silently)
{
    sim::VirtualModule &m = connectModule();
    m.answerAlways(0x10, ScriptedReply::withStatus(3));
    m.answerAlways(0x11, ScriptedReply::withStatus(3));
    time.clock.onSleep = [](FakeClock &clock) {
        if (clock.sleeps() == 4) state().cancelRequested.store(1);
    };
    EXPECT_EQ(DoEnrollRequest(1), 2);
    EXPECT_EQ(host().requestsWithCode(0x10).size(), 4u);  // no further send after the cancel
    EXPECT_EQ(state().commandInProgress.load(), 0);

    time.clock.onSleep = [](FakeClock &clock) {
        if (clock.sleeps() == 6) state().cancelRequested.store(1);
    };
    EXPECT_EQ(CheckEnrollStatus(), 8);
    EXPECT_EQ(host().requestsWithCode(0x11).size(), 2u);
    EXPECT_EQ(state().commandInProgress.load(), 0);
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(EnrollTest, APendingCancelIsDroppedByTheNextCommand)
{
    connectModule();
    state().cancelRequested.store(1);
    EXPECT_EQ(DoEnrollRequest(1), 1);
    state().cancelRequested.store(1);
    EXPECT_EQ(CheckEnrollStatus(), 1);
    EXPECT_EQ(state().cancelRequested.load(), 0);
}

TEST_F(EnrollTest, CapturesPerFingerFollowTheFirmwareFamily)
{
    sim::VirtualModule &m = connectModule();
    std::uint8_t count = 0;
    EXPECT_EQ(max_enroll_per_finger(&count), 1);
    EXPECT_EQ(count, 8);
    auto sends = host().requests();
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(blockOf(sends[0]), fingerBlock(0x32, 0, 0x80));

    m.setFirmwareText("FW 83KV 2.0");
    EXPECT_EQ(max_enroll_per_finger(&count), 1);
    EXPECT_EQ(count, 16);

    // Only the text up to its first zero counts.
    m.setFirmwareText("FW 8");
    m.firmwareRecord[5] = '3';
    m.firmwareRecord[6] = 'K';
    m.firmwareRecord[7] = 'V';
    EXPECT_EQ(max_enroll_per_finger(&count), 1);
    EXPECT_EQ(count, 8);

    m.setFirmwareText("3KV");
    EXPECT_EQ(max_enroll_per_finger(&count), 1);
    EXPECT_EQ(count, 8);

    count = 77;
    m.script(0x32, ScriptedReply::failure());
    EXPECT_EQ(max_enroll_per_finger(&count), 2);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(logMessages(), (Lines{"GetFirmwareVersion : RecvDataTransaction Fail"}));
}

class EnrollImageTest : public EnrollTest {
protected:
    sim::VirtualModule &module(std::uint8_t bytesPerPixel)
    {
        sim::VirtualModule &m = connectModule();
        useGeometry(m, 24, 18, bytesPerPixel);
        return m;
    }
    std::size_t imageBytes() const { return static_cast<std::size_t>(state().geometry().bytes()); }
};

TEST_F(EnrollImageTest, TheImageComesInOneDataPhaseAndIsRepaired)
{
    for (std::uint8_t depth : {1, 2}) {
        SCOPED_TRACE(static_cast<int>(depth));
        host().reset();
        sim::VirtualModule &m = module(depth);
        ASSERT_EQ(image::buildDefectPixelMap(), 0);
        ASSERT_FALSE(state().defectPixels.empty());
        host().clearRequests();

        GuardedBuffer buffer(imageBytes());
        EXPECT_EQ(GetEnrollImage(buffer.data()), 1);
        auto reads = host().requestsWithCode(0x12);
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(blockOf(reads[0]), fingerBlock(0x12, 1, 0));
        EXPECT_EQ(reads[0].length, 24u * 18u * depth);
        EXPECT_EQ(reads[0].timeoutSeconds, 10u);

        Bytes raw = sim::modelImage(m, 0x12);
        Bytes expected = raw;
        ASSERT_EQ(image::repairListedPixels(expected.data(), 24, 18, depth, state().defectPixels), 0);
        ASSERT_NE(expected, raw);
        EXPECT_EQ(buffer.content(), expected);
        EXPECT_TRUE(buffer.guardIntact());
    }
}

TEST_F(EnrollImageTest, AFailedReadLeavesTheBufferAndLogsOneLine)
{
    sim::VirtualModule &m = module(1);
    m.script(0x12, ScriptedReply::failure());
    state().cancelRequested.store(1);
    GuardedBuffer buffer(imageBytes());
    EXPECT_EQ(GetEnrollImage(buffer.data()), 2);
    EXPECT_TRUE(buffer.untouched());
    EXPECT_EQ(state().cancelRequested.load(), 0);
    EXPECT_EQ(logMessages(), (Lines{"GetEnrollImage : RecvDataTransaction Fail"}));

    host().clearRequests();
    EXPECT_EQ(GetEnrollImage(nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

}  // namespace
}  // namespace fpm::test
