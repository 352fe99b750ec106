// Finding and connecting the module: selection, the tests of the opened module, the
// states the connection goes through, and the paths and handles for the twins.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "connection/connect.h"
#include "connection/connection_state.h"
#include "sim/product_info_model.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

const std::u16string kSecondModulePath =
    u"\\\\?\\usbstor#cdrom&ven_wexa&prod_finger_module&rev_1.00#7&2a8f1c3e&0&000002#"
    u"{53f56308-b6bf-11d0-94f2-00a0c91efb8b}";

const FPM_WCHAR *wide(const std::u16string &text) { return reinterpret_cast<const FPM_WCHAR *>(text.c_str()); }

std::vector<std::uint8_t> codesReceived(const sim::VirtualHost &host)
{
    std::vector<std::uint8_t> codes;
    for (const auto &r : host.requests()) codes.push_back(r.code());
    return codes;
}

class ConnectionTest : public LibraryTest {
protected:
    ScopedFakeClock time;

    // Whether a request on the handle reaches a disk (closed handles reach none).
    bool handleIsOpen(FPM_HANDLE handle)
    {
        std::uint8_t reply[8];
        const std::uint8_t block[16] = {0xE0, 0x34};
        RecvDataTransactionWithHandle(handle, block, reply, 8, 3);
        return !host().requests().back().path.empty();
    }
};

struct Family {
    const char *name;
    FPM_RESULT (*connect)();
};
const Family kFamily[] = {
    {"CheckDeviceConnection", [] { return CheckDeviceConnection(); }},
    {"CheckDeviceConnectionNoFwCheck", [] { return CheckDeviceConnectionNoFwCheck(); }},
    {"CheckDeviceConnectionWithFirmwareVer", [] { return CheckDeviceConnectionWithFirmwareVer(wide(u"WAWB")); }},
    {"GetDevConnectionByVendorCode",
     [] { return GetDevConnectionByVendorCode(sim::ProductInfoBlock::kDefaultVendorCode); }},
};

TEST_F(ConnectionTest, EachFamilyMemberOpensTheOneModuleAmongDecoys)
{
    for (const Family &f : kFamily) {
        SCOPED_TRACE(f.name);
        host().reset();
        host().addDecoy();
        host().addModule();
        state().deviceHandle.store(nullptr);
        EXPECT_EQ(f.connect(), 1);
        EXPECT_NE(connected(), nullptr);
        EXPECT_NE(connected(), device::invalidHandle());
        EXPECT_EQ(host().openHandleCount(), 1u);
        EXPECT_EQ(state().devicePath.load(), sim::kModulePath);
        EXPECT_TRUE(handleIsOpen(connected()));
        EXPECT_EQ(host().requests().back().path, sim::kModulePath);
    }
}

