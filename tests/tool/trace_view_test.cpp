// fpmodule trace show: a recorded trace in words, and a damaged one refused by line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tool/tool_run.h"

namespace fpm::test {
namespace {

const char *const kHeader =
    R"({"trace":"fpmodule","version":1,"library":"1.0.0","platform":"linux","bits":64,"backend":"host","data_limit":-1})";

std::string record(const char *cdb, const char *data, bool ok, unsigned durationUs)
{
    const std::size_t bytes = std::string(data).size() / 2;
    return std::string(R"({"t_us":100,"thread":2,"export":"DoVerifyRequest","cdb":")") + cdb +
           R"(","dir":"in","asked":8,"carried":)" + std::to_string(ok ? bytes : 0) + R"(,"data":")" +
           (ok ? data : "") + R"(","data_cut":false,"ok":)" + (ok ? "true" : "false") +
           R"(,"scsi_status":0,"sense":"","os_error":)" + (ok ? "0" : "5") + R"(,"dur_us":)" +
           std::to_string(durationUs) + "}";
}

class TraceShowTest : public ::testing::Test {
protected:
    std::filesystem::path file = std::filesystem::temp_directory_path() / "fpmodule-trace-show.jsonl";
    void TearDown() override { std::filesystem::remove(file); }

    int show(const std::string &text, std::vector<std::string> extra, std::string &out)
    {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        std::vector<std::string> arguments{"trace", "show", file.string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int code = runTool(arguments);
        out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        return code;
    }
};

TEST_F(TraceShowTest, EachTransferByCommandNameStatusAndFailure)
{
    const std::string text = std::string(kHeader) + "\n" +
                             record("e0200003000000000000000000000000", "2003000000000000", true, 1500) + "\n" +
                             record("e0200003000000000000000000000000", "2005030000000000", true, 500) + "\n" +
                             record("e0210000000000000000000000000000", "", false, 3000000) + "\n";
    std::string out;
    ASSERT_EQ(show(text, {}, out), 0) << out;
    EXPECT_NE(out.find("VERIFY_REQUEST             args 00 03"), std::string::npos) << out;
    EXPECT_NE(out.find("BUSY"), std::string::npos) << out;
    EXPECT_NE(out.find("MATCH"), std::string::npos) << out;
    EXPECT_NE(out.find("CHECK_VERIFY_STATUS"), std::string::npos) << out;
    EXPECT_NE(out.find("FAILED (os error 5)"), std::string::npos) << out;

    ASSERT_EQ(show(text, {"--stats"}, out), 0) << out;
    EXPECT_NE(out.find("VERIFY_REQUEST                      2      2.000       1.500      1       0"), std::string::npos)
        << out;
    EXPECT_NE(out.find("all                                 3   3002.000    3000.000      1       1"), std::string::npos)
        << out;
}

TEST_F(TraceShowTest, ADamagedTraceIsRefusedNamingItsLine)
{
    std::string out;
    const std::string cut = std::string(kHeader) + "\n" + record("e034", "", false, 1).substr(0, 50);
    EXPECT_EQ(show(cut, {}, out), 1);
    EXPECT_NE(out.find("line 2: the line is cut short"), std::string::npos) << out;
    EXPECT_EQ(show(R"({"trace":"fpmodule","version":3})" "\n", {"--stats"}, out), 1);
    EXPECT_NE(out.find("line 1: trace format version 3 is newer"), std::string::npos) << out;
}

}  // namespace
}  // namespace fpm::test
