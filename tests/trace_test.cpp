// The traffic trace as a station records it: what each record holds, that the trace
// never changes what a call returns, and that a failing trace file stops only the trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "log/trace.h"
#include "sim/trace_file.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

namespace trace = log::trace;
using sim::trace::Record;

class TraceTest : public LibraryTest {
protected:
    std::filesystem::path file = std::filesystem::temp_directory_path() / "fpmodule-trace-test.jsonl";

    void SetUp() override
    {
        LibraryTest::SetUp();
        std::filesystem::remove(file);
    }
    void TearDown() override
    {
        trace::stop();
        std::filesystem::remove(file);
        LibraryTest::TearDown();
    }
    std::vector<Record> records()
    {
        auto read = sim::trace::readFile(file);
        EXPECT_TRUE(read.trace) << read.error;
        return read.trace ? read.trace->records : std::vector<Record>{};
    }
};

TEST_F(TraceTest, ARecordHoldsTheExportTheBlockAndTheAnswer)
{
    connectModule();
    trace::start(file.u16string());
    int32_t width = 0, height = 0;
    ASSERT_EQ(QuerySize(&width, &height), 1);
    trace::stop();

    auto read = sim::trace::readFile(file);
    ASSERT_TRUE(read.trace) << read.error;
    EXPECT_EQ(read.trace->header.version, 1);
    EXPECT_EQ(read.trace->header.backend, "virtual module");
    ASSERT_EQ(read.trace->records.size(), 1u);
    const Record &r = read.trace->records[0];
    EXPECT_EQ(r.exportName, "QuerySize");
    EXPECT_EQ(r.cdb[0], 0xE0);
    EXPECT_EQ(r.cdb[1], 0x34);
    EXPECT_TRUE(r.dataIn);
    EXPECT_EQ(r.asked, 8u);
    // The virtual module answers with the bytes it has; the record says how many came.
    ASSERT_GE(r.carried, 3u);
    ASSERT_EQ(r.data.size(), r.carried);
    EXPECT_EQ(r.data[0], 0x34);
    EXPECT_EQ(r.data[1], 1);
    EXPECT_EQ(r.data[2], width);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.line, 2u);
}

TEST_F(TraceTest, AFailedTransferIsRecordedAndStillFails)
{
    trace::start(file.u16string());
    const unsigned char block[16] = {0xE0, 0x30};
    unsigned char buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    // The outer export names the record, not the twin it forwards to.
    EXPECT_EQ(RecvDataTransaction(block, buffer, 8, 3), 2);
    EXPECT_EQ(buffer[0], 9);
    const auto all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].exportName, "RecvDataTransaction");
    EXPECT_FALSE(all[0].ok);
    EXPECT_EQ(all[0].carried, 0u);
    EXPECT_TRUE(all[0].data.empty());
}

TEST_F(TraceTest, TheDataLimitCutsLongPhasesAndSaysSo)
{
    connectModule();
    trace::start(file.u16string(), 4);
    const unsigned char block[16] = {0xE0, 0x3B};
    unsigned char image[64] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(SendDataTransaction(block, image, sizeof image, 3), 1);
    const auto all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_FALSE(all[0].dataIn);
    EXPECT_EQ(all[0].asked, 64u);
    EXPECT_EQ(all[0].data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_TRUE(all[0].dataCut);
}

TEST_F(TraceTest, AFileThatCannotBeOpenedIsReportedOnceAndChangesNothing)
{
    freshLog();
    connectModule();
    trace::start((std::filesystem::temp_directory_path() / "no-such-folder" / "t.jsonl").u16string());
    int32_t width = 0, height = 0;
    EXPECT_EQ(QuerySize(&width, &height), 1);
    EXPECT_EQ(QuerySize(&width, &height), 1);
    EXPECT_EQ(width, 120);
    const auto lines = logMessages();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "FPMODULE_TRACE : the trace file cannot be opened, no trace"), 1);
}

