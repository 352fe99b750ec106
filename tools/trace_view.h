// A traffic trace in words: one line per transfer, or counts and times per command.
#pragma once

#include <string>

#include "sim/trace_file.h"

namespace fpm::cli {

// Each transfer: time, thread, export, command name, arguments, direction and sizes,
// the module's status or the host's failure, and the duration.
std::string traceTransfers(const sim::trace::Trace &trace);

// Per command: transfers, total and longest time, busy answers, failures.
std::string traceStatistics(const sim::trace::Trace &trace);

}  // namespace fpm::cli
