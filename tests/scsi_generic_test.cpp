// The Linux backend: interface paths from sysfs, the SG_IO request made from a
// pass-through record, and what happens with files that are no SCSI generic node.
#if defined(__linux__)
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "connection/device_search.h"
#include "platform/host_device.h"
#include "platform/linux/scsi_generic.h"
#include "transport/pass_through.h"

namespace fpm::test {
namespace {

namespace fs = std::filesystem;
using namespace device;

const std::u16string kGuid = u"#{53f56308-b6bf-11d0-94f2-00a0c91efb8b}";

class FakeSysfs : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("fpm-sysfs-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // A node as the kernel shows it: INQUIRY strings space-padded to their field width.
    void node(const std::string &name, const std::string &type, const std::string &vendor, const std::string &model,
              const std::string &rev)
    {
        fs::path device = root / name / "device";
        fs::create_directories(device);
        auto write = [&](const char *file, const std::string &text) { std::ofstream(device / file) << text << "\n"; };
        if (!type.empty()) write("type", type);
        write("vendor", vendor);
        write("model", model);
        write("rev", rev);
    }
};

TEST_F(FakeSysfs, CdromUnitsGetWindowsStylePathsInNodeOrder)
{
    node("sg10", "5", "WEXA    ", "Finger Module   ", "1.00");
    node("sg0", "0", "ATA     ", "Samsung SSD 860 ", "1B6Q");   // the host's disk
    node("sg9", "0", "WEXA    ", "Finger Module   ", "1.00");   // the module's disk unit
    node("sg2", "3", "WEXA    ", "Finger Module   ", "1.00");   // processor
    node("sg3", "", "WEXA    ", "Finger Module   ", "1.00");    // no type
    node("sg4", "5x", "WEXA    ", "Finger Module   ", "1.00");  // not a number
    node("sgx", "5", "WEXA    ", "Finger Module   ", "1.00");   // not a node name
    node("sg1", " 5 ", "Wexa#&/x", "CD,ROM  ", "  2 ");

    auto paths = sg::interfacePaths(root);
    ASSERT_TRUE(paths);
    const std::vector<std::u16string> expected{
        u"\\\\?\\usbstor#cdrom&ven_wexa___x&prod_cd_rom&rev_2#sg1" + kGuid,
        u"\\\\?\\usbstor#cdrom&ven_wexa&prod_finger_module&rev_1.00#sg10" + kGuid,
    };
    EXPECT_EQ(*paths, expected);

    // The connection's match rule picks out the module, and the node comes back out.
    int matches = 0;
    for (const auto &p : *paths) matches += connection::matches(connection::modulePatterns(), p);
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(sg::nodeName(expected[1]), "sg10");
    EXPECT_EQ(sg::nodeName(u"/dev/sg3"), "sg3");
}

TEST_F(FakeSysfs, TheTransferLimitComesFromTheQueueOrTheUnit)
{
    node("sg1", "5", "WEXA", "Finger Module", "1.00");
    EXPECT_EQ(sg::transferLimit(root / "sg1"), 0u);  // neither shown: no known limit
    std::ofstream(root / "sg1/device/max_sectors") << "240\n";
    EXPECT_EQ(sg::transferLimit(root / "sg1"), 240u * 512);
    fs::create_directories(root / "sg1/device/block/sr0/queue");
    std::ofstream(root / "sg1/device/block/sr0/queue/max_hw_sectors_kb") << "512\n";
    EXPECT_EQ(sg::transferLimit(root / "sg1"), 512u * 1024);
    std::ofstream(root / "sg1/device/block/sr0/queue/max_hw_sectors_kb") << "lots\n";
    EXPECT_EQ(sg::transferLimit(root / "sg1"), 240u * 512);
}

TEST_F(FakeSysfs, AMissingClassFolderMeansNoDeviceList)
{
    EXPECT_FALSE(sg::interfacePaths(root / "absent"));
    auto empty = sg::interfacePaths(root);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(ScsiGeneric, OnlySgNodeNamesComeOutOfPaths)
{
    for (const char16_t *path : {u"/dev/sda", u"/dev/sg", u"/dev/sg1/../sda", u"/dev/../etc/passwd", u"/dev/sg-1",
                                 u"\\\\?\\usbstor#cdrom&ven_a&prod_b&rev_c#../../x" /* no class suffix */,
                                 u"\\\\?\\usbstor#cdrom&ven_a&prod_b&rev_c#..#{53f56308-b6bf-11d0-94f2-00a0c91efb8b}",
                                 u"sg1", u""}) {
        EXPECT_FALSE(sg::nodeName(path)) << std::string(path, path + std::char_traits<char16_t>::length(path));
    }
}

TEST(ScsiGeneric, FilesThatAreNoScsiGenericNodeDoNotOpen)
{
    const fs::path file = fs::temp_directory_path() / ("fpm-not-a-device-" + std::to_string(::getpid()));
    std::ofstream(file) << "plain file";
    EXPECT_EQ(sg::openNode(file), -1);
    EXPECT_EQ(sg::openNode(file.string() + ".missing"), -1);
    EXPECT_EQ(sg::openNode("/dev/null"), -1);
    fs::remove(file);

    EXPECT_EQ(host::open(u"/dev/null"), invalidHandle());
    EXPECT_EQ(host::open(u"no path at all"), invalidHandle());
    // Handles this backend never opened reach no file of the process.
    transport::PassThroughRequest request{};
    for (Handle h : {Handle{nullptr}, invalidHandle(), reinterpret_cast<Handle>(1), reinterpret_cast<Handle>(3)}) {
        EXPECT_FALSE(host::passThrough(h, request));
        EXPECT_FALSE(host::close(h));
    }
}

TEST(ScsiGeneric, TheSgIoRequestCarriesTheRecord)
{
    const std::uint8_t block[16] = {0xE0, 0x32, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x5A};
    std::uint8_t buffer[129];
    transport::PassThroughRequest request;
    transport::fillRequest(request, block, transport::Direction::FromModule, buffer, sizeof buffer, 3);

    sg_io_hdr_t io = sg::sgIoRequest(request);
    EXPECT_EQ(io.interface_id, 'S');
    EXPECT_EQ(io.dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(io.cmd_len, 16);
    EXPECT_EQ(std::vector<std::uint8_t>(io.cmdp, io.cmdp + 16), std::vector<std::uint8_t>(block, block + 16));
    EXPECT_EQ(io.dxfer_len, 129u);
    EXPECT_EQ(io.dxferp, buffer);
    EXPECT_EQ(io.timeout, 3000u);
    EXPECT_EQ(io.mx_sb_len, 24);
    EXPECT_EQ(io.sbp, request.sense);
    EXPECT_EQ(io.iovec_count, 0);
    EXPECT_EQ(io.flags, 0u);

    transport::fillRequest(request, block, transport::Direction::ToModule, buffer, 300, 10);
    io = sg::sgIoRequest(request);
    EXPECT_EQ(io.dxfer_direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(io.dxfer_len, 300u);
    EXPECT_EQ(io.timeout, 10000u);

    transport::fillRequest(request, block, transport::Direction::FromModule, nullptr, 0, 0xFFFFFFFF);
    io = sg::sgIoRequest(request);
    EXPECT_EQ(io.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(io.timeout, UINT_MAX);  // the longest wait the driver can hold

    // No data phase, no data pointer, whatever buffer the caller passed: the driver
    // refuses SG_DXFER_NONE with one.
    for (auto direction : {transport::Direction::FromModule, transport::Direction::ToModule}) {
        transport::fillRequest(request, block, direction, buffer, 0, 3);
        io = sg::sgIoRequest(request);
        EXPECT_EQ(io.dxfer_direction, SG_DXFER_NONE);
        EXPECT_EQ(io.dxfer_len, 0u);
        EXPECT_EQ(io.dxferp, nullptr);
    }
}

TEST(ScsiGeneric, HostAndDriverErrorsFailTheTransferButScsiStatusDoesNot)
{
    sg_io_hdr_t io{};
    EXPECT_TRUE(sg::delivered(io));
    io.status = 0x02;  // CHECK CONDITION: the module's own business
    io.driver_status = 0x08;  // sense data present
    EXPECT_TRUE(sg::delivered(io));
    io.driver_status = 0x06;  // time-out
    EXPECT_FALSE(sg::delivered(io));
    io.driver_status = 0;
    io.host_status = 0x01;  // no connect: the module went away
    EXPECT_FALSE(sg::delivered(io));
}

}  // namespace
}  // namespace fpm::test
#endif
