// fpmodule log: the newest lines across the rotated files, oldest first.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/log_files.h"
#include "tools/log_files.h"

namespace fpm::test {
namespace {

namespace fs = std::filesystem;

class LogFilesTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    // Writes file `index` with `lines`, last modified `minutesAgo`.
    void write(int index, const std::vector<std::string> &lines, int minutesAgo)
    {
        const fs::path path = folder / logFileName(index);
        std::ofstream out(path, std::ios::binary);
        for (const auto &l : lines) out << l << "\r\n";
        out.close();
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    }

    fs::path folder = fs::temp_directory_path() / "fpmodule-log-files";
};

TEST_F(LogFilesTest, TheRingIsReadFromTheFileAfterTheNewest)
{
    // Written 8, 9, 0, 1, then 2 (the newest); 5 is left from the round before.
    write(5, {"e1"}, 90);
    write(8, {"a1", "a2"}, 50);
    write(9, {"b1"}, 40);
    write(0, {"c1"}, 30);
    write(1, {"d1"}, 20);
    write(2, {"f1", "f2"}, 10);
    EXPECT_EQ(cli::newestLogLines(folder, 100),
              (std::vector<std::string>{"e1", "a1", "a2", "b1", "c1", "d1", "f1", "f2"}));
    EXPECT_EQ(cli::newestLogLines(folder, 3), (std::vector<std::string>{"d1", "f1", "f2"}));
}

TEST_F(LogFilesTest, OtherFilesAndAnEmptyFolderGiveNothing)
{
    std::ofstream(folder / "notes.txt") << "not a log line\n";
    EXPECT_TRUE(cli::newestLogLines(folder, 10).empty());
}

}  // namespace
}  // namespace fpm::test
