// fpmodule log: the newest lines of the library's diagnostic log, across its rotated
// files, oldest first.
#include <cstdio>
#include <string>

#include "tools/cli_commands.h"
#include "tools/log_files.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

struct LogOptions {
    std::size_t lines = 20;
    std::string dir;
};

int showLog(LogOptions &o)
{
    const std::filesystem::path folder = o.dir.empty() ? toolLogFolder() : std::filesystem::path(o.dir);
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
        std::fprintf(stderr, "fpmodule: no log folder at %s\n", folder.string().c_str());
        return kExitFailed;
    }
    for (const std::string &line : newestLogLines(folder, o.lines)) std::printf("%s\n", line.c_str());
    return kExitOk;
}

void options(CLI::App &sub, LogOptions &o)
{
    sub.add_option("-n,--lines", o.lines, "How many of the newest lines to show")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    sub.add_option("--dir", o.dir, "The log folder (default: SmartCard_Log beside this program)");
}

}  // namespace

void addLogCommand(CLI::App &app)
{
    addCommandWith<LogOptions>(app, "log", "Show the newest lines of the diagnostic log", options, showLog);
}

}  // namespace fpm::cli
