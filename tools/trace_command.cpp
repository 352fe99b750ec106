// fpmodule trace show FILE [--stats]: a traffic trace (FPMODULE_TRACE) in words.
#include <cstdio>
#include <string>

#include "sim/trace_file.h"
#include "tools/cli_commands.h"
#include "tools/trace_view.h"

namespace fpm::cli {

namespace {

struct TraceOptions {
    CLI::App *show = nullptr;
    std::string file;
    bool stats = false;
};

int runTrace(TraceOptions &o)
{
    if (!o.show->parsed()) return kExitUsage;
    const auto read = sim::trace::readFile(std::filesystem::u8path(o.file));
    if (!read.trace) {
        std::fprintf(stderr, "fpmodule: %s: %s\n", o.file.c_str(), read.error.c_str());
        return kExitFailed;
    }
    const std::string text = o.stats ? traceStatistics(*read.trace) : traceTransfers(*read.trace);
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

void options(CLI::App &sub, TraceOptions &o)
{
    sub.require_subcommand(1);
    o.show = sub.add_subcommand("show", "Each transfer of a trace: command, arguments, status, sizes, timing");
    o.show->add_option("file", o.file, "The trace file")->required();
    o.show->add_flag("--stats", o.stats, "Counts and time per command, busy answers, failures");
}

}  // namespace

void addTraceCommand(CLI::App &app)
{
    addCommandWith<TraceOptions>(app, "trace", "Read a traffic trace recorded with FPMODULE_TRACE", options, runTrace);
}

}  // namespace fpm::cli
