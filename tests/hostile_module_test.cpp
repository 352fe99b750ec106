// A module that changes its answers between the library's own requests must not make the
// library read or write outside the buffers it sized, and procedures must hand their
// callbacks only images they may read.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "image/convert16to8.h"
#include "support/image_geometry.h"
#include "support/procedure_fixture.h"
#include "worker/procedure_worker.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

constexpr std::uint8_t kQuerySize = 0x34;
constexpr std::uint8_t kEnrollImage = 0x12;
constexpr std::uint8_t kVerifyImage = 0x22;
constexpr std::uint8_t kIdentifyImage = 0x24;
constexpr std::uint8_t kRawImage = 0x4F;

ScriptedReply sizeAnswer(std::uint8_t width, std::uint8_t height, std::uint8_t bytesPerPixel)
{
    return ScriptedReply::ok({width, height, bytesPerPixel});
}

// Lengths of the data phases the module was asked for with this code.
std::vector<std::uint32_t> dataPhaseLengths(std::uint8_t code)
{
    std::vector<std::uint32_t> lengths;
    for (const auto &r : sim::VirtualHost::instance().requestsWithCode(code))
        if (r.block[2] == 1) lengths.push_back(r.length);
    return lengths;
}

std::vector<std::uint8_t> pattern(std::size_t bytes, std::uint8_t seed)
{
    std::vector<std::uint8_t> image(bytes);
    for (std::size_t i = 0; i < bytes; ++i) image[i] = static_cast<std::uint8_t>(seed + i * 7);
    return image;
}

class HostileModuleTest : public TimedProcedureTest {
protected:
    sim::VirtualModule &enrollingModule()
    {
        sim::VirtualModule &module = connectModule();
        acceptEveryEnrollmentStep(module);
        return module;
    }
    void TearDown() override
    {
        TimedProcedureTest::TearDown();
        CompleteEnrollmentProcedure();
    }
};

// The repair of each capture asks the module for its size again. A module that then
// answers a larger size must not make the next capture be read into the buffer the
// enrolment sized from the first answer.
TEST_F(HostileModuleTest, AnEnrolmentReadsEveryCaptureWithTheGeometryItStartedWith)
{
    sim::VirtualModule &module = enrollingModule();
    module.width = 200;
    module.height = 200;
    module.bytesPerPixel = 2;
    module.script(kQuerySize, sizeAnswer(10, 10, 1));  // the caller's query
    module.script(kQuerySize, sizeAnswer(10, 10, 1));  // the worker's own
    std::int32_t w = 0, h = 0;
    std::uint8_t depth = 0;
    ASSERT_EQ(QuerySizeEx(&w, &h, &depth), 1);

    ASSERT_EQ(BeginEnrollmentProcedure(1, 2, recordEnrollment), 1);
    ASSERT_TRUE(waitForWorkers());

    for (std::uint32_t length : dataPhaseLengths(kEnrollImage)) EXPECT_EQ(length, 100u);
    // The module's answer to the repair's query no longer fits the capture: the read
    // fails, and the enrolment ends with it (final event 1 after an accepted capture).
    EXPECT_EQ(callbackEvents(), (std::vector<int>{18, 19, 1}));
    EXPECT_EQ(callbacks().back().imageAddress, nullptr);
}

// The same at the exports: the caller sized its buffer from its last size query. The
// data phase has delivered when the repair's query finds the change; a caller that acts
// on a failed read's buffer must still find its own bytes there.
struct CaptureRead {
    const char *name;
    std::uint8_t code;
    bool requestPhase;
    FPM_RESULT (*read)(unsigned char *);
};
const CaptureRead kCaptureReads[] = {
    {"GetEnrollImage", kEnrollImage, false, GetEnrollImage},
    {"GetVerifyImage", kVerifyImage, false, GetVerifyImage},
    {"GetIdentifyImage", kIdentifyImage, true, GetIdentifyImage},
};

TEST_F(HostileModuleTest, ARepairQueryWithAnotherAnswerFailsTheReadAndLeavesTheBufferAsItWas)
{
    for (const CaptureRead &capture : kCaptureReads) {
        SCOPED_TRACE(capture.name);
        host().reset();
        sim::VirtualModule &module = connectModule();
        useGeometry(module, 10, 10, 1);
        module.width = 20;
        module.height = 20;
        if (capture.requestPhase) module.script(capture.code, ScriptedReply::ok());
        module.script(capture.code, ScriptedReply::bytes(pattern(100, 1)));

        GuardedBuffer buffer(100);
        EXPECT_EQ(capture.read(buffer.data()), 2);
        EXPECT_EQ(dataPhaseLengths(capture.code), (std::vector<std::uint32_t>{100}));
        EXPECT_TRUE(buffer.untouched());

        // The next read still uses the caller's geometry.
        module.script(kRawImage, ScriptedReply::ok());
        module.script(kRawImage, ScriptedReply::bytes(pattern(400, 2)));
        GuardedBuffer raw(100);
        EXPECT_EQ(GetRawImage(raw.data()), 1);
        EXPECT_TRUE(raw.guardIntact());
        EXPECT_EQ(dataPhaseLengths(kRawImage), (std::vector<std::uint32_t>{100}));
        EXPECT_EQ(raw.content(), pattern(100, 2));
    }
}

