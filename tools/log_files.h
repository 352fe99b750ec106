// The library's diagnostic log as a reader sees it: the ten rotated files in the order
// they were written, and their newest lines.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fpm::cli {

// The log files present in `folder`, oldest first. The files form a ring that the
// library fills 0, 1, ... 9, 0, ...: the newest file (latest written) is the last, the
// one after it in the ring the oldest.
std::vector<std::filesystem::path> logFilesInOrder(const std::filesystem::path &folder);

// The last `count` lines across the files, oldest first, without their line ends.
std::vector<std::string> newestLogLines(const std::filesystem::path &folder, std::size_t count);

}  // namespace fpm::cli
