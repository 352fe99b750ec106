#include "tools/trace_view.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "tools/command_names.h"

namespace fpm::cli {

namespace {

constexpr std::uint8_t kStatusBusy = 3;

using sim::trace::Record;

// The longest reply that starts with a status; longer data phases are blocks and images.
constexpr std::uint32_t kLongestReply = 16;

// The reply header, when the data phase is one: the echoed code, then the status.
bool hasReplyHeader(const Record &r)
{
    return r.dataIn && r.ok && r.asked <= kLongestReply && r.data.size() >= 2 && r.data[0] == r.cdb[1];
}

// Block bytes 2 on, up to the last one that is not zero.
std::string arguments(const Record &r)
{
    std::size_t last = r.cdb.size();
    while (last > 2 && r.cdb[last - 1] == 0) --last;
    std::string out;
    char byte[4];
    for (std::size_t i = 2; i < last; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", r.cdb[i]);
        if (!out.empty()) out += ' ';
        out += byte;
    }
    return out.empty() ? "-" : out;
}

std::string outcome(const Record &r)
{
    if (!r.ok) {
        std::string text = "FAILED (os error " + std::to_string(r.osError);
        if (r.scsiStatus) text += ", scsi status " + std::to_string(r.scsiStatus);
        if (!r.sense.empty()) text += ", sense key " + std::to_string(r.sense.size() > 2 ? r.sense[2] & 0x0F : 0);
        return text + ")";
    }
    if (hasReplyHeader(r)) return statusName(r.data[1]);
    return r.dataIn ? "data" : "sent";
}

std::string milliseconds(std::uint64_t us)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(us) / 1000.0);
    return text;
}

}  // namespace

std::string traceTransfers(const sim::trace::Trace &trace)
{
    const auto &h = trace.header;
    std::string out = "trace version " + std::to_string(h.version) + ", library " + h.library + ", " + h.platform +
                      " " + std::to_string(h.bits) + "-bit, " + h.backend +
                      (h.dataLimit >= 0 ? ", data phases cut at " + std::to_string(h.dataLimit) + " bytes" : "") +
                      "\n";
    char line[512];
    for (const Record &r : trace.records) {
        const std::string sizes = std::to_string(r.carried) + "/" + std::to_string(r.asked);
        std::snprintf(line, sizeof line, "%12s ms  t%-3u %-28s %-26s args %-12s %-3s %-13s %-12s %s ms\n",
                      milliseconds(r.tUs).c_str(), r.thread, r.exportName.empty() ? "-" : r.exportName.c_str(),
                      commandName(r.cdb[1]).c_str(), arguments(r).c_str(), r.dataIn ? "in" : "out", sizes.c_str(),
                      outcome(r).c_str(), milliseconds(r.durationUs).c_str());
        out += line;
    }
    return out;
}

std::string traceStatistics(const sim::trace::Trace &trace)
{
    struct Counts {
        std::size_t transfers = 0, busy = 0, failed = 0;
        std::uint64_t totalUs = 0, longestUs = 0;
    };
    std::map<std::uint8_t, Counts> perCommand;
    Counts all;
    for (const Record &r : trace.records) {
        for (Counts *c : {&perCommand[r.cdb[1]], &all}) {
            ++c->transfers;
            c->totalUs += r.durationUs;
            c->longestUs = std::max(c->longestUs, r.durationUs);
            if (!r.ok) ++c->failed;
            if (hasReplyHeader(r) && r.data[1] == kStatusBusy) ++c->busy;
        }
    }
    std::string out = "command                     transfers   total ms  longest ms   busy  failed\n";
    char line[256];
    auto row = [&](const std::string &name, const Counts &c) {
        std::snprintf(line, sizeof line, "%-26s %10zu %10s %11s %6zu %7zu\n", name.c_str(), c.transfers,
                      milliseconds(c.totalUs).c_str(), milliseconds(c.longestUs).c_str(), c.busy, c.failed);
        out += line;
    };
    for (const auto &[code, counts] : perCommand) row(commandName(code), counts);
    row("all", all);
    return out;
}

}  // namespace fpm::cli
