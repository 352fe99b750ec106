// The drop-in library on the virtual module, as an application's tests use it: only the
// public header and the exports, scripted through FPMODULE_VIRTUAL_CONFIG.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fpmodule.h"

namespace {

constexpr auto kTick = std::chrono::milliseconds(100);

#ifdef _WIN32
#define WIDE(text) L##text
#else
#define WIDE(text) u##text
#endif
using WideString = std::basic_string<FPM_WCHAR>;
const FPM_WCHAR kVendor[] = WIDE("wexa"), kProduct[] = WIDE("finger_module");

void setConfigVariable(const std::string &value)
{
#ifdef _WIN32
    _putenv_s("FPMODULE_VIRTUAL_CONFIG", value.c_str());
#else
    setenv("FPMODULE_VIRTUAL_CONFIG", value.c_str(), 1);
#endif
}

class VirtualLibraryTest : public ::testing::Test {
protected:
    std::filesystem::path file = std::filesystem::temp_directory_path() / "fpmodule-virtual-test.ini";

    // Every test starts on a module built afresh: the library rebuilds it when the text
    // changed, and the counter makes each text new.
    void configure(const std::string &text)
    {
        static int generation = 0;
        std::ofstream(file, std::ios::trunc) << "# run " << ++generation << "\n" << text;
        setConfigVariable(file.string());
    }

    void TearDown() override
    {
        DeviceDisConnection();
        std::filesystem::remove(file);
    }

    static std::string family()
    {
        unsigned char version[2] = {};
        if (GetFirmwareVersion(9, 2, version) != 1) return "?";
        return {static_cast<char>(version[0]), static_cast<char>(version[1])};
    }

    static void expectSize(int32_t expectedWidth, int32_t expectedHeight, unsigned char expectedBytes)
    {
        int32_t width = 0, height = 0;
        unsigned char bytes = 0;
        ASSERT_EQ(QuerySizeEx(&width, &height, &bytes), 1);
        EXPECT_EQ(width, expectedWidth);
        EXPECT_EQ(height, expectedHeight);
        EXPECT_EQ(bytes, expectedBytes);
    }