// A 16-bit geometry set by QuerySize_16 survives a repair whose size answer carries
// the module's own depth byte.
TEST_F(HostileModuleTest, ARepairKeepsTheSixteenBitGeometryTheCallerChose)
{
    sim::VirtualModule &module = connectModule();
    module.width = 10;
    module.height = 10;
    module.bytesPerPixel = 1;
    std::int32_t w = 0, h = 0;
    ASSERT_EQ(QuerySize_16(&w, &h), 1);
    module.script(kVerifyImage, ScriptedReply::ok());
    module.script(kVerifyImage, ScriptedReply::bytes(pattern(200, 3)));
    GuardedBuffer buffer(200);
    EXPECT_EQ(GetVerifyImage(buffer.data()), 1);
    EXPECT_TRUE(buffer.guardIntact());

    GuardedBuffer raw(200);
    EXPECT_EQ(GetRawImage(raw.data()), 1);
    EXPECT_EQ(dataPhaseLengths(kRawImage), (std::vector<std::uint32_t>{200}));
}

// A complete function called while the verification's callback still looks at its final
// image: the image stays readable until the callback returns.
std::mutex g_mutex;
std::condition_variable g_changed;
bool g_inFinalEvent = false;
bool g_completed = false;
std::vector<std::uint8_t> g_seen;

void FPM_CALL slowVerifyReader(unsigned char *event, unsigned char *, unsigned char *image)
{
    if (*event != CODE_MATCH || !image) return;
    std::unique_lock lock(g_mutex);
    g_inFinalEvent = true;
    g_changed.notify_all();
    g_changed.wait_for(lock, std::chrono::seconds(10), [] { return g_completed; });
    g_seen.assign(image, image + 12);
}

TEST_F(HostileModuleTest, ACompleteDuringTheFinalCallbackLeavesItsImageReadable)
{
    sim::VirtualModule &module = connectModule();
    module.width = 4;
    module.height = 3;
    module.answerAlways(0x70, ScriptedReply::ok());
    module.answerAlways(0x23, ScriptedReply::ok());
    module.script(0x35, ScriptedReply{.status = 5, .values = {2}});
    module.script(0x24, ScriptedReply::ok());
    module.script(0x24, ScriptedReply::bytes(pattern(12, 9)));
    g_inFinalEvent = g_completed = false;

    ASSERT_EQ(BeginVerifyProcedure(slowVerifyReader), 1);
    {
        std::unique_lock lock(g_mutex);
        ASSERT_TRUE(g_changed.wait_for(lock, std::chrono::seconds(10), [] { return g_inFinalEvent; }));
    }
    EXPECT_EQ(CompleteVerifyProcedure(), 1);
    {
        std::lock_guard lock(g_mutex);
        g_completed = true;
    }
    g_changed.notify_all();
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(g_seen, pattern(12, 9));
}

// A complete function does not free the guard of an enrolment that is still running:
// a second enrolment cannot start beside it.
std::atomic<int> g_secondStart{-1};

void FPM_CALL completeAndStartAgain(unsigned char *event, unsigned char *)
{
    if (*event != EVENT_WAIT_FINGER || g_secondStart.load() != -1) return;
    CompleteEnrollmentProcedure();
    g_secondStart.store(BeginEnrollmentProcedure(2, 1, completeAndStartAgain));
}

TEST_F(HostileModuleTest, ACompleteDuringAnEnrolmentDoesNotLetASecondOneStart)
{
    enrollingModule();
    g_secondStart.store(-1);
    ASSERT_EQ(BeginEnrollmentProcedure(1, 1, completeAndStartAgain), 1);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(g_secondStart.load(), 2);
    for (const auto &r : host().requestsWithCode(0x10)) EXPECT_EQ(r.block[3], 1) << "a second enrolment ran";
}

// A 16-bit capture is converted with the procedure's own size, whatever size an earlier
// conversion fixed for the export.
TEST_F(HostileModuleTest, AProcedureConvertsItsCaptureWhateverSizeTheExportFixed)
{
    sim::VirtualModule &module = enrollingModule();
    useGeometry(module, 20, 20, 2);
    const auto large = pattern(800, 5);
    std::vector<std::uint8_t> large8(400);
    ASSERT_EQ(Trans16To8Img(large.data(), large8.data(), 20, 20), 0);

    useGeometry(module, 10, 10, 2);
    const auto capture = pattern(200, 11);
    module.script(kEnrollImage, ScriptedReply::bytes(capture));
    ASSERT_EQ(BeginEnrollmentProcedure(1, 1, recordEnrollment), 1);
    ASSERT_TRUE(waitForWorkers());

    ASSERT_EQ(callbackEvents(), (std::vector<int>{18, 19, 17}));
    std::vector<std::uint8_t> expected(100);
    image::convert16To8(capture.data(), expected.data(), 10, 10);
    EXPECT_EQ(callbacks().back().image, expected);
}

// The exported transfers refuse a length that no data phase of the module can have.
TEST_F(HostileModuleTest, ATransferLongerThanTheLargestImageSendsNothing)
{
    connectModule();
    const unsigned char block[16] = {0xE0, 0x4F, 1};
    std::vector<std::uint8_t> buffer(16);
    EXPECT_EQ(RecvDataTransaction(block, buffer.data(), 0xFFFFFFFFu, 10), 2);
    EXPECT_EQ(SendDataTransaction(block, buffer.data(), 510 * 510 * 2 + 1, 10), 2);
    EXPECT_EQ(RecvDataTransaction(block, nullptr, 16, 10), 2);
    EXPECT_TRUE(host().requests().empty());
}

}  // namespace
}  // namespace fpm::test
