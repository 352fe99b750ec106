// Which commands drop a pending cancel request: only those that start an operation of
// their own; every other command leaves it for the operation it belongs to.
#include <gtest/gtest.h>

#include <functional>

#include "connection/connection_state.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"

namespace fpm::test {
namespace {

struct CancelCase {
    const char *name;
    std::function<void()> call;
    bool clears;
};

std::uint8_t g_bytes[64];
std::uint16_t g_words[2];
std::int32_t g_ints[2];
std::uint32_t g_longs[2];

const CancelCase kCases[] = {
    // Starts of a new operation.
    {"QuerySize", [] { QuerySize(&g_ints[0], &g_ints[1]); }, true},
    {"InititalDevice", [] { InititalDevice(); }, true},
    {"GetFirmwareVersion", [] { GetFirmwareVersion(0, 8, g_bytes); }, true},
    {"QueryEnrollAmount", [] { QueryEnrollAmount(1, &g_ints[0]); }, true},
    {"GetVerifyPeriod", [] { GetVerifyPeriod(&g_longs[0], &g_longs[1]); }, true},
    {"VendorCodeOperation", [] { VendorCodeOperation(0x00, &g_words[0], 0); }, true},
    {"VendorCodeOperationEx", [] { VendorCodeOperationEx(0x80, g_bytes); }, true},
    {"IssueCard", [] { IssueCard(); }, true},
    {"CheckCardIssued", [] { CheckCardIssued(g_bytes); }, true},
    {"DoDeleteFingerRequest", [] { DoDeleteFingerRequest(1); }, true},
    {"AcfBondingIoCheck", [] { AcfBondingIoCheck(); }, true},
    // Everything else leaves the request alone.
    {"ChangeLEDsStatus", [] { ChangeLEDsStatus(1); }, false},
    {"ChangeDevStatus", [] { ChangeDevStatus(1); }, false},
    {"SwitchToBoot", [] { SwitchToBoot(); }, false},
    {"RfConnection", [] { RfConnection(); }, false},
    {"EnterTestMode", [] { EnterTestMode(); }, false},
    {"GetICtype", [] { GetICtype(&g_words[0], &g_words[1], g_bytes); }, false},
    {"SensorIOCheck", [] { SensorIOCheck(g_bytes); }, false},
    {"CheckCTModule", [] { CheckCTModule(g_bytes); }, false},
    {"ReadRegisterEx", [] { ReadRegisterEx(1, 2, g_bytes); }, false},
    {"WriteRegisterAsDefault", [] { WriteRegisterAsDefault(1, 2, 3); }, false},
    {"ReadWOEstatus", [] { ReadWOEstatus(&g_bytes[0], &g_bytes[1], &g_bytes[2]); }, false},
    {"EnterSensingMode", [] { EnterSensingMode(); }, false},
    {"GetCurrentData", [] { GetCurrentData(g_bytes); }, false},
    {"DoCalibration", [] { DoCalibration(1, 2, 3, &g_words[0], &g_words[1], g_bytes); }, false},
    {"GetVCB", [] { GetVCB(g_bytes); }, false},
    {"SetVCB", [] { SetVCB(4); }, false},
    {"smartcard_auto_test", [] { smartcard_auto_test(g_bytes); }, false},
    {"CheckImage", [] { CheckImage(g_bytes); }, false},
    {"GetRawImage", [] { GetRawImage(g_bytes); }, false},
    {"SimpleSentImage", [] { SimpleSentImage(g_bytes); }, false},
    {"IsFingerOn", [] { IsFingerOn(); }, false},
    {"ProductInfoOperation", [] { ProductInfoOperation(0, 8, g_bytes); }, false},
};

class CancelRequestTest : public LibraryTest, public ::testing::WithParamInterface<CancelCase> {
protected:
    ScopedFakeClock time;
};

TEST_P(CancelRequestTest, OnlyTheStartOfAnOperationDropsAPendingRequest)
{
    const CancelCase &c = GetParam();
    connectModule();
    setLibraryGeometry(8, 8, 1);  // 64 bytes: the image commands fit g_bytes
    state().cancelRequested.store(1);
    c.call();
    EXPECT_FALSE(host().requests().empty()) << "nothing reached the module";
    EXPECT_EQ(state().cancelRequested.load(), c.clears ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Commands, CancelRequestTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace fpm::test
