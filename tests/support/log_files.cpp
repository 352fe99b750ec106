#include "support/log_files.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "connection/connection_state.h"
#include "log/diagnostic_log.h"
#include "platform/system.h"

namespace fpm::test {

namespace fs = std::filesystem;

fs::path logFolder()
{
    fs::path exe(sys::executablePath());
    return exe.parent_path() / "SmartCard_Log";
}

void freshLog()
{
    std::error_code ignored;
    fs::remove_all(logFolder(), ignored);
    log::preparePaths();
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> logMessages()
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(logFolder(), ec)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> messages;
    for (const auto &file : files) {
        std::istringstream lines(readFile(file));
        std::string line;
        while (std::getline(lines, line)) {
            auto arrow = line.find(" => ");
            if (arrow == std::string::npos) continue;
            std::string message = line.substr(arrow + 4);
            if (!message.empty() && message.back() == '\r') message.pop_back();
            messages.push_back(message);
        }
    }
    return messages;
}

}  // namespace fpm::test
