// The device side of the virtual drop-in library (fpmodule-virtual): every enumeration,
// open and transfer goes to the virtual module, never to the host's devices. The module
// is built from the file named by FPMODULE_VIRTUAL_CONFIG; the file is read again at
// each enumeration and open, and a changed file rebuilds the module, so that a caller's
// tests can script one test after another in a single process.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>

#include "log/diagnostic_log.h"
#include "log/trace.h"
#include "platform/device_io.h"
#include "sim/finger_model.h"
#include "sim/trace_replay.h"
#include "sim/virtual_host.h"
#include "virtual/virtual_config.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fpm::device {

namespace {

constexpr std::uint8_t kCaptureRequests[] = {0x10, 0x20, 0x23};  // enrol, verify, identify

// Read through the OS, not the C runtime: a Windows caller's runtime keeps its own copy
// of the environment, which this DLL's runtime would not see.
std::optional<std::filesystem::path> configPath()
{
#ifdef _WIN32
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(L"FPMODULE_VIRTUAL_CONFIG", buffer, 1024);
    if (length == 0 || length >= 1024) return std::nullopt;
    return std::filesystem::path(std::wstring(buffer, length));
#else
    const char *value = std::getenv("FPMODULE_VIRTUAL_CONFIG");
    if (!value || !*value) return std::nullopt;
    return std::filesystem::path(value);
#endif
}

std::string shown(const std::filesystem::path &path)
{
    auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

class DropIn {
public:
    // Serialises the host's setup and every transfer, so that a rebuild or an unplug
    // never meets a transfer half-way.
    std::mutex mutex;

    // Rebuilds the virtual module when the configuration changed since it was applied.
    void refresh()
    {
        auto path = configPath();
        std::string text;
        bool readable = true;
        if (path) {
            std::ifstream in(*path, std::ios::binary);
            readable = in.is_open();
            std::ostringstream content;
            if (readable) content << in.rdbuf();
            text = content.str();
        }
        std::string key = (path ? shown(*path) : std::string()) + '\n' + text;
        if (applied_ && *applied_ == key) return;
        applied_ = key;

        auto &host = sim::VirtualHost::instance();
        host.reset();
        placed_ = 0;
        transfers_ = 0;
        replay_.reset();
        unplugged_ = false;
        if (!readable) return fail(shown(*path) + ": cannot be read");
        dropin::ParseResult parsed = dropin::parseConfig(text);
        if (!parsed.error.empty()) return fail(shown(*path) + ": " + parsed.error);
        config_ = parsed.config;
        dropin::applyConfig(config_, host);
        if (config_.replay) {
            // A relative trace path is taken from the configuration file's folder.
            const std::filesystem::path trace = path->parent_path() / std::filesystem::u8path(*config_.replay);
            auto read = sim::trace::readFile(trace);
            if (!read.trace) return fail(shown(*path) + ": replay: " + shown(trace) + ": " + read.error);
            replay_.emplace(std::move(*read.trace));
            replayName_ = shown(trace);
        }
    }

    // The trace being replayed, or null.
    sim::trace::Replay *replay() { return replay_ ? &*replay_ : nullptr; }

    bool replayTransfer(transport::PassThroughRequest &request)
    {
        const char *caller = log::trace::currentExport();
        auto outcome = replay_->carry(request, caller ? caller : "");
        if (!outcome.stopped.empty()) {
            std::string message = "replay stopped: " + replayName_ + ": " + outcome.stopped;
            std::fprintf(stderr, "fpmodule-virtual: %s\n", message.c_str());
            log::writeLine("fpmodule-virtual : " + message);
        }
        return outcome.ok;
    }

    bool unplugged() const { return unplugged_; }

    // What the module notices of a request before it answers: the finger placed for a
    // new capture, and the pull after the configured number of transfers.
    void beforeTransfer(const transport::PassThroughRequest &request)
    {
        if (config_.unplugAfter && transfers_ >= config_.unplugAfter && !unplugged_) {
            unplugged_ = true;
            forEachModule([](sim::VirtualModule &m) { m.unplugged = true; });
        }
        ++transfers_;
        const std::uint8_t *block = request.sptd.Cdb;
        if (block[2] != 0 || std::find(std::begin(kCaptureRequests), std::end(kCaptureRequests), block[1]) ==
                                 std::end(kCaptureRequests))
            return;
        if (config_.fingers.empty()) {
            // Unscripted, the finger being enrolled is the one on the sensor from then on.
            const dropin::Placement enrolling{dropin::Placement::Kind::Finger, block[3]};
            if (block[1] == 0x10) forEachModule([&](sim::VirtualModule &m) { place(m, enrolling); });
            return;
        }
        const dropin::Placement next = config_.fingers[std::min(placed_, config_.fingers.size() - 1)];
        ++placed_;
        forEachModule([&](sim::VirtualModule &m) { place(m, next); });
    }

private:
    std::optional<std::string> applied_;
    dropin::VirtualConfig config_;
    std::size_t placed_ = 0;
    std::uint64_t transfers_ = 0;
    bool unplugged_ = false;
    std::optional<sim::trace::Replay> replay_;
    std::string replayName_;

    // A configuration that cannot be used leaves no device list, so that no connect
    // pretends to have found the module the caller meant to script.
    void fail(const std::string &message)
    {
        config_ = {};
        sim::VirtualHost::instance().setDeviceListUnavailable(true);
        std::fprintf(stderr, "fpmodule-virtual: %s\n", message.c_str());
        log::writeLine("fpmodule-virtual : " + message);
    }

    void forEachModule(const std::function<void(sim::VirtualModule &)> &apply)
    {
        for (int n = 0; n < config_.modules; ++n) {
            if (auto *module = sim::VirtualHost::instance().module(dropin::modulePath(n))) apply(*module);
        }
    }

    static void place(sim::VirtualModule &module, const dropin::Placement &placement)
    {
        auto &finger = module.part<sim::FingerModel>();
        finger.fakeFinger = placement.kind == dropin::Placement::Kind::Fake;
        if (placement.kind == dropin::Placement::Kind::Finger) finger.fingerOnSensor = placement.index;
        if (placement.kind == dropin::Placement::Kind::None) finger.fingerOnSensor.reset();
    }
};

DropIn &dropIn()
{
    // Never destroyed: a worker thread may still send its last command while the process
    // exits.
    static DropIn &instance = *new DropIn;
    return instance;
}

}  // namespace

bool enumerateInterfaces(const InterfaceVisitor &visit)
{
    std::optional<std::vector<std::u16string>> paths;
    {
        std::lock_guard lock(dropIn().mutex);
        dropIn().refresh();
        paths = sim::VirtualHost::instance().listPaths();
        // A pulled module is gone from the list; the decoy disks stay.
        if (paths && dropIn().unplugged()) {
            std::erase_if(*paths, [](const std::u16string &p) { return sim::VirtualHost::instance().module(p); });
        }
    }
    if (!paths) return false;
    for (const auto &path : *paths) {
        if (!visit(path)) break;
    }
    return true;
}

Handle open(const std::u16string &path)
{
    std::lock_guard lock(dropIn().mutex);
    dropIn().refresh();
    if (dropIn().unplugged() && sim::VirtualHost::instance().module(path)) return invalidHandle();
    return sim::VirtualHost::instance().openPath(path);
}

bool close(Handle handle) { return sim::VirtualHost::instance().closeHandle(handle); }

std::uint32_t transferLimit(Handle) { return sim::VirtualHost::instance().transferLimit(); }

const char *backendName() { return "virtual library"; }

bool passThrough(Handle handle, transport::PassThroughRequest &request)
{
    std::lock_guard lock(dropIn().mutex);
    if (dropIn().replay()) return dropIn().replayTransfer(request);
    dropIn().beforeTransfer(request);
    return sim::VirtualHost::instance().passThrough(handle, &request);
}

}  // namespace fpm::device
