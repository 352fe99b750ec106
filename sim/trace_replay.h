// The virtual module answering from a recorded trace: each incoming transfer must be the
// next recorded one (same command block, direction, length and sent bytes) and gets its
// recorded answer. The first transfer that differs, or one past the end, stops the
// replay: it and every later transfer fail, and nothing is ever made up.
#pragma once

#include <cstddef>
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
    // Carries one transfer: the recorded result, data phase, SCSI status and sense.
    Outcome carry(transport::PassThroughRequest &request);

    bool stopped() const { return stopped_; }
    std::size_t replayed() const { return next_; }

private:
    Trace trace_;
    std::size_t next_ = 0;
    bool stopped_ = false;

    Outcome stop(std::string why);
};

}  // namespace fpm::sim::trace
