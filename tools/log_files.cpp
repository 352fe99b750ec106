#include "tools/log_files.h"

#include <cstdio>
#include <deque>
#include <fstream>
#include <optional>

namespace fpm::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kLogFiles = 10;

fs::path logFile(const fs::path &folder, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "SmartCard_Log[%d].txt", index);
    return folder / name;
}

}  // namespace

std::vector<fs::path> logFilesInOrder(const fs::path &folder)
{
    std::optional<fs::file_time_type> present[kLogFiles];
    int newest = -1;
    for (int i = 0; i < kLogFiles; ++i) {
        std::error_code error;
        if (!fs::is_regular_file(logFile(folder, i), error)) continue;
        present[i] = fs::last_write_time(logFile(folder, i), error);
        if (error) continue;
        // On equal times the later file in the ring counts as the newer.
        if (newest < 0 || *present[i] >= *present[newest])
            newest = i;
    }
    std::vector<fs::path> files;
    if (newest < 0) return files;
    for (int step = 1; step <= kLogFiles; ++step) {
        const int i = (newest + step) % kLogFiles;
        if (present[i]) files.push_back(logFile(folder, i));
    }
    return files;
}

std::vector<std::string> newestLogLines(const fs::path &folder, std::size_t count)
{
    std::deque<std::string> lines;
    for (const fs::path &file : logFilesInOrder(folder)) {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            if (lines.size() > count) lines.pop_front();
        }
    }
    return {lines.begin(), lines.end()};
}

}  // namespace fpm::cli
