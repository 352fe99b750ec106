// Callers on several threads and the library's workers at the same time: the
// ThreadSanitizer build reports any data race among them, the others any crash or
// hang. Every case ends with every worker ended.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "exports/tool_interface.h"
#include "support/export_calls.h"
#include "support/log_files.h"
#include "support/procedure_fixture.h"
#include "worker/procedure_worker.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

constexpr std::uint8_t kCheckEnrollStatus = 0x11;
constexpr std::uint8_t kLeds = 0x3D;

void onThreads(int count, void (*body)(int thread))
{
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) threads.emplace_back(body, i);
    for (auto &t : threads) t.join();
}

class ConcurrencyTest : public TimedProcedureTest {
protected:
    void SetUp() override
    {
        TimedProcedureTest::SetUp();
        freshLog();
    }
    void TearDown() override
    {
        if (procedure::activeWorkers() != 0) DoCancel();
        TimedProcedureTest::TearDown();
        CompleteEnrollmentProcedure();
    }
    sim::VirtualModule &module()
    {
        sim::VirtualModule &m = connectModule();
        m.width = 12;
        m.height = 10;
        std::int32_t w = 0, h = 0;
        std::uint8_t d = 0;
        QuerySizeEx(&w, &h, &d);
        return m;
    }
};

TEST_F(ConcurrencyTest, ACancelStormEndsAWaitingEnrolment)
{
    sim::VirtualModule &m = module();
    m.answerAlways(kCheckEnrollStatus, ScriptedReply::withStatus(3));  // no finger, ever
    ASSERT_EQ(BeginEnrollmentProcedure(1, 3, recordEnrollment), 1);
    ASSERT_TRUE(waitForCallbacks(1));
    onThreads(4, [](int thread) {
        for (int i = 0; i < 10; ++i) {
            switch ((thread + i) % 3) {
            case 0: StopEnrollmentProcedure(); break;
            case 1: SmartCard_StopEnroll(); break;
            default: DoCancel(); break;
            }
        }
    });
    ASSERT_TRUE(waitForWorkers());
    const auto events = callbackEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), EVENT_CANCELED);
}

TEST_F(ConcurrencyTest, ProceduresStartedStoppedAndCompletedFromSeveralThreads)
{
    module();
    onThreads(4, [](int thread) {
        for (int i = 0; i < 15; ++i) {
            switch ((thread * 7 + i) % 5) {
            case 0: BeginEnrollmentProcedure(1, 1, recordEnrollment); break;
            case 1: BeginVerifyProcedure(recordVerify); break;
            case 2: StopVerifyProcedure(); break;
            case 3: CompleteVerifyProcedure(); break;
            default: CompleteEnrollmentProcedure(); break;
            }
        }
    });
    if (procedure::activeWorkers() != 0) DoCancel();
    ASSERT_TRUE(waitForWorkers());
}

TEST_F(ConcurrencyTest, AModuleClosedUnderARunningVerification)
{
    sim::VirtualModule &m = module();
    m.answerAlways(0x35, ScriptedReply::withStatus(3));  // identification keeps waiting
    ASSERT_EQ(BeginVerifyProcedure(recordVerify), 1);
    ASSERT_TRUE(waitForCallbacks(1));
    EXPECT_EQ(DeviceDisConnection(), 1);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(connected(), nullptr);
}

TEST_F(ConcurrencyTest, ConnectsWhileAFinishingDeletionStillLogs)
{
    sim::VirtualModule &m = module();
    m.answerAlways(kLeds, ScriptedReply::failure());  // the LED wait logs each attempt
    ASSERT_EQ(BeginDeleteEnrolledFingerProcedure(recordResult), 2);
    for (int i = 0; i < 10; ++i) {
        CheckDeviceConnection();
        FPM_WCHAR path[256];
        FPM_WCHAR *paths[1] = {path};
        std::int32_t found = 0;
        ExtractDevicePath(reinterpret_cast<const FPM_WCHAR *>(u"wexa"),
                          reinterpret_cast<const FPM_WCHAR *>(u"finger_module"), paths, 1, &found);
    }
    ASSERT_TRUE(waitForWorkers());
}

TEST_F(ConcurrencyTest, ReconnectsBesideAVerificationThatRepairsItsCaptures)
{
    // Each connect rebuilds the baseline and defect list that the worker repairs with.
    module();
    ASSERT_EQ(BeginVerifyProcedure(recordVerify), 1);
    for (int i = 0; i < 5; ++i) CheckDeviceConnection();
    ASSERT_TRUE(waitForWorkers());
}

// Two callers connecting at once store the found path at the same time, while a third
// switches the repair that the verification worker runs on each capture.
TEST_F(ConcurrencyTest, TwoConnectsAtOnceAndTheRepairSwitchedDuringAVerification)
{
    module();
    ASSERT_EQ(BeginVerifyProcedure(recordVerify), 1);
    std::atomic<int> connected{0};
    std::thread toggler([] {
        for (int i = 0; i < 2000; ++i) sew_patch_enable(static_cast<unsigned char>(i & 1));
    });
    auto connect = [&] {
        for (int i = 0; i < 100; ++i) connected += CheckDeviceConnection() == 1;
    };
    std::thread first(connect);
    connect();
    first.join();
    toggler.join();
    ASSERT_TRUE(waitForWorkers());
    sew_patch_enable(1);
    // One module: a connect may only fail while the other holds it half-open.
    EXPECT_GT(connected.load(), 0);
    EXPECT_EQ(tool::connectedPath(), sim::kModulePath);
}

TEST_F(ConcurrencyTest, AnEnrolmentBesideAVerification)
{
    sim::VirtualModule &m = module();
    m.answerAlways(0x13, ScriptedReply::ok({0}));
    ASSERT_EQ(BeginEnrollmentProcedure(1, 2, recordEnrollment), 1);
    ASSERT_EQ(BeginVerifyProcedure(recordVerify), 1);
    ASSERT_TRUE(waitForWorkers());
    const auto events = callbackEvents();
    EXPECT_NE(std::find(events.begin(), events.end(), EVENT_ENROLL_COMPLETE), events.end());
}

#ifndef _WIN32
TEST_F(ConcurrencyTest, TheProcessExitsWhileAWorkerWaits)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            sim::VirtualModule &m = module();
            m.answerAlways(kCheckEnrollStatus, ScriptedReply::withStatus(3));
            sys::setTimeSource(nullptr);  // the worker polls on the real clock meanwhile
            // A callback that touches nothing the exit destroys.
            g_callbackCalls.store(0);
            BeginEnrollmentProcedure(1, 1, readingEnrollment);
            while (g_callbackCalls.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace fpm::test
