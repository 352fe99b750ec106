// Size queries, initialisation and the firmware version record.
#include <gtest/gtest.h>

#include <cstring>

#include "connection/connection_state.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

class ProtocolTest : public LibraryTest {
protected:
    ScopedFakeClock time;
};

TEST_F(ProtocolTest, FreshLibraryHasNoConnectionAndDefaultGeometry)
{
    EXPECT_EQ(state().bytesPerPixel, 1);
    EXPECT_EQ(state().imageWidth, 0);
    EXPECT_EQ(state().deviceHandle.load(), nullptr);
    std::int32_t w = -1, h = -1;
    EXPECT_EQ(QuerySize(&w, &h), 2);
    EXPECT_EQ(w, -1);
}

TEST_F(ProtocolTest, SizeQueriesStoreTheGeometryTheirWay)
{
    sim::VirtualModule &module = connectModule();
    std::int32_t w = 0, h = 0;
    std::uint8_t bpp = 0;

    module.script(0x34, ScriptedReply::ok({0x78, 0x64, 0x02}));
    EXPECT_EQ(QuerySize(&w, &h), 1);
    EXPECT_EQ(w, 120);
    EXPECT_EQ(h, 100);
    EXPECT_EQ(state().bytesPerPixel, 2);

    for (std::uint8_t byte4 : {0x01, 0x10}) {
        module.script(0x34, ScriptedReply::ok({0x78, 0x64, byte4}));
        EXPECT_EQ(QuerySizeEx(&w, &h, &bpp), 1);
        EXPECT_EQ(bpp, 1);
        EXPECT_EQ(state().bytesPerPixel, 1);
    }

    module.script(0x34, ScriptedReply::ok({0xFF, 0xC0, 0x01}));
    EXPECT_EQ(QuerySize_16(&w, &h), 1);
    EXPECT_EQ(w, 255);
    EXPECT_EQ(h, 192);
    EXPECT_EQ(state().bytesPerPixel, 2);

    module.script(0x34, ScriptedReply::ok({60, 50, 0x01}));
    EXPECT_EQ(QuerySizeWithHandle(connected(), &w, &h), 1);
    EXPECT_EQ(state().imageWidth, 60);
    EXPECT_EQ(state().bytesPerPixel, 2);  // unchanged by the twin

    module.script(0x34, ScriptedReply::ok({60, 50, 0x02}));
    EXPECT_EQ(QuerySizeWithHandle_16(connected(), &w, &h), 1);
    EXPECT_EQ(w, 60);
    EXPECT_EQ(h, 50);
    EXPECT_EQ(state().imageWidth, 120);
    EXPECT_EQ(state().imageHeight, 100);

    for (const auto &r : host().requests()) {
        EXPECT_EQ(blockOf(r), (std::vector<std::uint8_t>{0xE0, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(r.length, 8u);
        EXPECT_EQ(r.timeoutSeconds, 3u);
        EXPECT_EQ(r.dataIn, 1);
    }
}

TEST_F(ProtocolTest, SizeQueriesRefuseNullOutputsWithoutSending)
{
    connectModule();
    std::int32_t w;
    EXPECT_EQ(QuerySize(nullptr, &w), 2);
    EXPECT_EQ(QuerySizeEx(&w, &w, nullptr), 2);
    EXPECT_EQ(QuerySizeWithHandle_16(connected(), &w, nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(ProtocolTest, SizeQueriesClearAPendingCancel)
{
    connectModule();
    state().cancelRequested.store(1);
    std::int32_t w, h;
    EXPECT_EQ(QuerySize(&w, &h), 1);
    EXPECT_EQ(state().cancelRequested.load(), 0);
}

TEST_F(ProtocolTest, InitialisePollsAndNeverLogs)
{
    freshLog();
    sim::VirtualModule &module = connectModule();
    module.script(0x30, ScriptedReply::busyThen(2, ScriptedReply::ok()));
    EXPECT_EQ(InititalDevice(), 1);
    EXPECT_EQ(host().requestsWithCode(0x30).size(), 3u);
    module.script(0x30, ScriptedReply::withStatus(2));
    EXPECT_EQ(InititalDevice(), 2);
    module.script(0x30, ScriptedReply::withStatus(9));
    EXPECT_EQ(InititalDevice(), 2);
    EXPECT_EQ(InititalDevice(), 1);
    state().deviceHandle.store(nullptr);
    EXPECT_EQ(InititalDevice(), 2);
    EXPECT_TRUE(logMessages().empty());
}

TEST_F(ProtocolTest, FirmwareVersionCopiesTheAskedPartOfTheRecord)
{
    sim::VirtualModule &module = connectModule();
    module.setFirmwareText("FPMODULE WA 1.03");
    std::uint8_t out[128];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(GetFirmwareVersion(9, 2, out), 1);
    EXPECT_EQ(out[0], 'W');
    EXPECT_EQ(out[1], 'A');
    EXPECT_EQ(out[2], 0xEE);

    auto r = host().requestsWithCode(0x32).at(0);
    EXPECT_EQ(blockOf(r), (std::vector<std::uint8_t>{0xE0, 0x32, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.length, 129u);
    EXPECT_EQ(r.timeoutSeconds, 3u);
    EXPECT_EQ(r.bufferAddress % 8, 0u);

    // Neither echo nor status is looked at.
    module.script(0x32, ScriptedReply::bytes({0x00, 'X', 'Y'}));
    EXPECT_EQ(GetFirmwareVersionWithHandle(connected(), 0, 2, out), 1);
    EXPECT_EQ(out[0], 'X');
    EXPECT_EQ(out[1], 'Y');
    // The last byte of the record can be reached, not one past it.
    EXPECT_EQ(GetFirmwareVersion(127, 1, out), 1);
    EXPECT_EQ(GetFirmwareVersion(0, 128, out), 1);
}

TEST_F(ProtocolTest, FirmwareVersionRefusesRangesOutsideTheRecord)
{
    connectModule();
    std::uint8_t out[256];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(GetFirmwareVersion(120, 9, out), 2);
    EXPECT_EQ(GetFirmwareVersion(0, 129, out), 2);
    EXPECT_EQ(GetFirmwareVersion(-1, 4, out), 2);
    EXPECT_EQ(GetFirmwareVersion(4, -1, out), 2);
    EXPECT_EQ(GetFirmwareVersion(0x7FFFFFFF, 0x7FFFFFFF, out), 2);
    EXPECT_EQ(GetFirmwareVersion(0, 4, nullptr), 2);
    EXPECT_TRUE(host().requests().empty());
    for (std::uint8_t b : out) EXPECT_EQ(b, 0xEE);
}

TEST_F(ProtocolTest, FirmwareVersionLogsOnlyAFailedTransfer)
{
    freshLog();
    std::uint8_t out[4];
    EXPECT_EQ(GetFirmwareVersion(0, 4, out), 2);
    EXPECT_EQ(logMessages(), (std::vector<std::string>{"GetFirmwareVersion : RecvDataTransaction Fail"}));
}

}  // namespace
}  // namespace fpm::test
