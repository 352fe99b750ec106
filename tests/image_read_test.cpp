// Image reads and the image check: what the module receives, what the caller's buffer
// holds afterwards, and the log lines of each read.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "connection/connection_state.h"
#include "sim/image_model.h"
#include "support/fake_clock.h"
#include "support/image_geometry.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;
using Bytes = std::vector<std::uint8_t>;

class ImageReadTest : public LibraryTest {
protected:
    ScopedFakeClock time{5000};

    sim::VirtualModule &module(std::uint8_t bytesPerPixel = 1)
    {
        sim::VirtualModule &m = connectModule();
        useGeometry(m, 24, 18, bytesPerPixel);
        return m;
    }
    std::size_t imageBytes() const { return static_cast<std::size_t>(state().geometry().bytes()); }
};

// Every read that delivers a whole image of the stored geometry, by its command code.
struct Read {
    const char *name;
    std::uint8_t code;
    std::uint8_t byte3;
    std::uint32_t timeout;
    std::function<std::int32_t(std::uint8_t *)> call;
    std::int32_t delivered;
};

const Read kReads[] = {
    {"GetRawImage", 0x4F, 0, 10, [](std::uint8_t *b) { return GetRawImage(b); }, 1},
    {"GetRawImageWithHandle", 0x4F, 0, 10, [](std::uint8_t *b) { return GetRawImageWithHandle(state().deviceHandle, b); }, 1},
    {"GetCurrentImage", 0x31, 0, 10, [](std::uint8_t *b) { return GetCurrentImage(b); }, 1},
    {"GetCurrentImageWithHandle", 0x31, 0, 10, [](std::uint8_t *b) { return GetCurrentImageWithHandle(state().deviceHandle, b); }, 1},
    {"DumpFlashImage", 0x64, 0, 10, [](std::uint8_t *b) { return DumpFlashImage(b); }, 1},
    {"DumpFlashImageWithHandle", 0x64, 0, 10, [](std::uint8_t *b) { return DumpFlashImageWithHandle(state().deviceHandle, b); }, 1},
    {"OutputBaseImage", 0x49, 0, 10, [](std::uint8_t *b) { return OutputBaseImage(b); }, 1},
    {"OutputBaseImageWithHandle", 0x49, 0, 10, [](std::uint8_t *b) { return OutputBaseImageWithHandle(state().deviceHandle, b); }, 1},
    {"OutputCalibrationImage", 0x47, 3, 3, [](std::uint8_t *b) { return OutputCalibrationImage(b, 3); }, 1},
    {"OutputCalibrationImageWithHandle", 0x47, 9, 3, [](std::uint8_t *b) { return OutputCalibrationImageWithHandle(state().deviceHandle, b, 9); }, 1},
    {"GetBufferImage", 0x39, 0, 10, [](std::uint8_t *b) { return GetBufferImage(state().imageWidth, state().imageHeight * state().bytesPerPixel, b); }, 1},
    {"SimpleGetImage", 0x39, 0, 10, [](std::uint8_t *b) { std::int32_t n = 0; return SimpleGetImage(b, &n); }, 0},
    {"SimpleGetImageWithHandle", 0x39, 0, 10, [](std::uint8_t *b) { std::int32_t n = 0; return SimpleGetImageWithHandle(state().deviceHandle, b, &n); }, 0},
    {"SimpleGetFingerprint", 0x70, 0, 10, [](std::uint8_t *b) { return SimpleGetFingerprint(b); }, 1},
};

class EveryRead : public ImageReadTest, public ::testing::WithParamInterface<std::tuple<Read, int>> {};

