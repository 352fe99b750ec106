// The traffic trace: with FPMODULE_TRACE naming a file, every pass-through transfer is
// appended to it as one line of JSON (docs/diagnostics.md has the format). Off by
// default; when off a transfer pays one relaxed atomic load.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace fpm::log::trace {

inline constexpr const char *kTraceVariable = "FPMODULE_TRACE";
// The most bytes of one data phase a record keeps (default: the whole phase).
inline constexpr const char *kDataLimitVariable = "FPMODULE_TRACE_DATA";
inline constexpr int kFormatVersion = 1;

namespace detail {
// 0: the variable not read yet; 1: off; 2: on.
std::atomic<int> &state();
void configureOnFirstUse();
}  // namespace detail

// Whether transfers are being recorded; the first call reads the variable.
inline bool on()
{
    const int s = detail::state().load(std::memory_order_relaxed);
    if (s == 0) {
        detail::configureOnFirstUse();
        return detail::state().load(std::memory_order_relaxed) == 2;
    }
    return s == 2;
}

// Reads FPMODULE_TRACE (and FPMODULE_TRACE_DATA) again: a new file name opens that file,
// an unset variable closes the trace, the same name keeps the open file. Run at every
// connect, where the log is prepared.
void configureFromEnvironment();

// What a test or tool names directly; an empty path closes the trace. `dataLimit`
// below 0 keeps whole data phases.
void start(const std::u16string &path, long long dataLimit = -1);
void stop();

// One transfer as it went.
struct Transfer {
    const std::uint8_t *block;  // 16 bytes
    bool dataIn;
    std::uint32_t asked;
    std::uint32_t carried;
    const std::uint8_t *data;   // the data phase: sent (data-out) or received (data-in, when ok)
    bool ok;
    std::uint8_t scsiStatus;
    const std::uint8_t *sense;  // senseLength bytes
    std::uint32_t senseLength;
    std::uint32_t osError;      // 0 when ok
    std::uint64_t startUs;      // from clockUs()
    std::uint64_t durationUs;
};

// Microseconds of a monotonic clock (the trace's own, not the replaceable process clock).
std::uint64_t clockUs();

// Appends the record; a failed write stops the trace and says so once in the log.
void record(const Transfer &transfer);

// The export the calling thread is in, for the records; null outside any.
const char *currentExport();
// A worker thread carries the export that started it.
void setThreadExport(const char *name);

// Names the calling thread's export for its lifetime; an export called by another keeps
// the outer name, the one the caller asked for. Named whether the trace is on or not: the
// export's own connect may turn it on, and a worker it starts takes the name along.
class ExportScope {
public:
    explicit ExportScope(const char *name)
    {
        if (currentExport()) return;
        setThreadExport(name);
        set_ = true;
    }
    ~ExportScope()
    {
        if (set_) setThreadExport(nullptr);
    }
    ExportScope(const ExportScope &) = delete;
    ExportScope &operator=(const ExportScope &) = delete;

private:
    bool set_ = false;
};

}  // namespace fpm::log::trace
