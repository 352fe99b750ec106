// The image upload: its four stages, what the module receives in each, and the 5-second
// limit of each waiting stage.
#include <gtest/gtest.h>

#include "sim/image_model.h"
#include "support/fake_clock.h"
#include "support/image_geometry.h"
#include "support/library_fixture.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using Bytes = std::vector<std::uint8_t>;

class ImageUploadTest : public LibraryTest {
protected:
    ScopedFakeClock time{5000};

    sim::VirtualModule &module(std::uint8_t bytesPerPixel = 1)
    {
        sim::VirtualModule &m = connectModule();
        useGeometry(m, 16, 12, bytesPerPixel);
        image.resize(16u * 12u * bytesPerPixel);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
        return m;
    }
    // Phase (block byte 2) and time since the first request of every request.
    std::vector<std::pair<int, std::uint64_t>> stages()
    {
        std::vector<std::pair<int, std::uint64_t>> out;
        auto requests = host().requestsWithCode(0x3B);
        for (const auto &r : requests) out.emplace_back(r.block[2], r.timeMs - requests[0].timeMs);
        return out;
    }
    using Stages = std::vector<std::pair<int, std::uint64_t>>;

    Bytes image;
};

TEST_F(ImageUploadTest, SendsTheWholeImageBetweenRequestAndTwoStatusPolls)
{
    for (std::uint8_t bytesPerPixel : {1, 2}) {
        host().reset();
        sim::VirtualModule &m = module(bytesPerPixel);
        EXPECT_EQ(SimpleSentImage(image.data()), 1);
        auto requests = host().requestsWithCode(0x3B);
        ASSERT_EQ(requests.size(), 4u);
        for (const auto &r : requests) {
            EXPECT_EQ(blockOf(r), (Bytes{0xE0, 0x3B, r.block[2], 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
            EXPECT_EQ(r.timeoutSeconds, 10u);
        }
        EXPECT_EQ(requests[1].dataIn, 0);
        EXPECT_EQ(requests[1].length, 16u * 12u * bytesPerPixel);
        EXPECT_EQ(requests[1].dataOut, image);
        EXPECT_EQ(requests[3].length, 8u);
        // The completion poll waits for the tick after its stage began.
        EXPECT_EQ(stages(), (Stages{{0, 0}, {1, 0}, {2, 0}, {2, 100}}));
        ASSERT_EQ(m.part<sim::ImageModel>().uploads.size(), 1u);
        EXPECT_EQ(m.part<sim::ImageModel>().uploads[0], image);
    }
}

TEST_F(ImageUploadTest, TheRequestStageRetriesFailedTransfersForFiveSeconds)
{
    module().answerAlways(0x3B, ScriptedReply::failure());
    EXPECT_EQ(SimpleSentImage(image.data()), 2);
    auto s = stages();
    ASSERT_EQ(s.size(), 51u);
    EXPECT_EQ(s.back(), (std::pair<int, std::uint64_t>{0, 5000}));
}

TEST_F(ImageUploadTest, TheRequestStageTakesOneAnswer)
{
    sim::VirtualModule &m = module();
    ScriptedReply wrongEcho = ScriptedReply::ok();
    wrongEcho.echo = 0x3C;
    const std::pair<ScriptedReply, int> cases[] = {{ScriptedReply::withStatus(6), 6},
                                                   {ScriptedReply::withStatus(3), 2},
                                                   {ScriptedReply::withStatus(14), 2},
                                                   {wrongEcho, 2}};
    for (const auto &[reply, result] : cases) {
        host().clearRequests();
        m.script(0x3B, reply);
        EXPECT_EQ(SimpleSentImage(image.data()), result);
        EXPECT_EQ(host().requests().size(), 1u);
    }
    EXPECT_TRUE(m.part<sim::ImageModel>().uploads.empty());
}

TEST_F(ImageUploadTest, AFailedDataPhaseEndsTheUpload)
{
    sim::VirtualModule &m = module();
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::failure());
    EXPECT_EQ(SimpleSentImage(image.data()), 2);
    EXPECT_EQ(stages(), (Stages{{0, 0}, {1, 0}}));
}

TEST_F(ImageUploadTest, TheStatusStagePollsBusyAndFailedTransfersWithinItsOwnLimit)
{
    sim::VirtualModule &m = module();
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::failure());
    m.script(0x3B, ScriptedReply::busyThen(1, ScriptedReply::withStatus(9)));
    EXPECT_EQ(SimpleSentImage(image.data()), 2);
    EXPECT_EQ(stages(), (Stages{{0, 0}, {1, 0}, {2, 0}, {2, 100}, {2, 200}}));

    host().clearRequests();
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::ok());
    m.answerAlways(0x3B, ScriptedReply::withStatus(3));
    EXPECT_EQ(SimpleSentImage(image.data()), 2);
    auto s = stages();
    ASSERT_EQ(s.size(), 2u + 51u);
    EXPECT_EQ(s.back().second - s[2].second, 5000u);
}

TEST_F(ImageUploadTest, TheCompletionStageWaitsForOneOfItsTwoAnswers)
{
    sim::VirtualModule &m = module();
    for (int i = 0; i < 3; ++i) m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::withStatus(3));
    m.script(0x3B, ScriptedReply::failure());
    m.script(0x3B, ScriptedReply::withStatus(2));
    m.script(0x3B, ScriptedReply::withStatus(14));
    EXPECT_EQ(SimpleSentImage(image.data()), 14);
    EXPECT_EQ(stages(), (Stages{{0, 0}, {1, 0}, {2, 0}, {2, 100}, {2, 200}, {2, 300}, {2, 400}}));

    host().clearRequests();
    for (int i = 0; i < 3; ++i) m.script(0x3B, ScriptedReply::ok());
    ScriptedReply wrongEcho = ScriptedReply::ok();
    wrongEcho.echo = 0x3A;
    m.script(0x3B, wrongEcho);
    EXPECT_EQ(SimpleSentImage(image.data()), 2);
    EXPECT_EQ(stages().size(), 4u);

    host().clearRequests();
    for (int i = 0; i < 3; ++i) m.script(0x3B, ScriptedReply::ok());
    m.answerAlways(0x3B, ScriptedReply::withStatus(5));
    EXPECT_EQ(SimpleSentImage(image.data()), 2);
    auto s = stages();
    ASSERT_EQ(s.size(), 3u + 50u);  // ticks 1 to 50 of the stage
    EXPECT_EQ(s.back().second - s[2].second, 5000u);
}

TEST_F(ImageUploadTest, TheHandleTwinSendsNothing)
{
    module();
    EXPECT_EQ(SimpleSentImageWithHandle(connected(), image.data()), 0);
    EXPECT_EQ(SimpleSentImage(nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

}  // namespace
}  // namespace fpm::test
