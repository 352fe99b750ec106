#include "support/command_calls.h"

#include <gtest/gtest.h>

#include "support/library_fixture.h"

namespace fpm::test {

std::vector<std::uint8_t> block16(const std::vector<std::uint8_t> &prefix)
{
    std::vector<std::uint8_t> block(prefix);
    block.resize(16, 0);
    return block;
}

void expectOneRequest(const CommandCall &call, FPM_HANDLE handle)
{
    auto requests = sim::VirtualHost::instance().requests();
    ASSERT_EQ(requests.size(), 1u) << call.name;
    const sim::ReceivedRequest &r = requests[0];
    EXPECT_EQ(blockOf(r), block16(call.block)) << call.name;
    EXPECT_EQ(r.dataIn, 1) << call.name;
    EXPECT_EQ(r.length, 8u) << call.name;
    EXPECT_EQ(r.timeoutSeconds, call.timeoutSeconds) << call.name;
    EXPECT_EQ(r.handle, handle) << call.name;
}

}  // namespace fpm::test