    // Firmware reads that succeed one after the other until the module stops answering.
    static int readsUntilFailure()
    {
        unsigned char byte = 0;
        int reads = 0;
        while (reads < 1000 && GetFirmwareVersion(0, 1, &byte) == 1) ++reads;
        return reads;
    }
};

TEST_F(VirtualLibraryTest, WithoutAFileTheDefaultModuleAnswers)
{
    setConfigVariable("");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    expectSize(120, 100, 1);
    EXPECT_EQ(family(), "WA");
}

TEST_F(VirtualLibraryTest, SensorAndFirmwareComeFromTheFile)
{
    configure("[module]\nwidth = 64\nheight=80\nbytes_per_pixel = 2\nfirmware = FPMODULE WC 83KV 2.00\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    expectSize(64, 80, 2);
    EXPECT_EQ(family(), "WC");
    unsigned char captures = 0;
    EXPECT_EQ(max_enroll_per_finger(&captures), 1);
    EXPECT_EQ(captures, 16);
    std::vector<unsigned char> image(64 * 80 * 2 + 1, 0xEE);
    EXPECT_EQ(GetRawImage(image.data()), 1);
    EXPECT_EQ(image.back(), 0xEE) << "the image is width x height x 2 bytes";
}

TEST_F(VirtualLibraryTest, FamilyAndVendorCodeDecideTheConnects)
{
    configure("family = ZZ\nvendor_code = 0x0304\n");
    EXPECT_EQ(CheckDeviceConnection(), 2);
    EXPECT_EQ(CheckDeviceConnectionNoFwCheck(), 1);
    EXPECT_EQ(family(), "ZZ");

    configure("vendor_code = 0x0304\n");
    EXPECT_EQ(GetDevConnectionByVendorCode(0x0102), 2);
    EXPECT_EQ(GetDevConnectionByVendorCode(0x0304), 1);
}

TEST_F(VirtualLibraryTest, ModulesPresentAndTheDeviceList)
{
    FPM_WCHAR paths[4][256];
    FPM_WCHAR *slots[4] = {paths[0], paths[1], paths[2], paths[3]};
    int32_t found = 0;

    configure("modules = 0\n");
    EXPECT_EQ(CheckDeviceConnection(), 2);

    configure("modules = 2\n");
    EXPECT_EQ(CheckDeviceConnection(), 2) << "two modules: no exactly-one connect";
    EXPECT_EQ(ExtractDevicePath(kVendor, kProduct, slots, 4, &found), 1);
    EXPECT_EQ(found, 2);
    EXPECT_NE(WideString(paths[0]), WideString(paths[1]));
    EXPECT_EQ(DeviceConnection(kVendor, kProduct), 1) << "the first match";

    configure("device_list = unavailable\n");
    EXPECT_EQ(DeviceConnection(kVendor, kProduct), 0);
}

TEST_F(VirtualLibraryTest, EnrolledFingersAndTheFingerOnTheSensor)
{
    configure("enrolled = 3:8, 4:2\nfinger = 3, none, 9, 4\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    int32_t amount = 0;
    EXPECT_EQ(QueryEnrollAmount(4, &amount), 1);
    EXPECT_EQ(amount, 2);

    unsigned char finger = 0;
    EXPECT_EQ(DoIdentifyRequest(&finger), CODE_MATCH);
    EXPECT_EQ(finger, 3);
    EXPECT_EQ(DoIdentifyRequest(&finger), CODE_NO_MATCH) << "nothing on the sensor";
    EXPECT_EQ(DoVerifyRequest(9), CODE_NO_MATCH) << "finger 9 was never enrolled";
    EXPECT_EQ(DoVerifyRequest(3), CODE_NO_MATCH) << "finger 4 lies there now";
    EXPECT_EQ(DoVerifyRequest(4), CODE_MATCH) << "the last finger stays";
}

TEST_F(VirtualLibraryTest, AFakeFingerIsRejectedUntilAGenuineOneFollows)
{
    configure("finger = fake, 2\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    ASSERT_EQ(DoEnrollRequest(2), 1);
    EXPECT_EQ(CheckEnrollStatus(), CODE_FAKE_FINGER);
    ASSERT_EQ(DoEnrollRequest(2), 1);
    EXPECT_EQ(CheckEnrollStatus(), 1);
    int32_t amount = 0;
    EXPECT_EQ(QueryEnrollAmount(2, &amount), 1);
    EXPECT_EQ(amount, 1);
}

TEST_F(VirtualLibraryTest, UnscriptedTheEnrolledFingerIsTheOneThatMatches)
{
    configure("");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    ASSERT_EQ(DoEnrollRequest(6), 1);
    ASSERT_EQ(CheckEnrollStatus(), 1);
    unsigned char finger = 0;
    EXPECT_EQ(DoIdentifyRequest(&finger), CODE_MATCH);
    EXPECT_EQ(finger, 6);
}

TEST_F(VirtualLibraryTest, TheModuleKeepsItsStateUntilTheFileChanges)
{
    configure("enrolled = 1:1\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    ASSERT_EQ(DoEnrollRequest(1), 1);
    ASSERT_EQ(CheckEnrollStatus(), 1);
    ASSERT_EQ(CheckDeviceConnection(), 1);
    int32_t amount = 0;
    EXPECT_EQ(QueryEnrollAmount(1, &amount), 1);
    EXPECT_EQ(amount, 2) << "a reconnect with the same file keeps the module";

    configure("enrolled = 1:1\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    EXPECT_EQ(QueryEnrollAmount(1, &amount), 1);
    EXPECT_EQ(amount, 1) << "a changed file builds the module afresh";
}

TEST_F(VirtualLibraryTest, UnplugAfterCountsTransfersExactly)
{
    configure("unplug_after = 100\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    const int first = readsUntilFailure();
    ASSERT_GT(first, 0);
    ASSERT_LT(first, 100);

    configure("unplug_after = 105\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    EXPECT_EQ(readsUntilFailure(), first + 5);
    EXPECT_EQ(IsFingerOn(), -1) << "the module stays pulled";
    EXPECT_EQ(CheckDeviceConnection(), 2) << "and is gone from the device list";
}

TEST_F(VirtualLibraryTest, StatusesAndCardStateAreScripted)
{
    configure("card_issued = yes\nstatus.0x36 = 2\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    unsigned char issued = 0;
    EXPECT_EQ(CheckCardIssued(&issued), 1);
    EXPECT_EQ(issued, 1);
    EXPECT_EQ(IssueCard(), 2);
}

TEST_F(VirtualLibraryTest, BusyTicksKeepACaptureWaiting)
{
    configure("busy_ticks = 5\n");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    ASSERT_EQ(DoEnrollRequest(1), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CheckEnrollStatus(), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 4 * kTick) << "five busy answers, a tick apart";
}

TEST_F(VirtualLibraryTest, AFileThatCannotBeUsedLeavesNoModule)
{
    for (const char *text : {"width = 0\n", "colour = blue\n", "finger = 1, thumb\n", "just words\n",
                             "[other]\n", "bytes_per_pixel = 3\n", "status.0x100 = 1\n", "width = 12abc\n"}) {
        SCOPED_TRACE(text);
        configure(text);
        EXPECT_EQ(DeviceConnection(kVendor, kProduct), 0);
        EXPECT_EQ(CheckDeviceConnection(), 2);
    }
    setConfigVariable((file.parent_path() / "no-such-fpmodule-config.ini").string());
    EXPECT_EQ(CheckDeviceConnection(), 2);

    configure("width = 90\n");
    EXPECT_EQ(CheckDeviceConnection(), 1) << "a mended file is read again";
}

}  // namespace