TEST_P(EveryRead, MovesTheWholeImageInOneDataPhase)
{
    const auto &[read, bytesPerPixel] = GetParam();
    sim::VirtualModule &m = module(static_cast<std::uint8_t>(bytesPerPixel));
    GuardedBuffer buffer(imageBytes());
    EXPECT_EQ(read.call(buffer.data()), read.delivered);

    auto requests = host().requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(blockOf(requests[0]), (Bytes{0xE0, read.code, 0, read.byte3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[0].length, 8u);
    EXPECT_EQ(blockOf(requests[1]), (Bytes{0xE0, read.code, 1, read.byte3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[1].length, 24u * 18u * bytesPerPixel);
    EXPECT_EQ(requests[1].dataIn, 1);
    EXPECT_EQ(requests[1].bufferAddress % 8, 0u);
    for (const auto &r : requests) EXPECT_EQ(r.timeoutSeconds, read.timeout);

    EXPECT_EQ(buffer.content(), sim::modelImage(m, read.code, read.byte3));
    EXPECT_TRUE(buffer.guardIntact());
}

// A host that cannot carry the image in one request: nothing is asked of the module, and
// the line names the export (a twin by its plain name), whether or not it logs otherwise.
TEST_P(EveryRead, AnImageOverTheHostsLimitIsRefusedUnderTheExportsName)
{
    const auto &[read, bytesPerPixel] = GetParam();
    freshLog();
    module(static_cast<std::uint8_t>(bytesPerPixel));
    const auto limit = static_cast<std::uint32_t>(imageBytes() - 1);
    host().setTransferLimit(limit);
    GuardedBuffer buffer(imageBytes());
    EXPECT_NE(read.call(buffer.data()), read.delivered);
    host().setTransferLimit(0);

    EXPECT_TRUE(host().requests().empty());
    EXPECT_TRUE(buffer.untouched());
    std::string name = read.name;
    name = name.substr(0, name.find("WithHandle"));
    EXPECT_EQ(logMessages(), (std::vector<std::string>{name + " : image of " + std::to_string(imageBytes()) +
                                                       " bytes over the host's transfer limit of " +
                                                       std::to_string(limit) + " bytes"}));
}

INSTANTIATE_TEST_SUITE_P(Reads, EveryRead, ::testing::Combine(::testing::ValuesIn(kReads), ::testing::Values(1, 2)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(std::get<1>(info.param) * 8) + "bit";
                         });

TEST_F(ImageReadTest, BusyRequestsAreRepeatedOnTicksBeforeTheDataPhase)
{
    module().script(0x4F, ScriptedReply::busyThen(2, ScriptedReply::ok()));
    GuardedBuffer buffer(imageBytes());
    EXPECT_EQ(GetRawImage(buffer.data()), 1);
    auto requests = host().requestsWithCode(0x4F);
    ASSERT_EQ(requests.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].block[2], 0);
        EXPECT_EQ(requests[i].timeMs - 5000, 100u * i);
    }
    EXPECT_EQ(requests[3].block[2], 1);
}

TEST_F(ImageReadTest, AFailedDataPhaseLeavesThePlainReadsBuffersUntouched)
{
    sim::VirtualModule &m = module();
    for (const Read &read : kReads) {
        if (read.code == 0x39 || read.code == 0x70) continue;
        m.script(read.code, ScriptedReply::ok());
        m.script(read.code, ScriptedReply::failure());
        GuardedBuffer buffer(imageBytes());
        EXPECT_EQ(read.call(buffer.data()), 2) << read.name;
        EXPECT_TRUE(buffer.untouched()) << read.name;
    }
    m.script(0x39, ScriptedReply::ok());
    m.script(0x39, ScriptedReply::failure());
    GuardedBuffer buffer(imageBytes());
    EXPECT_EQ(GetBufferImage(24, 18, buffer.data()), 2);
    EXPECT_TRUE(buffer.untouched());
}

TEST_F(ImageReadTest, TheSimpleReadsHandOverTheWorkingBufferAfterAFailedDataPhase)
{
    freshLog();
    sim::VirtualModule &m = module();
    Bytes expected(imageBytes(), 0);
    expected[0] = 0x39;  // the request's reply, not cleared before the data phase
    expected[1] = 1;

    m.script(0x39, ScriptedReply::ok());
    m.script(0x39, ScriptedReply::failure());
    GuardedBuffer buffer(imageBytes());
    std::int32_t length = -1;
    EXPECT_EQ(SimpleGetImage(buffer.data(), &length), 2);
    EXPECT_EQ(length, 24 * 18);
    EXPECT_EQ(buffer.content(), expected);
    EXPECT_TRUE(buffer.guardIntact());

    m.script(0x70, ScriptedReply::ok());
    m.script(0x70, ScriptedReply::failure());
    GuardedBuffer fingerprint(imageBytes());
    EXPECT_EQ(SimpleGetFingerprint(fingerprint.data()), 251);
    expected[0] = 0x70;
    EXPECT_EQ(fingerprint.content(), expected);

    EXPECT_EQ(logMessages(), (std::vector<std::string>{"GetBufferImage : RecvDataTransaction Fail(STATUS_FLAG)",
                                                       "SimpleGetFingerprint : RecvDataTransaction Fail(STATUS_FLAG)"}));
}

TEST_F(ImageReadTest, TheRawImageLogsEveryFailedRequestTheOthersOnlyTheirTransfers)
{
    freshLog();
    sim::VirtualModule &m = module();
    GuardedBuffer buffer(imageBytes());
    ScriptedReply wrongEcho = ScriptedReply::ok();
    wrongEcho.echo = 0x50;
    for (ScriptedReply reply : {ScriptedReply::failure(), wrongEcho, ScriptedReply::withStatus(2),
                                ScriptedReply::withStatus(8), ScriptedReply::withStatus(9), ScriptedReply::withStatus(6)}) {
        m.script(0x4F, reply);
        EXPECT_EQ(GetRawImage(buffer.data()), 2);
        m.script(0x31, reply);
        EXPECT_EQ(GetCurrentImage(buffer.data()), 2);
        m.script(0x39, reply);
        EXPECT_EQ(GetBufferImage(24, 18, buffer.data()), 2);
    }
    EXPECT_TRUE(buffer.untouched());
    EXPECT_EQ(logMessages(), (std::vector<std::string>{"GetRawImage : RecvDataTransaction Fail",
                                                       "GetBufferImage : RecvDataTransaction Fail(CMD_FLAG)",
                                                       "GetRawImage : Buffer[0] != LastCmd", "GetRawImage : CODE_ERROR",
                                                       "GetRawImage : CODE_CANCELING", "GetRawImage : CODE_UNKNOWN_CMD",
                                                       "GetRawImage : default"}));
}

TEST_F(ImageReadTest, SimpleGetFingerprintAsksOnceAndPassesTheModulesAnswerOn)
{
    freshLog();
    sim::VirtualModule &m = module();
    GuardedBuffer buffer(imageBytes());
    ScriptedReply wrongEcho = ScriptedReply::ok();
    wrongEcho.echo = 0x71;
    const std::pair<ScriptedReply, std::int32_t> cases[] = {
        {ScriptedReply::withStatus(3), 253}, {ScriptedReply::withStatus(13), 0}, {ScriptedReply::withStatus(15), 0},
        {ScriptedReply::withStatus(2), 253}, {wrongEcho, 252},                   {ScriptedReply::failure(), 251}};
    for (const auto &[reply, result] : cases) {
        host().clearRequests();
        m.script(0x70, reply);
        EXPECT_EQ(SimpleGetFingerprint(buffer.data()), result);
        EXPECT_EQ(host().requests().size(), 1u);
    }
    EXPECT_TRUE(buffer.untouched());
    EXPECT_EQ(logMessages(), (std::vector<std::string>{"SimpleGetFingerprint : RecvDataTransaction Fail(CMD_FLAG)"}));
}

TEST_F(ImageReadTest, BadArgumentsAreRefusedBeforeAnythingIsSent)
{
    sim::VirtualModule &m = connectModule();
    GuardedBuffer buffer(4096);
    std::int32_t length = -1;
    // No size query yet: no geometry to read.
    EXPECT_EQ(GetRawImage(buffer.data()), 2);
    EXPECT_EQ(SimpleGetImage(buffer.data(), &length), 2);
    EXPECT_EQ(SimpleGetFingerprint(buffer.data()), -1);
    EXPECT_EQ(SimpleSentImage(buffer.data()), 2);

    useGeometry(m, 24, 18, 1);
    EXPECT_EQ(GetRawImage(nullptr), 2);
    EXPECT_EQ(OutputCalibrationImage(nullptr, 1), 2);
    EXPECT_EQ(SimpleGetImage(nullptr, &length), 2);
    EXPECT_EQ(SimpleGetImage(buffer.data(), nullptr), 2);
    EXPECT_EQ(SimpleGetFingerprint(nullptr), -1);
    EXPECT_EQ(GetBufferImage(24, 18, nullptr), 2);
    EXPECT_EQ(GetBufferImage(0, 18, buffer.data()), 2);
    EXPECT_EQ(GetBufferImage(-24, -18, buffer.data()), 2);
    EXPECT_EQ(GetBufferImage(0x10000, 0x10000, buffer.data()), 2);  // the product overflows 32 bits
    EXPECT_EQ(host().requests().size(), 0u);
    EXPECT_EQ(length, -1);
    EXPECT_TRUE(buffer.untouched());
}

TEST_F(ImageReadTest, GetBufferImageMovesTheCallersSizeWhateverTheGeometry)
{
    module();
    GuardedBuffer buffer(10 * 7);
    EXPECT_EQ(GetBufferImage(10, 7, buffer.data()), 1);
    ASSERT_EQ(host().requests().size(), 2u);
    EXPECT_EQ(host().requests()[1].length, 70u);
    EXPECT_TRUE(buffer.guardIntact());
}

TEST_F(ImageReadTest, ReadsLeaveAPendingCancelRequestAlone)
{
    module();
    state().cancelRequested.store(1);
    GuardedBuffer buffer(imageBytes());
    std::uint8_t value = 0;
    EXPECT_EQ(GetRawImage(buffer.data()), 1);
    EXPECT_EQ(CheckImage(&value), 1);
    EXPECT_EQ(SimpleSentImage(buffer.data()), 1);
    EXPECT_EQ(GetVCB(&value), 1);
    EXPECT_EQ(state().cancelRequested.load(), 1);
}

TEST_F(ImageReadTest, CheckImagePollsTheStatusPhaseAndPassesTheValueOn)
{
    sim::VirtualModule &m = module();
    m.script(0x38, ScriptedReply::busyThen(1, ScriptedReply::ok()));
    m.script(0x38, ScriptedReply::busyThen(2, ScriptedReply::ok({42})));
    std::uint8_t value = 0;
    EXPECT_EQ(CheckImage(&value), 1);
    EXPECT_EQ(value, 42);
    auto requests = host().requestsWithCode(0x38);
    ASSERT_EQ(requests.size(), 5u);
    const std::uint64_t phases[][2] = {{0, 0}, {0, 100}, {1, 100}, {1, 200}, {1, 300}};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].block[2], phases[i][0]) << i;
        EXPECT_EQ(requests[i].timeMs - 5000, phases[i][1]) << i;
        EXPECT_EQ(requests[i].length, 8u);
    }
}

