// Identification of a fresh capture and of an uploaded image, its image, and DoCancel
// cutting the waits of every cancellable finger command on two real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

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

class IdentifyTest : public FingerTest {
protected:
    sim::VirtualModule &moduleWithEnrolled(std::uint8_t finger)
    {
        sim::VirtualModule &m = FingerTest::moduleWithEnrolled(finger);
        useGeometry(m, 24, 18, 1);
        return m;
    }
};

TEST_F(IdentifyTest, AMatchNamesTheFingerANoMatchWritesNothing)
{
    sim::VirtualModule &m = moduleWithEnrolled(3);
    std::uint8_t finger = 0xEE;
    EXPECT_EQ(DoIdentifyRequest(&finger), 5);
    EXPECT_EQ(finger, 3);
    auto requests = host().requests();
    ASSERT_EQ(requests.size(), 5u);  // presence, request, three outcome polls (two busy)
    EXPECT_EQ(blockOf(requests[0]), fingerBlock(0x70));
    EXPECT_EQ(blockOf(requests[1]), fingerBlock(0x23));
    for (int i = 2; i < 5; ++i) EXPECT_EQ(blockOf(requests[i]), fingerBlock(0x35));
    for (const auto &r : requests) {
        EXPECT_EQ(r.timeoutSeconds, 15u);
        EXPECT_EQ(r.length, 8u);
    }
    EXPECT_EQ(requests[2].timeMs, requests[1].timeMs);  // the first outcome poll at once
    EXPECT_EQ(requests[3].timeMs - requests[2].timeMs, 100u);

    finger = 0xEE;
    m.part<sim::FingerModel>().fingerOnSensor = 4;
    EXPECT_EQ(DoIdentifyRequest(&finger), 6);
    EXPECT_EQ(finger, 0xEE);
    EXPECT_TRUE(logMessages().empty());
    EXPECT_EQ(state().commandInProgress.load(), 0);
}

