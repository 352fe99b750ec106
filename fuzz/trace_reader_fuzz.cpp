// The trace reader on any text, and the replay of whatever it accepts: a trace that is
// read must replay its own transfers, each under its export, with their recorded answers
// and write no byte of a data phase beyond what the record carried.
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "sim/trace_file.h"
#include "sim/trace_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace fpm;
    const auto read = sim::trace::parse(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!read.trace) {
        if (read.error.rfind("line ", 0) != 0) std::abort();  // every refusal names its line
        return 0;
    }
    sim::trace::Replay replay(*read.trace);
    for (const sim::trace::Record &r : read.trace->records) {
        constexpr std::uint8_t kUntouched = 0xA5;
        // One guard byte past the asked length catches a write beyond it.
        std::vector<std::uint8_t> buffer(std::size_t{r.asked} + 1, kUntouched);
        if (!r.dataIn) std::memcpy(buffer.data(), r.data.data(), r.data.size());
        transport::PassThroughRequest request{};
        std::memcpy(request.sptd.Cdb, r.cdb.data(), 16);
        request.sptd.DataIn = r.dataIn ? transport::kDataIn : transport::kDataOut;
        request.sptd.DataTransferLength = r.asked;
        request.sptd.DataBuffer = buffer.data();
        const auto outcome = replay.carry(request, r.exportName);
        if (replay.stopped()) break;  // a cut data phase, or the data sent not all recorded
        if (outcome.ok != r.ok) std::abort();
        if (buffer[r.asked] != kUntouched) std::abort();
        if (r.dataIn && r.ok && std::memcmp(buffer.data(), r.data.data(), r.data.size()) != 0) std::abort();
    }
    // One past the end always stops it.
    transport::PassThroughRequest extra{};
    if (!replay.stopped() && (replay.carry(extra, "").ok || !replay.stopped())) std::abort();
    return 0;
}