#ifdef __linux__
TEST_F(TraceTest, AFullDiskStopsTheTraceNotTheCalls)
{
    freshLog();
    connectModule();
    trace::start(u"/dev/full");
    int32_t width = 0, height = 0;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(QuerySize(&width, &height), 1);
    const auto lines = logMessages();
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_NE(lines.at(0).find("FPMODULE_TRACE : "), std::string::npos);
}
#endif

TEST_F(TraceTest, RecordsOfSeveralThreadsStayWholeLines)
{
    connectModule();
    trace::start(file.u16string());
    constexpr int kThreads = 4, kCalls = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            int32_t width = 0, height = 0;
            for (int i = 0; i < kCalls; ++i) QuerySizeWithHandle(connected(), &width, &height);
        });
    }
    for (auto &thread : threads) thread.join();
    trace::stop();

    std::map<std::uint32_t, int> perThread;
    for (const Record &r : records()) {
        EXPECT_EQ(r.exportName, "QuerySizeWithHandle");
        ++perThread[r.thread];
    }
    ASSERT_EQ(perThread.size(), static_cast<std::size_t>(kThreads));
    for (auto [thread, count] : perThread) EXPECT_EQ(count, kCalls) << "thread " << thread;
}

// The reader refuses what it cannot trust and names the line.
TEST(TraceReader, RefusesDamagedTracesNamingTheLine)
{
    const std::string header =
        R"({"trace":"fpmodule","version":1,"library":"1.0.0","platform":"linux","bits":64,"backend":"host","data_limit":-1})"
        "\n";
    const std::string record =
        R"({"t_us":5,"thread":1,"export":"QuerySize","cdb":"e0340000000000000000000000000000","dir":"in","asked":8,"carried":8,"data":"3401780064000100","data_cut":false,"ok":true,"scsi_status":0,"sense":"","os_error":0,"dur_us":7})";
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string r = record;
        r.replace(r.find(from), from.size(), to);
        return header + r + "\n";
    };
    ASSERT_TRUE(sim::trace::parse(header + record + "\n").trace) << sim::trace::parse(header + record + "\n").error;
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1: the trace is empty"},
        {header + record, "line 2: the line is cut short"},
        {header.substr(0, 40) + "\n", "line 1: "},
        {R"({"trace":"fpmodule","version":2,"library":"9.0.0","platform":"linux","bits":64,"backend":"host","data_limit":-1})"
             "\n",
         "line 1: trace format version 2 is newer than this reader's 1"},
        {replaced("3401780064000100", "34017800640001"), "line 2: \"data\" holds 7 bytes where 8 were carried"},
        {replaced("\"carried\":8", "\"carried\":9"), "line 2: more bytes carried than asked"},
        {replaced("e034", "E034"), "line 2: \"cdb\" is not lower-case hex"},
        {replaced("e0340000000000000000000000000000", "e034"), "line 2: \"cdb\" is not 16 bytes"},
        {replaced("\"dir\":\"in\"", "\"dir\":\"up\""), "line 2: \"dir\" is neither"},
        {replaced(",\"dur_us\":7", ""), "line 2: \"dur_us\" is missing"},
        {replaced("\"dur_us\":7", "\"dur_us\":7,\"extra\":1"), "line 2: unknown member \"extra\""},
        {replaced("\"ok\":true", "\"ok\":1"), "line 2: \"ok\" has the wrong type"},
        {replaced("\"thread\":1", "\"thread\":1,\"thread\":2"), "line 2: \"thread\" appears twice"},
        {header + record + "\n" + record.substr(0, 30) + "\n", "line 3: "},
        {header + record + "\n\n", "line 3: not a JSON object"},
    };
    for (const auto &[text, expected] : cases) {
        const auto read = sim::trace::parse(text);
        EXPECT_FALSE(read.trace) << expected;
        EXPECT_EQ(read.error.rfind(expected, 0), 0u) << "got: " << read.error;
    }
}

}  // namespace
}  // namespace fpm::test