TEST_F(IdentifyTest, ThePresenceQueryDoesNotDecideAnything)
{
    sim::VirtualModule &m = moduleWithEnrolled(2);
    m.script(0x70, ScriptedReply::failure());
    std::uint8_t finger = 0;
    EXPECT_EQ(DoIdentifyRequest(&finger), 5);
    m.script(0x70, ScriptedReply{.status = 2, .echo = 0x11});
    EXPECT_EQ(DoIdentifyRequest(&finger), 5);
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(IdentifyTest, FailuresOfEitherStepAreLoggedUnderTheirStep)
{
    sim::VirtualModule &m = moduleWithEnrolled(2);
    m.part<sim::FingerModel>().busyPolls = 0;
    const std::string request = "DoIdentifyRequest(CMD_IDENTIFY_REQUEST) : ";
    const std::string outcome = "DoIdentifyRequest(CMD_CHECK_IDENTIFY_STATUS) : ";
    struct Case {
        std::uint8_t code;
        ScriptedReply reply;
        std::string line;
    };
    const Case cases[] = {
        {0x23, ScriptedReply::failure(), request + "RecvDataTransaction"},
        {0x23, ScriptedReply{.status = 1, .echo = 0x35}, request + "Buffer[0] != LastCmd"},
        {0x23, ScriptedReply::withStatus(2), request + "CODE_ERROR"},
        {0x23, ScriptedReply::withStatus(8), request + "CODE_CANCELING"},
        {0x23, ScriptedReply::withStatus(9), request + "CODE_UNKNOWN_CMD"},
        {0x23, ScriptedReply::withStatus(5), request + "default"},
        {0x35, ScriptedReply::failure(), outcome + "RecvDataTransaction"},
        {0x35, ScriptedReply{.status = 5, .echo = 0x23}, outcome + "Buffer[0] != LastCmd"},
        {0x35, ScriptedReply::withStatus(2), outcome + "CODE_ERROR"},
        {0x35, ScriptedReply::withStatus(8), outcome + "CODE_CANCELING"},
        {0x35, ScriptedReply::withStatus(9), outcome + "CODE_UNKNOWN_CMD"},
        {0x35, ScriptedReply::withStatus(1), outcome + "default"},
        {0x35, ScriptedReply::withStatus(7), outcome + "default"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        freshLog();
        host().clearRequests();
        m.script(c.code, c.reply);
        std::uint8_t finger = 0xEE;
        EXPECT_EQ(DoIdentifyRequest(&finger), 2);
        EXPECT_EQ(finger, 0xEE);
        EXPECT_EQ(logMessages(), Lines{c.line});
        EXPECT_EQ(host().requests().back().code(), c.code);  // nothing after the failing step
        EXPECT_EQ(state().commandInProgress.load(), 0);
    }
}

TEST_F(IdentifyTest, ACancelWhileEitherStepWaitsGives8Silently)
{
    sim::VirtualModule &m = moduleWithEnrolled(2);
    m.script(0x23, ScriptedReply::busyThen(5, ScriptedReply::ok()));
    time.clock.onSleep = [](FakeClock &clock) {
        EXPECT_EQ(state().commandInProgress.load(), 1);
        if (clock.sleeps() == 2) state().cancelRequested.store(1);
    };
    std::uint8_t finger = 0xEE;
    EXPECT_EQ(DoIdentifyRequest(&finger), 8);
    EXPECT_EQ(host().requestsWithCode(0x23).size(), 2u);
    EXPECT_TRUE(host().requestsWithCode(0x35).empty());
    EXPECT_EQ(state().commandInProgress.load(), 0);

    m.clearScripts();
    m.part<sim::FingerModel>().busyPolls = 5;
    time.clock.onSleep = [](FakeClock &clock) {
        if (clock.sleeps() == 3) state().cancelRequested.store(1);
    };
    EXPECT_EQ(DoIdentifyRequest(&finger), 8);
    EXPECT_EQ(host().requestsWithCode(0x35).size(), 1u);
    EXPECT_EQ(finger, 0xEE);
    EXPECT_EQ(state().commandInProgress.load(), 0);
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(IdentifyTest, TheUploadedImageIsIdentifiedWithoutAPresenceQuery)
{
    sim::VirtualModule &m = moduleWithEnrolled(6);
    Bytes image(24 * 18);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    // The upload waits on ticks; DoCancel must go on waiting through it.
    time.clock.onSleep = [](FakeClock &) { EXPECT_EQ(state().commandInProgress.load(), 1); };
    std::uint8_t finger = 0;
    EXPECT_EQ(DoIdentifyRequestEx(&finger, image.data()), 5);
    EXPECT_EQ(finger, 6);
    EXPECT_EQ(state().commandInProgress.load(), 0);

    auto requests = host().requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().code(), 0x23);
    EXPECT_TRUE(host().requestsWithCode(0x70).empty());
    const auto &uploads = m.part<sim::ImageModel>().uploads;
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0], image);
    // Request, then the upload, then the outcome.
    std::size_t firstUpload = 0, firstOutcome = 0;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (requests[i].code() == 0x3B && !firstUpload) firstUpload = i;
        if (requests[i].code() == 0x35 && !firstOutcome) firstOutcome = i;
    }
    EXPECT_LT(0u, firstUpload);
    EXPECT_LT(firstUpload, firstOutcome);
}