TEST_F(ConnectionTest, ConnectSendsItsTestsThenBuildsTheDefectPixelMap)
{
    host().addDecoy();
    host().addModule();
    ASSERT_EQ(GetDevConnectionByVendorCode(sim::ProductInfoBlock::kDefaultVendorCode), 1);
    auto requests = host().requests();
    std::vector<std::uint8_t> codes;
    for (const auto &r : requests) {
        codes.push_back(r.code());
        EXPECT_EQ(r.path, sim::kModulePath);  // nothing reaches the decoy
    }
    // Firmware, vendor code; then test mode, size, baseline request and data, test mode out.
    ASSERT_EQ(codes, (std::vector<std::uint8_t>{0x32, 0x68, 0x4D, 0x34, 0x49, 0x49, 0x4E}));
    EXPECT_EQ(blockOf(requests[0]), (std::vector<std::uint8_t>{0xE0, 0x32, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[0].length, 129u);
    EXPECT_EQ(requests[0].dataIn, 1);
    EXPECT_EQ(requests[0].timeoutSeconds, 3u);
    EXPECT_EQ(blockOf(requests[1]), (std::vector<std::uint8_t>{0xE0, 0x68, 0, 0, 0x3E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[1].length, 64u);
    EXPECT_EQ(requests[1].dataIn, 1);
    EXPECT_EQ(requests[1].timeoutSeconds, 3u);
    EXPECT_EQ(requests[5].length, 120u * 100u);  // the baseline, on the size just queried
    EXPECT_EQ(state().imageWidth, 120);
    EXPECT_EQ(state().defectPixels.size(), 4u);

    host().clearRequests();
    ASSERT_EQ(CheckDeviceConnectionNoFwCheck(), 1);
    EXPECT_EQ(codesReceived(host()), (std::vector<std::uint8_t>{0x4D, 0x34, 0x49, 0x49, 0x4E}));
    host().clearRequests();
    ASSERT_EQ(DeviceConnection(wide(u"wexa"), wide(u"finger_module")), 1);
    EXPECT_EQ(codesReceived(host()), (std::vector<std::uint8_t>{0x4D, 0x34, 0x49, 0x49, 0x4E}));
    host().clearRequests();
    ASSERT_EQ(CheckDeviceConnection(), 1);
    EXPECT_EQ(codesReceived(host()), (std::vector<std::uint8_t>{0x32, 0x4D, 0x34, 0x49, 0x49, 0x4E}));
}

TEST_F(ConnectionTest, AFailedDefectPixelMapFailsTheConnectButKeepsTheModuleOpen)
{
    sim::VirtualModule &module = host().addModule();
    for (const Family &f : kFamily) {
        module.script(0x49, ScriptedReply::failure());
        EXPECT_EQ(f.connect(), 2) << f.name;
        EXPECT_TRUE(handleIsOpen(connected())) << f.name;
        EXPECT_EQ(host().openHandleCount(), 1u) << f.name;
    }
    module.script(0x49, ScriptedReply::withStatus(2));
    EXPECT_EQ(DeviceConnection(wide(u"wexa"), wide(u"finger_module")), 2);
    EXPECT_TRUE(handleIsOpen(connected()));
}

TEST_F(ConnectionTest, EveryConnectWritesItsLineFirstEvenWithoutAModule)
{
    freshLog();
    EXPECT_EQ(CheckDeviceConnection(), 2);
    EXPECT_EQ(DeviceConnection(wide(u"wexa"), wide(u"finger_module")), 2);
    host().setDeviceListUnavailable(true);
    EXPECT_EQ(GetDevConnectionByVendorCode(1), 2);
    EXPECT_EQ(DeviceConnection(wide(u"wexa"), wide(u"finger_module")), 0);
    EXPECT_EQ(logMessages(), std::vector<std::string>(4, "DeviceConnection"));
}

TEST_F(ConnectionTest, NoModuleOrNoDeviceListLeavesTheConnectionAsItWas)
{
    host().addDecoy();
    const FPM_HANDLE held[] = {nullptr, device::invalidHandle(), reinterpret_cast<FPM_HANDLE>(0x4242)};
    for (FPM_HANDLE before : held) {
        for (bool unavailable : {false, true}) {
            host().setDeviceListUnavailable(unavailable);
            state().deviceHandle.store(before);
            EXPECT_EQ(DeviceConnection(wide(u"wexa"), wide(u"finger_module")), unavailable ? 0 : 2);
            for (const Family &f : kFamily) EXPECT_EQ(f.connect(), 2) << f.name;
            EXPECT_EQ(connected(), before);
        }
    }
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(ConnectionTest, TwoModulesCloseAHeldModuleButDeviceConnectionTakesTheFirst)
{
    host().addDecoy();
    host().addModule();
    host().addModule(kSecondModulePath);
    for (const Family &f : kFamily) {
        SCOPED_TRACE(f.name);
        FPM_HANDLE held = host().open(sim::kModulePath);
        state().deviceHandle.store(held);
        EXPECT_EQ(f.connect(), 2);
        EXPECT_EQ(connected(), nullptr);
        EXPECT_EQ(host().openHandleCount(), 0u);
        EXPECT_TRUE(host().requests().empty());
    }
    // From the Failed state there is nothing to close; it still ends Closed.
    state().deviceHandle.store(device::invalidHandle());
    EXPECT_EQ(CheckDeviceConnection(), 2);
    EXPECT_EQ(connected(), nullptr);

    EXPECT_EQ(DeviceConnection(wide(u"wexa"), wide(u"finger_module")), 1);
    EXPECT_EQ(host().openHandleCount(), 1u);
    EXPECT_EQ(state().devicePath.load(), sim::kModulePath);
    EXPECT_TRUE(handleIsOpen(connected()));
    EXPECT_EQ(host().requests().back().path, sim::kModulePath);
}

TEST_F(ConnectionTest, AnOpenThatFailsLeavesTheConnectionFailed)
{
    host().addModule();
    host().refuseOpen(sim::kModulePath);
    for (const Family &f : kFamily) {
        state().deviceHandle.store(nullptr);
        EXPECT_EQ(f.connect(), 2) << f.name;
        EXPECT_EQ(connected(), device::invalidHandle()) << f.name;
    }
    EXPECT_EQ(DeviceConnection(wide(u"wexa"), wide(u"finger_module")), 2);
    EXPECT_EQ(connected(), device::invalidHandle());

    // A module held before is closed first, then the failed open is recorded.
    host().refuseOpen(sim::kModulePath, false);
    ASSERT_EQ(CheckDeviceConnection(), 1);
    host().refuseOpen(sim::kModulePath);
    EXPECT_EQ(CheckDeviceConnection(), 2);
    EXPECT_EQ(connected(), device::invalidHandle());
    EXPECT_EQ(host().openHandleCount(), 0u);
}

TEST_F(ConnectionTest, FirmwareFamilyDecidesWhichModulesAreAccepted)
{
    sim::VirtualModule &module = host().addModule();
    module.setFamilyCode('Q', 'Z');
    EXPECT_EQ(CheckDeviceConnection(), 2);
    EXPECT_EQ(connected(), device::invalidHandle());
    EXPECT_EQ(host().openHandleCount(), 0u);  // the rejected module was closed
    EXPECT_EQ(CheckDeviceConnectionWithFirmwareVer(wide(u"WA WB WC")), 2);
    EXPECT_EQ(connected(), device::invalidHandle());
    EXPECT_EQ(CheckDeviceConnectionNoFwCheck(), 1);
    EXPECT_EQ(CheckDeviceConnectionWithFirmwareVer(wide(u"xxQZyy")), 1);
    EXPECT_EQ(GetDevConnectionByVendorCode(sim::ProductInfoBlock::kDefaultVendorCode), 2);
    EXPECT_EQ(host().requestsWithCode(0x68).size(), 0u);  // family first, then the vendor code

    module.setFamilyCode('W', 'A');
    EXPECT_EQ(CheckDeviceConnection(), 1);
    EXPECT_EQ(CheckDeviceConnectionWithFirmwareVer(wide(u"wa")), 2);  // case counts
    EXPECT_EQ(CheckDeviceConnectionWithFirmwareVer(wide(u"W A")), 2);
}

TEST_F(ConnectionTest, ShortFamilyCodesAreNotFoundInEveryString)
{
    sim::VirtualModule &module = host().addModule();
    module.setFamilyCode(0, 0);
    EXPECT_EQ(CheckDeviceConnectionWithFirmwareVer(wide(u"WAWB")), 2);
    module.setFamilyCode('W', 0);
    EXPECT_EQ(CheckDeviceConnectionWithFirmwareVer(wide(u"WAWB")), 2);
    EXPECT_EQ(CheckDeviceConnectionWithFirmwareVer(nullptr), 2);
    EXPECT_TRUE(connection::familyInCodes(0xC4, 'B', u"x\u00C4B"));  // bytes are taken as characters
}

TEST_F(ConnectionTest, BuildTableHoldsFourTwoLetterCodes)
{
    int accepted = 0;
    for (int a = 'A'; a <= 'Z'; ++a)
        for (int b = 'A'; b <= 'Z'; ++b) accepted += connection::familyInBuildTable(a, b);
    EXPECT_EQ(accepted, 4);
    EXPECT_TRUE(connection::familyInBuildTable('W', 'A'));  // the virtual module's family
}

TEST_F(ConnectionTest, AFailedFirmwareReadRejectsTheModuleWithItsLine)
{
    sim::VirtualModule &module = host().addModule();
    freshLog();
    module.script(0x32, ScriptedReply::failure());
    EXPECT_EQ(CheckDeviceConnection(), 2);
    EXPECT_EQ(connected(), device::invalidHandle());
    EXPECT_EQ(logMessages(),
              (std::vector<std::string>{"DeviceConnection", "GetFirmwareVersion : RecvDataTransaction Fail"}));
}

TEST_F(ConnectionTest, VendorCodeComparesTheLow16BitsOfTheArgument)
{
    sim::VirtualModule &module = host().addModule();
    module.part<sim::ProductInfoBlock>().setVendorCode(0xBEEF);
    EXPECT_EQ(GetDevConnectionByVendorCode(0xBEEF), 1);
    EXPECT_EQ(GetDevConnectionByVendorCode(0x7FFFBEEF), 1);
    EXPECT_EQ(GetDevConnectionByVendorCode(0xEFBE), 2);
    EXPECT_EQ(connected(), device::invalidHandle());
    EXPECT_EQ(host().openHandleCount(), 0u);
}

TEST_F(ConnectionTest, VendorCodeReadMustSucceedAtOnce)
{
    sim::VirtualModule &module = host().addModule();
    std::vector<std::uint8_t> good(64, 0);
    good[0] = 0x68;
    good[1] = 1;
    good[2] = 0x02;
    good[3] = 0x01;
    struct Case {
        const char *what;
        ScriptedReply reply;
        FPM_RESULT result;
    } cases[] = {
        {"whole block", ScriptedReply::bytes(good), 1},
        {"busy", ScriptedReply::withStatus(3), 2},
        {"error", ScriptedReply::withStatus(2), 2},
        {"wrong echo", {.status = 1, .values = {0x02, 0x01}, .echo = 0x66}, 2},
        {"transfer failed", ScriptedReply::failure(), 2},
    };
    for (auto &c : cases) {
        host().clearRequests();
        module.script(0x68, c.reply);
        EXPECT_EQ(GetDevConnectionByVendorCode(0x0102), c.result) << c.what;
        EXPECT_EQ(host().requestsWithCode(0x68).size(), 1u) << c.what;
    }
}

TEST_F(ConnectionTest, PatternsMatchAnywhereAndCaseSensitively)
{
    const std::u16string longer = u"\\\\?\\usbstor#cdrom&ven_abc&prod_finger_module_x&rev_1#1#{g}";
    const std::u16string upper = u"\\\\?\\usbstor#cdrom&VEN_ABC&PROD_FINGER_MODULE&rev_1#2#{g}";
    host().addModule(upper);
    host().addModule(longer);
    EXPECT_EQ(DeviceConnection(wide(u"ab"), wide(u"finger_module")), 1);
    EXPECT_EQ(state().devicePath.load(), longer);
    EXPECT_EQ(DeviceConnection(wide(u"ABC"), wide(u"FINGER_MODULE")), 2);
}

TEST_F(ConnectionTest, NamesThatDoNotFitTheirPatternAreRefusedNotCut)
{
    // "ven_" + 123 characters + zero fills the 128-character pattern exactly, as does
    // "prod_" + 122 characters.
    const std::u16string vendor(123, u'w'), product(122, u'p');
    host().addModule(u"\\\\?\\usbstor#cdrom&ven_" + vendor + u"&prod_x#1#{g}");
    host().addModule(u"\\\\?\\usbstor#cdrom&ven_x&prod_" + product + u"#2#{g}");
    EXPECT_EQ(DeviceConnection(wide(vendor), wide(u"x")), 1);
    EXPECT_EQ(DeviceConnection(wide(u"x"), wide(product)), 1);
    EXPECT_EQ(DeviceDisConnection(), 1);

    // One more character would have to be cut, and the cut name matches the modules.
    EXPECT_EQ(DeviceConnection(wide(vendor + u"w"), wide(u"x")), 2);
    EXPECT_EQ(DeviceConnection(wide(u"x"), wide(product + u"p")), 2);
    EXPECT_EQ(DeviceConnection(nullptr, wide(u"x")), 2);
    EXPECT_EQ(DeviceConnection(wide(u"x"), nullptr), 2);
    EXPECT_EQ(connected(), nullptr);
    EXPECT_EQ(host().openHandleCount(), 0u);
}

TEST_F(ConnectionTest, PathsTooLongForTheBufferAreNeverSelected)
{
    std::u16string tooLong = sim::kModulePath;
    tooLong.insert(tooLong.size() - 1, 256 - tooLong.size(), u'0');
    ASSERT_EQ(tooLong.size(), 256u);
    host().addModule(tooLong);
    EXPECT_EQ(CheckDeviceConnection(), 2);
    EXPECT_EQ(connected(), nullptr);
    host().addModule();
    EXPECT_EQ(CheckDeviceConnection(), 1);  // the one that fits
    EXPECT_EQ(state().devicePath.load(), sim::kModulePath);
}

class ExtractDevicePathTest : public ConnectionTest {
protected:
    std::vector<std::u16string> buffers = std::vector<std::u16string>(4, std::u16string(256, u'#'));
    std::vector<FPM_WCHAR *> pointers;
    std::int32_t found = -5;

    void SetUp() override
    {
        ConnectionTest::SetUp();
        for (auto &b : buffers) pointers.push_back(reinterpret_cast<FPM_WCHAR *>(b.data()));
    }
    FPM_RESULT extract(std::int32_t maxCount, const char16_t *vendor = u"wexa")
    {
        return ExtractDevicePath(reinterpret_cast<const FPM_WCHAR *>(vendor), wide(u"finger_module"),
                                 pointers.data(), maxCount, &found);
    }
    static std::u16string filled(const std::u16string &path) { return path + std::u16string(256 - path.size(), 0); }
};

TEST_F(ExtractDevicePathTest, CopiesEveryMatchAmongTheFirstInterfaces)
{
    host().addDecoy();
    host().addModule();
    host().addDecoy(u"another decoy");
    host().addModule(kSecondModulePath);
    freshLog();
    EXPECT_EQ(extract(4), 1);
    EXPECT_EQ(found, 2);
    EXPECT_EQ(buffers[0], filled(sim::kModulePath));
    EXPECT_EQ(buffers[1], filled(kSecondModulePath));
    EXPECT_EQ(buffers[2], std::u16string(256, u'#'));

    // The count limits interfaces examined, not matches.
    std::fill(buffers[0].begin(), buffers[0].end(), u'#');  // in place: the pointer stays valid
    EXPECT_EQ(extract(3), 1);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(buffers[1], filled(kSecondModulePath));  // from before: not written again
    found = -5;
    EXPECT_EQ(extract(1), 2);
    EXPECT_EQ(found, -5);
    EXPECT_EQ(connected(), nullptr);
    EXPECT_TRUE(host().requests().empty());
    EXPECT_EQ(host().openHandleCount(), 0u);
    EXPECT_EQ(logMessages(), std::vector<std::string>(3, "ExtractSpecificDevice"));
}

TEST_F(ExtractDevicePathTest, RefusesBadArgumentsAndReportsAMissingDeviceList)
{
    host().addModule();
    EXPECT_EQ(extract(0), 2);
    EXPECT_EQ(extract(-1), 2);
    EXPECT_EQ(extract(1, nullptr), 2);
    EXPECT_EQ(ExtractDevicePath(wide(u"wexa"), wide(u"finger_module"), nullptr, 1, &found), 2);
    EXPECT_EQ(ExtractDevicePath(wide(u"wexa"), wide(u"finger_module"), pointers.data(), 1, nullptr), 2);
    pointers[0] = nullptr;
    EXPECT_EQ(extract(1), 2);
    EXPECT_EQ(found, -5);
    EXPECT_EQ(buffers[0], std::u16string(256, u'#'));

    host().setDeviceListUnavailable(true);
    EXPECT_EQ(extract(1), 0);
    EXPECT_EQ(extract(0), 0);
}

TEST_F(ExtractDevicePathTest, HandlesFromPathsLeaveTheConnectionAlone)
{
    host().addModule();
    host().addModule(kSecondModulePath);
    ASSERT_EQ(extract(2), 1);
    state().deviceHandle.store(device::invalidHandle());

    FPM_HANDLE first = nullptr, second = nullptr;
    EXPECT_EQ(ObtainHandleFromPath(&first, pointers[0]), 1);
    EXPECT_EQ(ObtainHandleFromPath(&second, pointers[1]), 1);
    EXPECT_NE(first, second);
    EXPECT_EQ(connected(), device::invalidHandle());
    std::int32_t w = 0, h = 0;
    EXPECT_EQ(QuerySizeWithHandle(second, &w, &h), 1);
    EXPECT_EQ(host().requests().back().path, kSecondModulePath);

    host().refuseOpen(kSecondModulePath);
    FPM_HANDLE untouched = reinterpret_cast<FPM_HANDLE>(0x77);
    EXPECT_EQ(ObtainHandleFromPath(&untouched, pointers[1]), 2);
    EXPECT_EQ(untouched, reinterpret_cast<FPM_HANDLE>(0x77));
    EXPECT_EQ(ObtainHandleFromPath(nullptr, pointers[0]), 2);
    EXPECT_EQ(ObtainHandleFromPath(&untouched, nullptr), 2);
    EXPECT_EQ(connected(), device::invalidHandle());
}

TEST_F(ConnectionTest, DisconnectClosesWhateverIsHeld)
{
    host().addModule();
    ASSERT_EQ(CheckDeviceConnection(), 1);
    EXPECT_EQ(DeviceDisConnection(), 1);
    EXPECT_EQ(connected(), nullptr);
    EXPECT_EQ(host().openHandleCount(), 0u);
    EXPECT_EQ(DeviceDisConnection(), 0);
    state().deviceHandle.store(device::invalidHandle());
    EXPECT_EQ(DeviceDisConnection(), 0);
    EXPECT_EQ(connected(), nullptr);
    EXPECT_TRUE(host().requestsWithCode(0x3E).empty());  // nothing sent to the module
}

#ifndef _WIN32
// Linux callers close what ObtainHandleFromPath gave them; the connection's own handle
// is not theirs to close, and stays usable.
TEST_F(ConnectionTest, CloseObtainedHandleClosesOnlyObtainedHandles)
{
    host().addModule();
    ASSERT_EQ(CheckDeviceConnection(), 1);
    FPM_HANDLE obtained = nullptr;
    ASSERT_EQ(ObtainHandleFromPath(&obtained, reinterpret_cast<const FPM_WCHAR *>(sim::kModulePath.c_str())), 1);
    EXPECT_EQ(host().openHandleCount(), 2u);

    EXPECT_EQ(CloseObtainedHandle(connected()), 2);
    EXPECT_EQ(CloseObtainedHandle(obtained), 1);
    EXPECT_EQ(CloseObtainedHandle(obtained), 2);
    EXPECT_EQ(CloseObtainedHandle(nullptr), 2);
    EXPECT_EQ(CloseObtainedHandle(FPM_INVALID_HANDLE), 2);
    EXPECT_EQ(host().openHandleCount(), 1u);
    std::int32_t w = 0, h = 0;
    EXPECT_EQ(QuerySize(&w, &h), 1);
}
#endif

}  // namespace
}  // namespace fpm::test
