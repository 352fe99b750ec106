// The tool's exit codes: 0 success, 1 the module refused or failed, 2 a usage error.
#include <gtest/gtest.h>

#include "tool/tool_run.h"

namespace fpm::test {
namespace {

struct Case {
    std::vector<std::string> arguments;
    int exitCode;
};

class ExitCodeTest : public ::testing::TestWithParam<Case> {};

TEST_P(ExitCodeTest, MatchesTheOutcome)
{
    EXPECT_EQ(runTool(GetParam().arguments), GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Usage, ExitCodeTest,
    ::testing::Values(Case{{}, 0}, Case{{"--help"}, 0}, Case{{"--version"}, 0}, Case{{"enroll", "--help"}, 0},
                      Case{{"frobnicate"}, 2}, Case{{"info", "--bogus"}, 2}, Case{{"enroll"}, 2},
                      Case{{"enroll", "255"}, 2}, Case{{"enroll", "one"}, 2}, Case{{"enroll", "1", "--captures", "0"}, 2},
                      Case{{"verify", "-1"}, 2}, Case{{"delete", "some"}, 2}, Case{{"delete", "1", "2"}, 2},
                      Case{{"capture", "-o", "image.jpg"}, 2}, Case{{"capture", "-o", "png"}, 2},
                      Case{{"capture", "--depth", "12"}, 2}, Case{{"reg"}, 2}, Case{{"reg", "read", "0x100"}, 2},
                      Case{{"reg", "write", "1", "256"}, 2}, Case{{"vendor", "--confirm", "0x10000"}, 2},
                      Case{{"selftest", "--fault", "power"}, 2}, Case{{"selftest", "--real", "--fault", "acf"}, 2},
                      Case{{"log", "--lines", "0"}, 2}));

INSTANTIATE_TEST_SUITE_P(
    VirtualModule, ExitCodeTest,
    ::testing::Values(Case{{"info"}, 0}, Case{{"list", "--json"}, 0}, Case{{"selftest"}, 0},
                      Case{{"selftest", "--fault", "module"}, 1}, Case{{"selftest", "--fault", "testmode"}, 1},
                      Case{{"vendor", "--confirm", "0x0102"}, 0}, Case{{"vendor", "--confirm", "0x0201"}, 1},
                      Case{{"reg", "read", "0x10", "--group", "2"}, 0}, Case{{"verify", "2"}, 1},
                      Case{{"verify", "1"}, 0}, Case{{"identify", "--on-sensor", "0"}, 1}));

}  // namespace
}  // namespace fpm::test