TEST_F(IdentifyTest, AnUploadThatFailsEndsTheCallWithItsResult)
{
    sim::VirtualModule &m = moduleWithEnrolled(6);
    Bytes image(24 * 18, 0x40);
    std::uint8_t finger = 0xEE;
    m.script(0x3B, ScriptedReply::withStatus(6));
    EXPECT_EQ(DoIdentifyRequestEx(&finger, image.data()), 6);
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::withStatus(14));
    EXPECT_EQ(DoIdentifyRequestEx(&finger, image.data()), 14);
    EXPECT_TRUE(host().requestsWithCode(0x35).empty());
    EXPECT_EQ(finger, 0xEE);
    EXPECT_EQ(state().commandInProgress.load(), 0);

    host().clearRequests();
    EXPECT_EQ(DoIdentifyRequestEx(&finger, nullptr), 2);
    EXPECT_EQ(DoIdentifyRequestEx(nullptr, image.data()), 2);
    EXPECT_EQ(DoIdentifyRequest(nullptr), 2);
    state().imageWidth = 0;
    EXPECT_EQ(DoIdentifyRequestEx(&finger, image.data()), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(IdentifyTest, TheIdentifyImageIsATwoPhaseReadRepaired)
{
    sim::VirtualModule &m = moduleWithEnrolled(1);
    ASSERT_EQ(image::buildDefectPixelMap(), 0);
    host().clearRequests();
    m.script(0x24, ScriptedReply::busyThen(1, ScriptedReply::ok()));
    GuardedBuffer buffer(24 * 18);
    EXPECT_EQ(GetIdentifyImage(buffer.data()), 1);
    auto reads = host().requestsWithCode(0x24);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(blockOf(reads[0]), fingerBlock(0x24, 0));
    EXPECT_EQ(reads[0].length, 8u);
    EXPECT_EQ(blockOf(reads[2]), fingerBlock(0x24, 1));
    EXPECT_EQ(reads[2].length, 24u * 18u);
    for (const auto &r : reads) EXPECT_EQ(r.timeoutSeconds, 3u);
    Bytes expected = sim::modelImage(m, 0x24);
    ASSERT_EQ(image::repairListedPixels(expected.data(), 24, 18, 1, state().defectPixels), 0);
    EXPECT_EQ(buffer.content(), expected);
    EXPECT_TRUE(buffer.guardIntact());
}

TEST_F(IdentifyTest, AFailedIdentifyImageReadLeavesTheBuffer)
{
    sim::VirtualModule &m = moduleWithEnrolled(1);
    const std::pair<ScriptedReply, const char *> refusals[] = {
        {ScriptedReply::failure(), "RecvDataTransaction Fail"},
        {ScriptedReply{.status = 1, .echo = 0x22}, "Buffer[0] != LastCmd"},
        {ScriptedReply::withStatus(2), "CODE_ERROR"},
        {ScriptedReply::withStatus(8), "CODE_CANCELING"},
        {ScriptedReply::withStatus(9), "CODE_UNKNOWN_CMD"},
        {ScriptedReply::withStatus(7), "default"},
    };
    Lines expected;
    for (const auto &[reply, reason] : refusals) {
        m.script(0x24, reply);
        GuardedBuffer buffer(24 * 18);
        EXPECT_EQ(GetIdentifyImage(buffer.data()), 2) << reason;
        EXPECT_TRUE(buffer.untouched()) << reason;
        expected.push_back(std::string("GetIdentifyImage : ") + reason);
    }
    // A failed data phase after an accepted request is silent.
    m.script(0x24, ScriptedReply::ok());
    m.script(0x24, ScriptedReply::failure());
    GuardedBuffer buffer(24 * 18);
    EXPECT_EQ(GetIdentifyImage(buffer.data()), 2);
    EXPECT_TRUE(buffer.untouched());
    EXPECT_EQ(logMessages(), expected);
}

// DoCancel on the caller's thread against a command waiting on a busy module on another
// thread, on the real clock.
class CancelWaitTest : public LibraryTest {};

struct Waiting {
    const char *name;
    std::uint8_t busyCode;
    std::function<int()> call;
    int canceledResult;
};

TEST_F(CancelWaitTest, DoCancelCutsEveryCancellableWaitAndFollowsIt)
{
    static std::uint8_t finger;
    static std::uint8_t image[24 * 18];
    const Waiting waits[] = {
        {"DoEnrollRequest", 0x10, [] { return DoEnrollRequest(1); }, 2},
        {"CheckEnrollStatus", 0x11, [] { return CheckEnrollStatus(); }, 8},
        {"DoVerifyRequest", 0x21, [] { return DoVerifyRequest(1); }, 8},
        {"DoIdentifyRequest", 0x35, [] { return DoIdentifyRequest(&finger); }, 8},
        {"DoIdentifyRequestEx", 0x35, [] { return DoIdentifyRequestEx(&finger, image); }, 8},
    };
    for (const Waiting &w : waits) {
        SCOPED_TRACE(w.name);
        host().reset();
        sim::VirtualModule &m = connectModule();
        useGeometry(m, 24, 18, 1);
        m.part<sim::FingerModel>().busyPolls = 1000000;
        m.part<sim::FingerModel>().enrolling = 1;
        m.part<sim::FingerModel>().busyLeft = 1000000;
        if (w.busyCode == 0x10) m.answerAlways(0x10, ScriptedReply::withStatus(3));
        if (w.busyCode == 0x21) {  // the preparation is over at once
            m.script(0x20, ScriptedReply::ok());
            m.script(0x20, ScriptedReply::ok());
        }

        std::atomic<int> result{-1};
        std::thread waiter([&] { result = w.call(); });
        while (host().requestsWithCode(w.busyCode).size() < 3 && result.load() < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(DoCancel(), 1);
        waiter.join();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(3000));  // loaded machines
        EXPECT_EQ(result.load(), w.canceledResult);
        EXPECT_EQ(state().commandInProgress.load(), 0);
        EXPECT_EQ(host().requestsWithCode(0x33).size(), 1u);
        // Commands that hold commandInProgress are over before the module hears the cancel;
        // a verification does not hold it, so a poll already under way may pass it.
        if (w.busyCode != 0x21) {
            EXPECT_EQ(host().requests().back().code(), 0x33);
        }
    }
}

}  // namespace
}  // namespace fpm::test
