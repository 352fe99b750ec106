// The virtual host and module that the rest of the suite and the demo rely on.
#include <gtest/gtest.h>

#include "platform/device_io.h"
#include "support/library_fixture.h"

namespace fpm::test {
namespace {

using sim::ScriptedReply;

class VirtualModuleTest : public LibraryTest {};

TEST_F(VirtualModuleTest, ListsModulesAmongDecoysAndRefusesWhatItIsTold)
{
    host().addDecoy();
    host().addModule();
    std::vector<std::u16string> paths;
    ASSERT_TRUE(device::enumerateInterfaces([&](const std::u16string &path) {
        paths.push_back(path);
        return true;
    }));
    EXPECT_EQ(paths, (std::vector<std::u16string>{sim::kDecoyPath, sim::kModulePath}));

    host().refuseOpen(sim::kModulePath);
    EXPECT_EQ(device::open(sim::kModulePath), device::invalidHandle());
    EXPECT_EQ(device::open(u"no such path"), device::invalidHandle());
    host().refuseOpen(sim::kModulePath, false);
    device::Handle h = device::open(sim::kModulePath);
    EXPECT_NE(h, device::invalidHandle());
    EXPECT_EQ(host().openHandleCount(), 1u);
    EXPECT_TRUE(device::close(h));
    EXPECT_FALSE(device::close(h));

    host().setDeviceListUnavailable(true);
    EXPECT_FALSE(device::enumerateInterfaces([](const std::u16string &) { return true; }));
}

TEST_F(VirtualModuleTest, RequestsToADecoyFailButAreRecorded)
{
    host().addDecoy();
    FPM_HANDLE decoy = host().open(sim::kDecoyPath);
    const std::uint8_t block[16] = {0xE0, 0x34};
    std::uint8_t reply[8] = {};
    EXPECT_EQ(RecvDataTransactionWithHandle(decoy, block, reply, 8, 3), 2);
    ASSERT_EQ(host().requests().size(), 1u);
    EXPECT_EQ(host().requests()[0].path, sim::kDecoyPath);
}

TEST_F(VirtualModuleTest, ScriptsAreUsedInOrderThenDefaultsAnswer)
{
    sim::VirtualModule &module = connectModule();
    module.script(0x30, ScriptedReply::withStatus(2));
    module.script(0x30, ScriptedReply::busyThen(1, ScriptedReply::ok()));
    const std::uint8_t init[16] = {0xE0, 0x30};
    const std::uint8_t unknown[16] = {0xE0, 0x7F};
    std::uint8_t reply[8] = {};
    auto status = [&](const std::uint8_t *block) {
        RecvDataTransaction(block, reply, 8, 3);
        return std::vector<std::uint8_t>{reply[0], reply[1]};
    };
    EXPECT_EQ(status(init), (std::vector<std::uint8_t>{0x30, 2}));
    EXPECT_EQ(status(init), (std::vector<std::uint8_t>{0x30, 3}));
    EXPECT_EQ(status(init), (std::vector<std::uint8_t>{0x30, 1}));
    EXPECT_EQ(status(init), (std::vector<std::uint8_t>{0x30, 1}));
    EXPECT_EQ(status(unknown), (std::vector<std::uint8_t>{0x7F, 9}));

    module.unplugged = true;
    EXPECT_EQ(RecvDataTransaction(init, reply, 8, 3), 2);
}

TEST(VirtualModule, PullsItselfOutOnceABudgetIsSpent)
{
    sim::VirtualModule module;
    sim::ReceivedRequest request;
    request.block[1] = 0x7F;  // unknown: a two-byte answer
    const auto answers = [&] { return module.respond(request).transferOk; };

    module.transfersBeforeUnplug = 2;
    EXPECT_TRUE(answers());
    EXPECT_TRUE(answers());
    EXPECT_FALSE(answers());

    // Two-byte answers against three bytes: the one that spends the last still arrives.
    module.unplugged = false;
    module.transfersBeforeUnplug = -1;
    module.dataBytesBeforeUnplug = 3;
    EXPECT_TRUE(answers());
    EXPECT_TRUE(answers());
    EXPECT_EQ(module.dataBytesBeforeUnplug.load(), 0);
    EXPECT_FALSE(answers());
}

}  // namespace
}  // namespace fpm::test
