// The worker mechanism shared by every background procedure: the guard, the hand-off of
// the run, and the images handed to the caller.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "connection/connection_state.h"
#include "finger/procedure_image.h"
#include "support/procedure_events.h"
#include "worker/procedure_worker.h"

namespace fpm::test {
namespace {

std::atomic<void *> g_guard{nullptr};
std::atomic<bool> g_mayEnd{false};
std::atomic<bool> g_released{false};
std::atomic<bool> g_guardHeldInBody{false};
std::atomic<std::thread::id> g_bodyThread;

void waitForPermission()
{
    while (!g_mayEnd.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

class ProcedureWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_guard = nullptr;
        g_mayEnd = false;
        g_released = false;
    }
    void TearDown() override
    {
        g_mayEnd = true;
        EXPECT_TRUE(waitForWorkers());
    }
};

TEST_F(ProcedureWorkerTest, TheGuardAdmitsOneRunUntilItsBodyEnds)
{
    procedure::Run *run = procedure::Run::claim(g_guard);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(procedure::Run::claim(g_guard), nullptr);
    ASSERT_TRUE(run->launch([](procedure::Run &) {
        g_bodyThread = std::this_thread::get_id();
        g_guardHeldInBody = g_guard.load() != nullptr;
        waitForPermission();
    }));
    EXPECT_EQ(procedure::Run::claim(g_guard), nullptr);
    EXPECT_EQ(procedure::activeWorkers(), 1);

    g_mayEnd = true;
    ASSERT_TRUE(waitForWorkers());
    EXPECT_TRUE(g_guardHeldInBody.load());
    EXPECT_NE(g_bodyThread.load(), std::this_thread::get_id());
    EXPECT_EQ(g_guard.load(), nullptr);
}

TEST_F(ProcedureWorkerTest, AReleasedRunLetsTheNextStartWhileItFinishesAndNeverFreesTheNextOnesGuard)
{
    procedure::Run *first = procedure::Run::claim(g_guard);
    ASSERT_TRUE(first->launch([](procedure::Run &run) {
        run.release();
        g_released = true;
        waitForPermission();
        run.release();  // a second release changes nothing
    }));
    while (!g_released.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    // The second run takes the guard while the first still runs ...
    procedure::Run *second = procedure::Run::claim(g_guard);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(second->launch([](procedure::Run &) { waitForPermission(); }));
    EXPECT_EQ(procedure::activeWorkers(), 2);

    // ... and when somebody else cleared the guard and a third run took it, the end of
    // the second leaves the third's guard alone.
    g_guard.store(nullptr);
    procedure::Run *third = procedure::Run::claim(g_guard);
    ASSERT_NE(third, nullptr);
    g_mayEnd = true;
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(g_guard.load(), static_cast<void *>(third));
    ASSERT_TRUE(third->launch([](procedure::Run &) {}));
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(g_guard.load(), nullptr);
}

TEST_F(ProcedureWorkerTest, HandedImagesLiveUntilTheCompleteFunctionAndNoneIsLost)
{
    procedure::releaseHandedImages();
    std::uint8_t *first;
    {
        procedure::Image image(12);
        image.data()[11] = 7;
        first = image.handOver().pixels();
    }
    // Still valid after the worker's buffer object is gone.
    EXPECT_EQ(first[11], 7);
    EXPECT_EQ(state().procedureImage.load(), first);
    {
        procedure::Image unhanded(12);  // freed by its worker
        procedure::Image second(4);
        EXPECT_EQ(second.data()[0], 0);
        const procedure::HandedImage handed = second.handOver();
        EXPECT_EQ(handed.pixels(), state().procedureImage.load());
    }
    // Both handed images are freed here (the leak check of the sanitizer build watches).
    procedure::releaseHandedImages();
    EXPECT_EQ(state().procedureImage.load(), nullptr);
    procedure::releaseHandedImages();
}

}  // namespace
}  // namespace fpm::test
