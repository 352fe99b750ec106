// Deleting enrolled fingers: the one command, the walk over all slots, and the
// background deletion with its callback.
#include <gtest/gtest.h>

#include <atomic>

#include "connection/connection_state.h"
#include "support/log_files.h"
#include "support/procedure_fixture.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

class FingerDeleteTest : public TimedProcedureTest {};

std::vector<int> deletedIndices()
{
    std::vector<int> indices;
    for (const auto &r : sim::VirtualHost::instance().requestsWithCode(0x14)) indices.push_back(r.block[3]);
    return indices;
}

TEST_F(FingerDeleteTest, OneDeletionSendsItsBlockAndAsksAgainOnEachTickWhileBusy)
{
    connectModule().script(0x14, ScriptedReply::busyThen(2, ScriptedReply::ok()));
    state().cancelRequested.store(1);
    EXPECT_EQ(DoDeleteFingerRequest(0x7FFFFF03), 1);
    EXPECT_EQ(state().cancelRequested.load(), 0);

    auto sends = host().requestsWithCode(0x14);
    ASSERT_EQ(sends.size(), 3u);
    for (const auto &r : sends) {
        EXPECT_EQ(blockOf(r), (std::vector<std::uint8_t>{0xE0, 0x14, 1, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(r.dataIn, 1);
        EXPECT_EQ(r.length, 8u);
        EXPECT_EQ(r.timeoutSeconds, 10u);
    }
    EXPECT_EQ((sends[1].timeMs - sends[0].timeMs) / 100, 1u);
    EXPECT_EQ((sends[2].timeMs - sends[0].timeMs) / 100, 2u);
}

TEST_F(FingerDeleteTest, EveryFailureGivesTwoAndItsLine)
{
    sim::VirtualModule &module = connectModule();
    freshLog();
    ScriptedReply wrongEcho = ScriptedReply::ok();
    wrongEcho.echo = 0x13;
    const ScriptedReply replies[] = {ScriptedReply::failure(),       wrongEcho,
                                     ScriptedReply::withStatus(2),   ScriptedReply::withStatus(8),
                                     ScriptedReply::withStatus(9),   ScriptedReply::withStatus(7),
                                     ScriptedReply::withStatus(0)};
    for (const ScriptedReply &reply : replies) {
        module.script(0x14, reply);
        EXPECT_EQ(DoDeleteFingerRequest(1), 2);
    }
    EXPECT_EQ(logMessages(), (std::vector<std::string>{
                                 "DoDeleteFingerRequest : RecvDataTransaction",
                                 "DoDeleteFingerRequest : Buffer[0] != LastCmd",
                                 "DoDeleteFingerRequest : CODE_ERROR",
                                 "DoDeleteFingerRequest : CODE_CANCELING",
                                 "DoDeleteFingerRequest : CODE_UNKNOWN_CMD",
                                 "DoDeleteFingerRequest : default",
                                 "DoDeleteFingerRequest : default",
                             }));
}

TEST_F(FingerDeleteTest, AllFingersAreSlotsOneToFiveAndTheFirstFailureStopsTheWalk)
{
    sim::VirtualModule &module = connectModule();
    EXPECT_EQ(SmartCard_delete_finger(0xFF), 1);
    EXPECT_EQ(deletedIndices(), (std::vector<int>{1, 2, 3, 4, 5}));
    // Success ends with the LEDs set to "done".
    auto leds = host().requestsWithCode(0x3D);
    ASSERT_EQ(leds.size(), 1u);
    EXPECT_EQ(leds[0].block[3], 3);

    host().clearRequests();
    module.script(0x14, ScriptedReply::ok());
    module.script(0x14, ScriptedReply::ok());
    module.script(0x14, ScriptedReply::withStatus(2));
    EXPECT_EQ(SmartCard_delete_finger(0x1FF), 2);
    EXPECT_EQ(deletedIndices(), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(host().requestsWithCode(0x3D).empty());
}

TEST_F(FingerDeleteTest, OnlyAllFingersIsExpanded)
{
    connectModule();
    EXPECT_EQ(SmartCard_delete_finger(0), 1);
    EXPECT_EQ(SmartCard_delete_finger(6), 1);
    EXPECT_EQ(SmartCard_delete_finger(0xFE), 1);
    EXPECT_EQ(deletedIndices(), (std::vector<int>{0, 6, 0xFE}));
}

std::atomic<int> g_startFromCallback{-1};
std::atomic<bool> g_guardHeldInCallback{false};
std::atomic<bool> g_guardFreeAtLeds{false};
std::atomic<int> g_ledRequests{0};

void FPM_CALL otherCallback(unsigned char *) {}

TEST_F(FingerDeleteTest, BackgroundDeletionReportsOnTheWorkerAndKeepsOthersOutUntilItsCallbackReturned)
{
    sim::VirtualModule &module = connectModule();
    g_startFromCallback = -1;
    g_ledRequests = 0;
    g_onCallback = [](const CallbackRecord &) {
        g_guardHeldInCallback = state().deleteWorker.load() != nullptr;
        g_startFromCallback = BeginDeleteEnrolledByFingerIdProcedure(4, otherCallback);
    };
    module.setHandler(0x3D, [](sim::VirtualModule &, const sim::ReceivedRequest &r) {
        g_guardFreeAtLeds = state().deleteWorker.load() == nullptr;
        ++g_ledRequests;
        return std::optional(sim::VirtualModule::header(r.code(), 1));
    });

    EXPECT_EQ(BeginDeleteEnrolledByFingerIdProcedure(0x102, recordResult), 2);
    ASSERT_TRUE(waitForWorkers());

    auto records = callbacks();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].event, 1);
    EXPECT_NE(records[0].thread, std::this_thread::get_id());
    EXPECT_TRUE(g_guardHeldInCallback.load());
    EXPECT_EQ(g_startFromCallback.load(), 16);
    // The refused start changed nothing of the running deletion.
    EXPECT_EQ(state().procedures.deletion().finger, 2);
    EXPECT_EQ(state().procedures.deletion().callback, recordResult);
    EXPECT_EQ(deletedIndices(), (std::vector<int>{2}));
    // The guard was free again before the LED wait, which then ran.
    EXPECT_EQ(g_ledRequests.load(), 1);
    EXPECT_TRUE(g_guardFreeAtLeds.load());
    EXPECT_EQ(state().deleteWorker.load(), nullptr);
    EXPECT_NE(connected(), nullptr);
}

TEST_F(FingerDeleteTest, BackgroundDeleteAllReportsTheFailureAndKeepsTheEarlierDeletions)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x14, ScriptedReply::ok());
    module.script(0x14, ScriptedReply::failure());
    EXPECT_EQ(BeginDeleteEnrolledFingerProcedure(recordResult), 2);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(callbackEvents(), std::vector<int>{2});
    EXPECT_EQ(deletedIndices(), (std::vector<int>{1, 2}));
}

TEST_F(FingerDeleteTest, WithoutACallbackTheDeletionStillRuns)
{
    connectModule();
    EXPECT_EQ(BeginDeleteEnrolledByFingerIdProcedure(5, nullptr), 2);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(deletedIndices(), std::vector<int>{5});
    EXPECT_EQ(state().deleteWorker.load(), nullptr);
    // And the next one may start.
    EXPECT_EQ(BeginDeleteEnrolledFingerProcedure(recordResult), 2);
}

}  // namespace
}  // namespace fpm::test
