#include "log/trace.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "fpmodule.h"
#include "log/diagnostic_log.h"
#include "platform/device_io.h"
#include "platform/no_destroy.h"
#include "platform/system.h"

namespace fpm::log::trace {

namespace {

constexpr int kUnread = 0, kOff = 1, kOn = 2;

// The open file and what names it; one lock serialises records so that lines of several
// threads never interleave.
struct Writer {
    std::mutex mutex;
    void *file = nullptr;
    std::optional<std::u16string> path;  // the name last configured, opened or not
    long long dataLimit = -1;
    std::uint64_t openedUs = 0;
};

Writer &writer()
{
    static NoDestroy<Writer> instance;
    return *instance;
}

thread_local const char *threadExport = nullptr;

std::atomic<std::uint32_t> nextThreadNumber{1};
std::uint32_t threadNumber()
{
    thread_local const std::uint32_t number = nextThreadNumber.fetch_add(1, std::memory_order_relaxed);
    return number;
}

void appendHex(std::string &out, const std::uint8_t *bytes, std::size_t count)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::size_t at = out.size();
    out.resize(at + 2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        out[at + 2 * i] = kDigits[bytes[i] >> 4];
        out[at + 2 * i + 1] = kDigits[bytes[i] & 15];
    }
}

// Export names are identifiers; anything else is dropped rather than escaped.
void appendName(std::string &out, const char *name)
{
    if (!name) {
        out += "null";
        return;
    }
    out += '"';
    for (const char *c = name; *c; ++c) {
        const bool plain = (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') || *c == '_';
        if (plain) out += *c;
    }
    out += '"';
}

const char *platformName()
{
#ifdef _WIN32
    return "windows";
#else
    return "linux";
#endif
}

std::string headerLine(long long dataLimit)
{
    char text[320];
    std::snprintf(text, sizeof text,
                  "{\"trace\":\"fpmodule\",\"version\":%d,\"library\":\"%d.%d.%d\",\"platform\":\"%s\",\"bits\":%d,"
                  "\"backend\":\"%s\",\"data_limit\":%lld}\n",
                  kFormatVersion, FPM_VERSION_MAJOR, FPM_VERSION_MINOR, FPM_VERSION_PATCH, platformName(),
                  static_cast<int>(sizeof(void *) * 8), device::backendName(), dataLimit);
    return text;
}

// Under the writer's lock.
void closeFile(Writer &w)
{
    if (w.file) sys::closeOpened(w.file);
    w.file = nullptr;
}

// Under the writer's lock.
void open(Writer &w, const std::optional<std::u16string> &path, long long dataLimit)
{
    if (path && path == w.path && w.file) return;  // the same file stays open
    closeFile(w);
    w.path = path;
    w.dataLimit = dataLimit;
    if (!path) {
        detail::state().store(kOff, std::memory_order_relaxed);
        return;
    }
    w.file = sys::openForAppend(*path);
    if (w.file && !sys::appendToOpen(w.file, headerLine(dataLimit))) closeFile(w);
    if (!w.file) {
        detail::state().store(kOff, std::memory_order_relaxed);
        writeFailure(kTraceVariable, "the trace file cannot be opened, no trace");
        return;
    }
    w.openedUs = clockUs();
    detail::state().store(kOn, std::memory_order_relaxed);
}

long long dataLimitFromEnvironment()
{
    auto value = sys::environmentVariable(kDataLimitVariable);
    if (!value) return -1;
    long long limit = 0;
    for (char16_t c : *value) {
        if (c < u'0' || c > u'9' || limit > 1'000'000'000) return -1;
        limit = limit * 10 + (c - u'0');
    }
    return limit;
}

}  // namespace

namespace detail {

std::atomic<int> &state()
{
    static std::atomic<int> value{kUnread};
    return value;
}

void configureOnFirstUse()
{
    Writer &w = writer();
    std::lock_guard lock(w.mutex);
    if (state().load(std::memory_order_relaxed) != kUnread) return;
    open(w, sys::environmentVariable(kTraceVariable), dataLimitFromEnvironment());
}

}  // namespace detail

void configureFromEnvironment()
{
    Writer &w = writer();
    std::lock_guard lock(w.mutex);
    // A file that could not be opened is tried again only under a new name: it was
    // reported once.
    auto path = sys::environmentVariable(kTraceVariable);
    if (path && path == w.path && !w.file && detail::state().load(std::memory_order_relaxed) != kUnread) return;
    open(w, path, dataLimitFromEnvironment());
}

void start(const std::u16string &path, long long dataLimit)
{
    Writer &w = writer();
    std::lock_guard lock(w.mutex);
    closeFile(w);
    w.path.reset();
    open(w, path.empty() ? std::nullopt : std::optional<std::u16string>(path), dataLimit);
}

void stop() { start(u""); }

std::uint64_t clockUs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

const char *currentExport() { return threadExport; }

void setThreadExport(const char *name) { threadExport = name; }

void record(const Transfer &t)
{
    Writer &w = writer();
    std::lock_guard lock(w.mutex);
    if (!w.file) return;
    const std::size_t available = t.dataIn ? (t.ok ? t.carried : 0) : t.asked;
    std::size_t kept = available;
    if (w.dataLimit >= 0 && static_cast<unsigned long long>(w.dataLimit) < kept) kept = static_cast<std::size_t>(w.dataLimit);
    if (!t.data) kept = 0;

    std::string line;
    line.reserve(320 + 2 * kept);
    char number[96];
    std::snprintf(number, sizeof number, "{\"t_us\":%llu,\"thread\":%u,\"export\":",
                  static_cast<unsigned long long>(t.startUs >= w.openedUs ? t.startUs - w.openedUs : 0),
                  threadNumber());
    line += number;
    appendName(line, currentExport());
    line += ",\"cdb\":\"";
    appendHex(line, t.block, 16);
    std::snprintf(number, sizeof number, "\",\"dir\":\"%s\",\"asked\":%u,\"carried\":%u,\"data\":\"",
                  t.dataIn ? "in" : "out", t.asked, t.carried);
    line += number;
    appendHex(line, t.data, kept);
    line += "\",\"data_cut\":";
    line += kept < available ? "true" : "false";
    std::snprintf(number, sizeof number, ",\"ok\":%s,\"scsi_status\":%u,\"sense\":\"", t.ok ? "true" : "false",
                  t.scsiStatus);
    line += number;
    appendHex(line, t.sense, t.senseLength);
    std::snprintf(number, sizeof number, "\",\"os_error\":%u,\"dur_us\":%llu}\n", t.osError,
                  static_cast<unsigned long long>(t.durationUs));
    line += number;

    if (!sys::appendToOpen(w.file, line)) {
        // A full disk or a vanished drive ends the trace, never the station's work.
        closeFile(w);
        detail::state().store(kOff, std::memory_order_relaxed);
        writeFailure(kTraceVariable, "the trace file could not be written, trace stopped");
    }
}

}  // namespace fpm::log::trace
