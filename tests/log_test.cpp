// The diagnostic log folder, its line format and its rotation over ten files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "connection/connection_state.h"
#include "log/diagnostic_log.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {
namespace {

namespace fs = std::filesystem;

class LogTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        std::error_code ignored;
        fs::remove_all(logFolder(), ignored);
    }

    fs::path file(int index) { return logFolder() / logFileName(index); }

    void makeFile(const fs::path &path, std::size_t size, int secondsAgo)
    {
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
    }
};

TEST_F(LogTest, NothingIsWrittenBeforeThePathsArePrepared)
{
    log::writeLine("early");
    EXPECT_FALSE(fs::exists(logFolder()));
}

TEST_F(LogTest, PreparingCreatesTheFolderAndTheFirstLineFileZero)
{
    ASSERT_TRUE(log::preparePaths());
    EXPECT_TRUE(fs::is_directory(logFolder()));
    EXPECT_FALSE(fs::exists(file(0)));
    EXPECT_EQ(log::paths().logFileNames[3], u"SmartCard_Log[3].txt");

    log::writeLine("DeviceConnection");
    log::writeLine("QuerySize : CODE_ERROR", false);  // disabled lines are dropped
    std::string content = readFile(file(0));
    EXPECT_TRUE(std::regex_match(content, std::regex(R"(\d{8} \d\d:\d\d:\d\d \d{3} => DeviceConnection\r\n)")))
        << content;
}

TEST_F(LogTest, AFileUnderTheLimitTakesTheNextLine)
{
    log::preparePaths();
    makeFile(file(4), 20479, 0);
    makeFile(file(3), 100, 60);
    log::writeLine("QuerySize : default");
    EXPECT_GT(fs::file_size(file(4)), 20479u);
    EXPECT_EQ(fs::file_size(file(3)), 100u);
}

TEST_F(LogTest, AFullNewestFileRotatesToTheNextIndexWhichStartsEmpty)
{
    log::preparePaths();
    makeFile(file(9), 20480, 0);
    makeFile(file(0), 5000, 120);
    log::writeLine("DeviceConnection");
    EXPECT_EQ(fs::file_size(file(9)), 20480u);
    std::string content = readFile(file(0));
    EXPECT_EQ(content.size(), 25u + 16u + 2u);
    EXPECT_EQ(log::paths().currentLogFile, (logFolder() / "SmartCard_Log[0].txt").u16string());
}

TEST_F(LogTest, EachFullFileHandsOverToTheNextIndex)
{
    log::preparePaths();
    for (int newest = 0; newest < 10; ++newest) {
        std::error_code ignored;
        for (int i = 0; i < 10; ++i) fs::remove(file(i), ignored);
        int next = (newest + 1) % 10;
        makeFile(file(next), 300, 600);  // an old file of the next index is replaced
        makeFile(file(newest), 20480 + newest, 0);
        log::writeLine("DeviceConnection");
        EXPECT_EQ(fs::file_size(file(next)), 25u + 16u + 2u) << newest;
        EXPECT_EQ(fs::file_size(file(newest)), 20480u + newest) << newest;
    }
}

TEST_F(LogTest, OnlyPlainFilesTakePartAndAnyNameCounts)
{
    log::preparePaths();
    makeFile(file(2), 10, 300);
    fs::create_directory(logFolder() / "newer-folder");
    makeFile(logFolder() / "notes.txt", 10, 0);  // newest plain file, whatever its name
    log::writeLine("ExtractSpecificDevice");
    EXPECT_GT(fs::file_size(logFolder() / "notes.txt"), 10u);
    EXPECT_EQ(fs::file_size(file(2)), 10u);
}

TEST_F(LogTest, AMissingFolderDropsTheLineQuietly)
{
    log::preparePaths();
    fs::remove_all(logFolder());
    log::writeLine("DeviceConnection");
    EXPECT_FALSE(fs::exists(logFolder()));
}

TEST_F(LogTest, OverlongMessagesAreCutToTheLine)
{
    log::preparePaths();
    log::writeLine(std::string(400, 'a'));
    std::string content = readFile(file(0));
    EXPECT_EQ(content.size(), 25u + log::kMaxMessageLength + 2u);
}

}  // namespace
}  // namespace fpm::test
