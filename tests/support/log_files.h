// Reads and arranges the diagnostic log folder beside the test executable.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fpm::test {

std::filesystem::path logFolder();
// Empties the log folder and prepares the library's log paths.
void freshLog();
// Every line of every log file, in file-name order, without the time stamp.
std::vector<std::string> logMessages();
std::string readFile(const std::filesystem::path &path);

// "SmartCard_Log[<index>].txt", built by appending: GCC 12 warns (-Wrestrict, wrongly) on
// a literal + std::string in the 32-bit Windows build.
inline std::string logFileName(int index)
{
    std::string name = "SmartCard_Log[";
    name += std::to_string(index);
    name += "].txt";
    return name;
}

}  // namespace fpm::test
