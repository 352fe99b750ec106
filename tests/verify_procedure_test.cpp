// The background verification: its events, the matched finger index, the image
// hand-off, the cancel, and its ends without an event.
#include <gtest/gtest.h>

#include "connection/connection_state.h"
#include "support/procedure_fixture.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

constexpr int kWidth = 4;
constexpr int kHeight = 3;

std::vector<std::uint8_t> capture(std::uint8_t seed)
{
    std::vector<std::uint8_t> image(kWidth * kHeight);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(seed * 3 + i);
    return image;
}

class VerifyProcedureTest : public TimedProcedureTest {
protected:
    // A module whose identification answers `outcome` (with `finger` in reply byte 2)
    // and then delivers the capture.
    sim::VirtualModule &identifyingModule(ScriptedReply outcome)
    {
        sim::VirtualModule &module = connectModule();
        module.width = kWidth;
        module.height = kHeight;
        module.answerAlways(0x70, ScriptedReply::ok());
        module.answerAlways(0x23, ScriptedReply::ok());
        module.script(0x35, outcome);
        module.script(0x24, ScriptedReply::ok());
        module.script(0x24, ScriptedReply::bytes(capture(9)));
        return module;
    }
    void TearDown() override
    {
        TimedProcedureTest::TearDown();
        CompleteVerifyProcedure();
    }
};

TEST_F(VerifyProcedureTest, AMatchReportsTheFingerIndexAndTheImage)
{
    identifyingModule(ScriptedReply{.status = 5, .values = {3}});
    EXPECT_EQ(BeginVerifyProcedure(recordVerify), 1);
    ASSERT_TRUE(waitForWorkers());

    auto records = callbacks();
    ASSERT_EQ(callbackEvents(), (std::vector<int>{18, 5}));
    EXPECT_FALSE(records[0].hasIndex);
    EXPECT_EQ(records[0].imageAddress, nullptr);
    EXPECT_TRUE(records[1].hasIndex);
    EXPECT_EQ(records[1].index, 3);
    EXPECT_EQ(records[1].image, capture(9));
    EXPECT_NE(records[1].thread, std::this_thread::get_id());
    EXPECT_TRUE(records[1].verifyRunning);

    // The image stays the caller's; the verification is over and the module open.
    EXPECT_EQ(state().procedureImage.load(), records[1].imageAddress);
    EXPECT_EQ(state().verifyWorker.load(), nullptr);
    EXPECT_EQ(state().procedures.verify(), nullptr);
    EXPECT_NE(connected(), nullptr);
    EXPECT_EQ(host().requests().back().code(), 0x3D);
    EXPECT_EQ(CompleteVerifyProcedure(), 1);
    EXPECT_EQ(state().procedureImage.load(), nullptr);
}

TEST_F(VerifyProcedureTest, NoMatchReportsIndexZeroWithTheImage)
{
    identifyingModule(ScriptedReply{.status = 6, .values = {4}});
    EXPECT_EQ(BeginVerifyProcedure(recordVerify), 1);
    ASSERT_TRUE(waitForWorkers());
    auto records = callbacks();
    ASSERT_EQ(callbackEvents(), (std::vector<int>{18, 6}));
    EXPECT_TRUE(records[1].hasIndex);
    EXPECT_EQ(records[1].index, 0);
    EXPECT_EQ(records[1].image, capture(9));
}

TEST_F(VerifyProcedureTest, FailuresEndWithoutAnImage)
{
    // The identification fails: event 2 with the index byte.
    sim::VirtualModule &module = identifyingModule(ScriptedReply::withStatus(2));
    EXPECT_EQ(BeginVerifyProcedure(recordVerify), 1);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(callbackEvents(), (std::vector<int>{18, 2}));
    EXPECT_TRUE(callbacks()[1].hasIndex);
    EXPECT_EQ(state().procedureImage.load(), nullptr);

    // The image read after a match fails: no final event.
    clearCallbacks();
    module.clearScripts();
    module.answerAlways(0x70, ScriptedReply::ok());
    module.answerAlways(0x23, ScriptedReply::ok());
    module.script(0x35, ScriptedReply{.status = 5, .values = {1}});
    module.script(0x24, ScriptedReply::withStatus(2));
    EXPECT_EQ(BeginVerifyProcedure(recordVerify), 1);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(callbackEvents(), std::vector<int>{18});
    EXPECT_EQ(state().procedureImage.load(), nullptr);

    // The size query fails: nothing at all, and the next verification may start.
    clearCallbacks();
    module.script(0x34, ScriptedReply::failure());
    EXPECT_EQ(BeginVerifyProcedure(recordVerify), 1);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_TRUE(callbacks().empty());
    EXPECT_EQ(state().verifyWorker.load(), nullptr);
    EXPECT_NE(connected(), nullptr);
}

TEST_F(VerifyProcedureTest, ANullCallbackStartsNothing)
{
    connectModule();
    EXPECT_EQ(BeginVerifyProcedure(nullptr), 2);
    EXPECT_EQ(state().verifyWorker.load(), nullptr);
    EXPECT_TRUE(host().requests().empty());
}

class VerifyCancelTest : public ProcedureTest {};

TEST_F(VerifyCancelTest, AStopWhileIdentifyingReportsTheCancelOnBothThreads)
{
    sim::VirtualModule &module = connectModule();
    module.answerAlways(0x70, ScriptedReply::ok());
    module.answerAlways(0x23, ScriptedReply::ok());
    module.answerAlways(0x35, ScriptedReply::withStatus(3));

    EXPECT_EQ(BeginVerifyProcedure(recordVerify), 1);
    while (host().requestsWithCode(0x35).size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(SmartCard_StopVerify(), 1);
    ASSERT_TRUE(waitForWorkers());

    auto records = callbacks();
    ASSERT_EQ(callbackEvents(), (std::vector<int>{18, 8, 20}));
    // The stop reports on the caller's thread, the procedure on its own.
    EXPECT_EQ(records[1].thread, std::this_thread::get_id());
    EXPECT_FALSE(records[1].hasIndex);
    EXPECT_NE(records[2].thread, std::this_thread::get_id());
    EXPECT_TRUE(records[2].hasIndex);
    EXPECT_EQ(records[2].imageAddress, nullptr);
    EXPECT_EQ(state().procedures.verify(), nullptr);
    EXPECT_NE(connected(), nullptr);
}

}  // namespace
}  // namespace fpm::test
