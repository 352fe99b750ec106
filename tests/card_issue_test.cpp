// Card issuing: the two commands and the issue procedure that closes the module.
#include <gtest/gtest.h>

#include <atomic>

#include "connection/connection_state.h"
#include "sim/card_model.h"
#include "support/log_files.h"
#include "support/procedure_fixture.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

class CardIssueTest : public TimedProcedureTest {};

TEST_F(CardIssueTest, IssueSendsItsBlockAndAsksAgainOnEachTickWhileBusy)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x36, ScriptedReply::busyThen(3, ScriptedReply::ok()));
    unsigned char issued = 0x55;
    EXPECT_EQ(CheckCardIssued(&issued), 1);
    EXPECT_EQ(issued, 0);

    host().clearRequests();
    state().cancelRequested.store(1);
    EXPECT_EQ(IssueCard(), 1);
    EXPECT_EQ(state().cancelRequested.load(), 0);
    auto sends = host().requestsWithCode(0x36);
    ASSERT_EQ(sends.size(), 4u);
    for (std::size_t i = 0; i < sends.size(); ++i) {
        EXPECT_EQ(blockOf(sends[i]), (std::vector<std::uint8_t>{0xE0, 0x36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(sends[i].length, 8u);
        EXPECT_EQ(sends[i].timeoutSeconds, 3u);
        EXPECT_EQ((sends[i].timeMs - sends[0].timeMs) / 100, i);
    }
    // Unscripted, the module issues the card and reports it so.
    EXPECT_EQ(IssueCard(), 1);
    EXPECT_TRUE(module.part<sim::CardState>().issued);
    EXPECT_EQ(CheckCardIssued(&issued), 1);
    EXPECT_EQ(issued, 1);
    auto checks = host().requestsWithCode(0x37);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(blockOf(checks[0]), (std::vector<std::uint8_t>{0xE0, 0x37, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(checks[0].timeoutSeconds, 3u);
}

TEST_F(CardIssueTest, OnlyReplyByteOneMeansIssuedAndFailuresStoreNothing)
{
    sim::VirtualModule &module = connectModule();
    unsigned char issued = 0x55;
    module.script(0x37, ScriptedReply::ok({2}));
    EXPECT_EQ(CheckCardIssued(&issued), 1);
    EXPECT_EQ(issued, 0);
    module.script(0x37, ScriptedReply::busyThen(1, ScriptedReply::ok({1})));
    EXPECT_EQ(CheckCardIssued(&issued), 1);
    EXPECT_EQ(issued, 1);

    ScriptedReply wrongEcho = ScriptedReply::ok({1});
    wrongEcho.echo = 0x36;
    for (const ScriptedReply &reply : {ScriptedReply::failure(), wrongEcho, ScriptedReply::withStatus(2),
                                       ScriptedReply::withStatus(8), ScriptedReply::withStatus(6)}) {
        issued = 0x55;
        module.script(0x37, reply);
        EXPECT_EQ(CheckCardIssued(&issued), 2);
        EXPECT_EQ(issued, 0x55);
    }
    host().clearRequests();
    EXPECT_EQ(CheckCardIssued(nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(CardIssueTest, IssueFailuresAreLoggedAndTheCheckWritesNoLine)
{
    sim::VirtualModule &module = connectModule();
    freshLog();
    ScriptedReply wrongEcho = ScriptedReply::ok();
    wrongEcho.echo = 0x10;
    for (const ScriptedReply &reply : {ScriptedReply::failure(), wrongEcho, ScriptedReply::withStatus(2),
                                       ScriptedReply::withStatus(8), ScriptedReply::withStatus(9),
                                       ScriptedReply::withStatus(5)}) {
        module.script(0x36, reply);
        EXPECT_EQ(IssueCard(), 2);
        module.script(0x37, reply);
        unsigned char issued;
        EXPECT_EQ(CheckCardIssued(&issued), 2);
    }
    EXPECT_EQ(logMessages(), (std::vector<std::string>{
                                 "IssueCard : RecvDataTransaction",
                                 "IssueCard : Buffer[0] != LastCmd",
                                 "IssueCard : CODE_ERROR",
                                 "IssueCard : CODE_CANCELING",
                                 "IssueCard : CODE_UNKNOWN_CMD",
                                 "IssueCard : default",
                             }));
}

std::atomic<int> g_startFromCallback{-1};
std::atomic<bool> g_openDuringCallback{false};

TEST_F(CardIssueTest, TheProcedureReportsThenSwitchesTheModuleOffAndClosesIt)
{
    for (std::uint8_t status : {1, 2}) {
        SCOPED_TRACE(status);
        clearCallbacks();
        host().reset();
        sim::VirtualModule &module = connectModule();
        module.script(0x36, ScriptedReply::withStatus(status));
        g_startFromCallback = -1;
        g_onCallback = [](const CallbackRecord &) {
            g_openDuringCallback = state().deviceHandle.load() != nullptr;
            g_startFromCallback = BeginIssueCardProcedure(recordResult);
        };

        EXPECT_EQ(BeginIssueCardProcedure(recordResult), 2);
        ASSERT_TRUE(waitForWorkers());
        auto records = callbacks();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].event, status);
        EXPECT_NE(records[0].thread, std::this_thread::get_id());
        EXPECT_EQ(g_startFromCallback.load(), 16);
        EXPECT_TRUE(g_openDuringCallback.load());

        // Issue, then device status 0, then the close; no LED wait.
        auto requests = host().requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].code(), 0x36);
        EXPECT_EQ(blockOf(requests[1]), (std::vector<std::uint8_t>{0xE0, 0x3E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(connected(), nullptr);
        EXPECT_EQ(host().openHandleCount(), 0u);
        EXPECT_EQ(state().issueCardWorker.load(), nullptr);
    }
}

TEST_F(CardIssueTest, WithoutACallbackTheCardIsStillIssuedAndTheModuleClosed)
{
    sim::VirtualModule &module = connectModule();
    EXPECT_EQ(BeginIssueCardProcedure(nullptr), 2);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_TRUE(module.part<sim::CardState>().issued);
    EXPECT_EQ(connected(), nullptr);
}

}  // namespace
}  // namespace fpm::test
