// The tool's journeys on the virtual module, judged by what the module received and
// what the tool left behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/card_model.h"
#include "sim/delete_model.h"
#include "sim/finger_model.h"
#include "sim/virtual_host.h"
#include "tool/tool_run.h"
#include "tools/journeys.h"
#include "tools/virtual_setup.h"

namespace fpm::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kEnrollRequest = 0x10, kEnrollImage = 0x12, kDelete = 0x14, kVerifyRequest = 0x21,
                       kCancel = 0x33, kIssueCard = 0x36;

sim::VirtualHost &host() { return sim::VirtualHost::instance(); }
sim::VirtualModule &module() { return *host().module(); }

class JourneyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        images = fs::temp_directory_path() / ("fpmodule-journeys-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(images);
    }
    void TearDown() override { fs::remove_all(images); }

    std::size_t pngFiles() const
    {
        std::size_t count = 0;
        if (fs::exists(images))
            for (const auto &entry : fs::directory_iterator(images)) count += entry.path().extension() == ".png";
        return count;
    }

    fs::path images;
};

TEST_F(JourneyTest, EnrolTakesTheCapturesAskedForAndSavesEachImage)
{
    ASSERT_EQ(runTool({"enroll", "4", "--captures", "2", "--images", images.string()}), 0);

    const auto requests = host().requestsWithCode(kEnrollRequest);
    ASSERT_EQ(requests.size(), 2u);
    for (const auto &r : requests) EXPECT_EQ(r.block[3], 4);
    EXPECT_EQ(host().requestsWithCode(kEnrollImage).size(), 2u);
    EXPECT_EQ(module().part<sim::FingerModel>().enrolled[4], 2);
    EXPECT_EQ(pngFiles(), 2u);
    EXPECT_EQ(host().openHandleCount(), 0u);
}

TEST_F(JourneyTest, EnrolTakesTheModulesOwnCountByDefault)
{
    ASSERT_EQ(runTool({"enroll", "3"}), 0);
    // The virtual firmware's text has no "83KV": eight captures per finger.
    EXPECT_EQ(host().requestsWithCode(kEnrollImage).size(), 8u);
}

TEST_F(JourneyTest, VerifyAsksAboutTheNamedFinger)
{
    EXPECT_EQ(runTool({"verify", "2", "--on-sensor", "2", "--images", images.string()}), 0);
    const auto requests = host().requestsWithCode(kVerifyRequest);
    ASSERT_FALSE(requests.empty());
    for (const auto &r : requests) EXPECT_EQ(r.block[3], 2);
    EXPECT_TRUE(fs::exists(images / "verify-finger2.png"));
}

TEST_F(JourneyTest, IdentifyNamesTheMatchingFinger)
{
    EXPECT_EQ(runTool({"identify", "--on-sensor", "2", "--images", images.string()}), 0);
    EXPECT_TRUE(fs::exists(images / "identify-match-finger2.png"));
    EXPECT_EQ(runTool({"identify", "--on-sensor", "5"}), 1);  // on the sensor, never enrolled
}

TEST_F(JourneyTest, DeleteAllDeletesEveryIndexInTurn)
{
    ASSERT_EQ(runTool({"delete", "all"}), 0);
    EXPECT_EQ(module().part<sim::FingerDeleteState>().deleted, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    ASSERT_EQ(runTool({"delete", "7"}), 0);
    EXPECT_EQ(module().part<sim::FingerDeleteState>().deleted, (std::vector<std::uint8_t>{7}));
}

TEST_F(JourneyTest, IssueIssuesTheCardAndLeavesTheModuleClosed)
{
    ASSERT_EQ(runTool({"issue"}), 0);
    EXPECT_TRUE(module().part<sim::CardState>().issued);
    EXPECT_EQ(host().requestsWithCode(kIssueCard).size(), 1u);
    EXPECT_EQ(host().openHandleCount(), 0u);
}

TEST_F(JourneyTest, AFailedIssueExitsWithOne)
{
    cli::prepareModules({});
    module().answerAlways(kIssueCard, sim::ScriptedReply::withStatus(2));
    cli::Progress progress(false);
    EXPECT_EQ(cli::issueJourney({{}, "", &progress}), 1);
}

TEST_F(JourneyTest, ACancelledEnrolmentKeepsTheCapturesTakenAndTellsTheModule)
{
    cli::prepareModules({});
    cli::setVirtualFingers({}, 6);
    cli::Progress progress(false);
    const cli::CancelPlan cancel{2, 300, [] { cli::setVirtualFingerPresent(false); }};
    EXPECT_EQ(cli::enrollJourney({{}, "", &progress}, 6, 3, cancel), 1);

    EXPECT_EQ(module().part<sim::FingerModel>().enrolled[6], 1);
    EXPECT_EQ(host().requestsWithCode(kCancel).size(), 1u);
    EXPECT_EQ(host().openHandleCount(), 0u);
}

// The enrolment's event sequences as the library reports them; only the last event of
// each ends it.
TEST(EnrollmentEvents, OnlyTheFinalEventEndsTheEnrolment)
{
    struct Event {
        std::uint8_t code;
        bool image;
    };
    const std::vector<std::vector<Event>> sequences = {
        {{18, false}, {19, false}, {1, true}, {18, false}, {19, false}, {17, true}},  // completed
        {{18, false}, {7, false}, {7, true}, {18, false}, {19, false}, {17, true}},   // a fake finger, then done
        {{18, false}, {8, false}, {20, false}},                                       // cancelled
        {{18, false}, {2, false}, {2, false}},                                        // the module's error, twice
        {{18, false}, {19, false}, {1, true}, {2, false}},                            // a capture request failed
        {{18, false}, {19, false}, {1, false}},                                       // an accepted image unread
        {{18, false}, {7, false}, {7, false}},                                        // a rejected image unread
        {{2, false}},                                                                 // nothing to capture
    };
    for (std::size_t s = 0; s < sequences.size(); ++s) {
        std::uint8_t previous = 0;
        for (std::size_t i = 0; i < sequences[s].size(); ++i) {
            const Event e = sequences[s][i];
            EXPECT_EQ(cli::endsEnrollment(e.code, e.image, previous), i + 1 == sequences[s].size())
                << "sequence " << s << ", event " << i;
            previous = e.code;
        }
    }
}

}  // namespace
}  // namespace fpm::test
