// The flash and product-information blocks: what the module receives for a read and a
// write, one answer only, and the caller's buffer written only by a successful read.
// Then the image registration upload.
#include <gtest/gtest.h>

#include "connection/connection_state.h"
#include "sim/image_model.h"
#include "sim/product_info_model.h"
#include "sim/vendor_model.h"
#include "support/fake_clock.h"
#include "support/image_geometry.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using Bytes = std::vector<std::uint8_t>;

class DataBlocksTest : public LibraryTest {};

TEST_F(DataBlocksTest, ReadsTheWholeProductInformationBlock)
{
    sim::VirtualModule &m = connectModule();
    auto &info = m.part<sim::ProductInfoBlock>().bytes;
    for (std::size_t i = 2; i < info.size(); ++i) info[i] = static_cast<std::uint8_t>(i * 3);
    GuardedBuffer buffer(62);
    EXPECT_EQ(ProductInfoOperation(0, 62, buffer.data()), 1);
    EXPECT_EQ(buffer.content(), Bytes(info.begin(), info.end()));
    EXPECT_TRUE(buffer.guardIntact());

    const auto r = host().requestsWithCode(0x68).at(0);
    EXPECT_EQ(blockOf(r), (Bytes{0xE0, 0x68, 0, 0, 0x3E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.dataIn, 1);
    EXPECT_EQ(r.length, 64u);
    EXPECT_EQ(r.timeoutSeconds, 3u);
}

TEST_F(DataBlocksTest, AReadTakesOneAnswerAndFillsTheBufferOnlyOnSuccess)
{
    sim::VirtualModule &m = connectModule();
    ScriptedReply otherEcho = ScriptedReply::ok(Bytes(62, 1));
    otherEcho.echo = 0x66;
    for (ScriptedReply reply : {ScriptedReply::withStatus(3), ScriptedReply::withStatus(2), otherEcho,
                                ScriptedReply::failure()}) {
        host().clearRequests();
        m.script(0x68, reply);
        GuardedBuffer buffer(62);
        EXPECT_EQ(ProductInfoOperationWithHandle(connected(), 0, 62, buffer.data()), 2);
        EXPECT_TRUE(buffer.untouched());
        EXPECT_EQ(host().requests().size(), 1u);
    }
}

TEST_F(DataBlocksTest, AFlashWriteSendsTheBlockThenReadsItsStatusAndTheModuleKeepsIt)
{
    sim::VirtualModule &m = connectModule();
    Bytes block(300);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7 + 1);
    EXPECT_EQ(FlashOperation(1, 300, block.data()), 1);

    const auto requests = host().requestsWithCode(0x66);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(blockOf(requests[0]), (Bytes{0xE0, 0x66, 0, 0x01, 0x2C, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[0].dataIn, 0);
    EXPECT_EQ(requests[0].dataOut, block);
    EXPECT_EQ(blockOf(requests[1]), (Bytes{0xE0, 0x66, 1, 0x01, 0x2C, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[1].dataIn, 1);
    EXPECT_EQ(requests[1].length, 8u);
    for (const auto &r : requests) EXPECT_EQ(r.timeoutSeconds, 3u);

    GuardedBuffer back(300);
    EXPECT_EQ(FlashOperationWithHandle(connected(), 0, 300, back.data()), 1);
    EXPECT_EQ(back.content(), block);
    EXPECT_EQ(host().requestsWithCode(0x66).at(2).length, 302u);

    // Any operation but 0 writes and is sent as given.
    EXPECT_EQ(ProductInfoOperation(0x7F, 2, Bytes{0xEF, 0xBE}.data()), 1);
    EXPECT_EQ(m.part<sim::VendorModel>().lastWriteOperation, 0x7F);
    EXPECT_EQ(m.part<sim::ProductInfoBlock>().vendorCode(), 0xBEEF);
}

TEST_F(DataBlocksTest, AWriteFailsOnAnyStatusButCodeOkWithoutAskingAgain)
{
    sim::VirtualModule &m = connectModule();
    const Bytes block(16, 0x5A);
    for (std::uint8_t status : {2, 3, 9}) {
        host().clearRequests();
        m.script(0x66, ScriptedReply::ok());  // the data phase
        m.script(0x66, ScriptedReply::withStatus(status));
        EXPECT_EQ(FlashOperation(1, 16, const_cast<std::uint8_t *>(block.data())), 2) << int(status);
        EXPECT_EQ(host().requests().size(), 2u);
    }
    host().clearRequests();
    m.script(0x66, ScriptedReply::failure());
    EXPECT_EQ(FlashOperation(1, 16, const_cast<std::uint8_t *>(block.data())), 2);
    EXPECT_EQ(host().requests().size(), 1u);  // no status read after a failed data phase
}

TEST_F(DataBlocksTest, TheLargestBlockAndTheEmptyOne)
{
    connectModule();
    GuardedBuffer buffer(65535);
    EXPECT_EQ(FlashOperation(0, 65535, buffer.data()), 1);
    EXPECT_EQ(buffer.content(), Bytes(65535, 0xFF));  // never written: erased flash
    EXPECT_TRUE(buffer.guardIntact());
    EXPECT_EQ(host().requestsWithCode(0x66).at(0).length, 65537u);

    EXPECT_EQ(FlashOperation(0, 0, nullptr), 1);
    EXPECT_EQ(host().requestsWithCode(0x66).at(1).length, 2u);
}

TEST_F(DataBlocksTest, AMissingBufferSendsNothing)
{
    connectModule();
    EXPECT_EQ(FlashOperation(0, 10, nullptr), 2);
    EXPECT_EQ(FlashOperation(1, 10, nullptr), 2);
    EXPECT_EQ(ProductInfoOperation(0, 62, nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(DataBlocksTest, BlocksLeaveTheCancelRequestAndTheLogAlone)
{
    freshLog();
    sim::VirtualModule &m = connectModule();
    state().cancelRequested.store(1);
    m.script(0x68, ScriptedReply::withStatus(2));
    Bytes info(62, 0);
    EXPECT_EQ(ProductInfoOperation(0, 62, info.data()), 2);
    EXPECT_EQ(state().cancelRequested.load(), 1);
    EXPECT_TRUE(logMessages().empty());
}

class RegModuleTest : public LibraryTest {
protected:
    ScopedFakeClock time{5000};

    Bytes image = Bytes(16u * 12u);
    sim::VirtualModule &module()
    {
        // The plain connection's size query sets the geometry for every handle.
        sim::VirtualModule &m = connectModule();
        useGeometry(m, 16, 12, 1);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 5 + 2);
        return m;
    }
};

TEST_F(RegModuleTest, UploadsUnderTheCallersByteOnTheCallersHandleInThreeStages)
{
    sim::VirtualModule &m = module();
    FPM_HANDLE handle = host().open(sim::kModulePath);
    EXPECT_EQ(RegModuleEx(handle, 0x07, image.data()), 1);

    const auto requests = host().requestsWithCode(0x3B);
    ASSERT_EQ(requests.size(), 3u);  // no completion poll
    for (std::uint8_t stage = 0; stage < 3; ++stage) {
        EXPECT_EQ(blockOf(requests[stage]), (Bytes{0xE0, 0x3B, stage, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(requests[stage].handle, handle);
        EXPECT_NE(requests[stage].handle, connected());
        EXPECT_EQ(requests[stage].timeoutSeconds, 10u);
    }
    EXPECT_EQ(requests[1].dataOut, image);
    ASSERT_EQ(m.part<sim::ImageModel>().uploads.size(), 1u);
}

TEST_F(RegModuleTest, TheRequestStageEndsTheUploadWithoutSendingTheImage)
{
    sim::VirtualModule &m = module();
    FPM_HANDLE handle = host().open(sim::kModulePath);
    m.script(0x3B, ScriptedReply::withStatus(6));
    EXPECT_EQ(RegModuleEx(handle, 1, image.data()), 6);
    m.script(0x3B, ScriptedReply::withStatus(3));
    EXPECT_EQ(RegModuleEx(handle, 1, image.data()), 2);

    host().clearRequests();
    m.answerAlways(0x3B, ScriptedReply::failure());
    EXPECT_EQ(RegModuleEx(handle, 1, image.data()), 2);
    const auto requests = host().requestsWithCode(0x3B);
    ASSERT_EQ(requests.size(), 51u);
    EXPECT_EQ(requests.back().timeMs - requests.front().timeMs, 5000u);
    for (const auto &r : requests) EXPECT_EQ(r.block[2], 0);
    EXPECT_TRUE(m.part<sim::ImageModel>().uploads.empty());
}

TEST_F(RegModuleTest, TheStatusStagePollsBusyUntilCodeOk)
{
    sim::VirtualModule &m = module();
    FPM_HANDLE handle = host().open(sim::kModulePath);
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::busyThen(2, ScriptedReply::ok()));
    EXPECT_EQ(RegModuleEx(handle, 1, image.data()), 1);
    EXPECT_EQ(host().requestsWithCode(0x3B).size(), 5u);

    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::ok());
    m.script(0x3B, ScriptedReply::withStatus(14));
    EXPECT_EQ(RegModuleEx(handle, 1, image.data()), 2);
}

TEST_F(RegModuleTest, NothingIsSentWithoutAnImageOrAGeometry)
{
    connectModule();
    FPM_HANDLE handle = host().open(sim::kModulePath);
    Bytes image(192, 1);
    EXPECT_EQ(RegModuleEx(handle, 1, image.data()), 2);  // no size query yet
    useGeometry(*host().module(), 16, 12, 1);
    EXPECT_EQ(RegModuleEx(handle, 1, nullptr), 2);
    EXPECT_TRUE(host().requestsWithCode(0x3B).empty());
}

}  // namespace
}  // namespace fpm::test
