#include "sim/trace_replay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace fpm::sim::trace {

namespace {

std::string hex(const std::uint8_t *bytes, std::size_t count)
{
    std::string out;
    char pair[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        out += pair;
    }
    return out;
}

std::string describe(const std::uint8_t *cdb, bool dataIn, std::uint32_t length)
{
    return hex(cdb, 16) + (dataIn ? " in " : " out ") + std::to_string(length);
}

}  // namespace

Replay::Outcome Replay::stop(std::string why)
{
    stopped_ = true;
    return {false, std::move(why)};
}

Replay::Outcome Replay::carry(transport::PassThroughRequest &request, const std::string &exportName)
{
    if (stopped_) return {false, {}};
    auto &sptd = request.sptd;
    const bool dataIn = sptd.DataIn == transport::kDataIn;
    const std::uint32_t length = sptd.DataTransferLength;
    const auto *buffer = static_cast<std::uint8_t *>(sptd.DataBuffer);
    const std::string incoming = describe(sptd.Cdb, dataIn, length);
    std::size_t &next = next_[exportName];
    while (next < trace_.records.size() && trace_.records[next].exportName != exportName) ++next;
    const std::string caller = exportName.empty() ? "outside any export" : exportName;
    if (next == trace_.records.size()) return stop("no more recorded transfers of " + caller + ": " + incoming);

    const Record &r = trace_.records[next];
    const std::string where = "line " + std::to_string(r.line) + ": " + caller + ": ";
    if (std::memcmp(r.cdb.data(), sptd.Cdb, 16) != 0 || r.dataIn != dataIn || r.asked != length) {
        return stop(where + "recorded " + describe(r.cdb.data(), r.dataIn, r.asked) + ", got " + incoming);
    }
    // What the caller sends must be what was sent then, as far as the trace kept it.
    if (!dataIn && !r.data.empty() && (!buffer || std::memcmp(r.data.data(), buffer, r.data.size()) != 0)) {
        return stop(where + "the data sent differ from the recorded ones");
    }
    if (dataIn && r.ok && r.dataCut) return stop(where + "the recorded data phase was cut short, it cannot be replayed");
    ++next;
    sptd.ScsiStatus = r.scsiStatus;
    if (!r.sense.empty()) std::memcpy(request.sense, r.sense.data(), std::min(r.sense.size(), sizeof request.sense));
    if (!r.ok) return {false, {}};
    if (dataIn) {
        if (buffer && !r.data.empty()) std::memcpy(sptd.DataBuffer, r.data.data(), r.data.size());
        sptd.DataTransferLength = r.carried;
    }
    return {true, {}};
}

}  // namespace fpm::sim::trace
