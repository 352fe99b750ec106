// The virtual module answering from a recorded trace: each incoming transfer must be the
// next recorded one of the same export (same command block, direction, length and sent
// bytes) and gets its recorded answer. Each export keeps its own order, so that a worker
// and the caller's thread may interleave otherwise than when the trace was taken. The
// first transfer that differs, or one past the export's last record, stops the replay:
// it and every later transfer fail, and nothing is ever made up.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "platform/pass_through_request.h"
#include "sim/trace_file.h"

namespace fpm::sim::trace {

class Replay {
public:
    explicit Replay(Trace trace) : trace_(std::move(trace)) {}

    struct Outcome {
        bool ok;
        std::string stopped;  // set on the transfer that stopped the replay: why
    };
    // Carries one transfer made under `exportName` (empty: outside any export): the
    // recorded result, data phase, SCSI status and sense.
    Outcome carry(transport::PassThroughRequest &request, const std::string &exportName);

    bool stopped() const { return stopped_; }

private:
    Trace trace_;
    std::map<std::string, std::size_t> next_;  // per export: where its next record is looked for
    bool stopped_ = false;

    Outcome stop(std::string why);
};

}  // namespace fpm::sim::trace