TEST_F(ImageReadTest, CheckImageFailuresAndTheirLines)
{
    freshLog();
    sim::VirtualModule &m = module();
    std::uint8_t value = 0x77;
    m.script(0x38, ScriptedReply::withStatus(2));
    EXPECT_EQ(CheckImage(&value), 2);
    m.script(0x38, ScriptedReply::ok());
    m.script(0x38, ScriptedReply::withStatus(7));
    EXPECT_EQ(CheckImage(&value), 7);
    m.script(0x38, ScriptedReply::ok());
    m.script(0x38, ScriptedReply::withStatus(4));
    EXPECT_EQ(CheckImage(&value), 2);
    m.script(0x38, ScriptedReply::ok());
    m.script(0x38, ScriptedReply::failure());
    EXPECT_EQ(CheckImage(&value), 2);
    EXPECT_EQ(value, 0x77);
    EXPECT_EQ(logMessages(), (std::vector<std::string>{"CheckImage(CMD_FLAG) : CODE_ERROR",
                                                       "CheckImage(STATUS_FLAG) : CODE_FAKE_FINGER",
                                                       "CheckImage(STATUS_FLAG) : default",
                                                       "CheckImage(STATUS_FLAG) : RecvDataTransaction Fail"}));
}

TEST_F(ImageReadTest, CheckImageAsksAgainOnOtherRequestStatusesButNotForever)
{
    sim::VirtualModule &m = module();
    m.script(0x38, ScriptedReply::withStatus(5));
    m.script(0x38, ScriptedReply::withStatus(6));
    std::uint8_t value = 0;
    EXPECT_EQ(CheckImage(&value), 1);
    auto requests = host().requestsWithCode(0x38);
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].timeMs - 5000, 100u);
    EXPECT_EQ(requests[2].timeMs - 5000, 200u);

    host().clearRequests();
    m.answerAlways(0x38, ScriptedReply::withStatus(5));
    EXPECT_EQ(CheckImage(&value), 2);
    EXPECT_EQ(host().requests().size(), 51u);
}

}  // namespace
}  // namespace fpm::test
