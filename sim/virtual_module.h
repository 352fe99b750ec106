// A model of the module's firmware: it answers vendor command blocks the way the real
// module does, with defaults for every command it knows and scripted replies that a
// test or the demo queues per command code.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <vector>

#include "platform/device_io.h"

namespace fpm::sim {

// One request as the module received it.
struct ReceivedRequest {
    std::uint64_t timeMs = 0;
    device::Handle handle = nullptr;
    std::u16string path;                       // the interface the handle was opened on
    std::array<std::uint8_t, transport::kRecordSize> record{};  // the pass-through record as the driver reads it
    std::array<std::uint8_t, 16> block{};      // the vendor command block
    std::uint8_t dataIn = 0;                   // 1: module to host
    std::uint32_t length = 0;
    std::uint32_t timeoutSeconds = 0;
    std::uintptr_t bufferAddress = 0;
    std::vector<std::uint8_t> dataOut;         // bytes of a host-to-module phase

    std::uint8_t code() const { return block[1]; }
};

// A scripted answer to the next request with one command code.
struct ScriptedReply {
    std::uint8_t status = 1;
    std::vector<std::uint8_t> values;          // reply bytes from byte 2 on
    std::optional<std::uint8_t> echo;          // byte 0, when it must differ from the code
    int busyFirst = 0;                         // answer busy this many times before this reply
    bool failTransfer = false;                 // the host's request fails instead
    std::optional<std::vector<std::uint8_t>> raw;  // the whole data-in phase, as is
    std::uint32_t delayMs = 0;                 // the transfer takes this long

    static ScriptedReply ok(std::vector<std::uint8_t> values = {}) { return {1, std::move(values)}; }
    static ScriptedReply withStatus(std::uint8_t status) { return {status}; }
    static ScriptedReply busyThen(int times, ScriptedReply then)
    {
        then.busyFirst = times;
        return then;
    }
    static ScriptedReply failure() { return {.failTransfer = true}; }
    static ScriptedReply bytes(std::vector<std::uint8_t> data) { return {.raw = std::move(data)}; }
};

class VirtualModule {
public:
    // Answers a request with data-in bytes, or nothing when the transfer must fail.
    using Handler = std::function<std::optional<std::vector<std::uint8_t>>(VirtualModule &, const ReceivedRequest &)>;

    VirtualModule();

    // Queues a reply for the next request with this code (replies are used in order).
    void script(std::uint8_t code, ScriptedReply reply);
    // Every request with this code from now on gets this answer (after any queued ones).
    void answerAlways(std::uint8_t code, ScriptedReply reply);
    // Replaces the default behaviour of one command.
    void setHandler(std::uint8_t code, Handler handler);
    void clearScripts();

    // Every transfer fails, as after the module was pulled out. Atomic: a test may pull
    // it while a worker talks to it.
    std::atomic<bool> unplugged{false};
    // Transfers answered, and data-in bytes sent, before the module pulls itself out
    // (negative: never). The answer that spends the last of either still arrives.
    std::atomic<std::int64_t> transfersBeforeUnplug{-1};
    std::atomic<std::int64_t> dataBytesBeforeUnplug{-1};

    // Firmware state that the default answers use.
    std::array<std::uint8_t, 128> firmwareRecord{};
    std::uint8_t width = 120;
    std::uint8_t height = 100;
    std::uint8_t bytesPerPixel = 1;

    void setFirmwareText(const std::string &text);
    // The firmware family code: bytes 9 and 10 of the firmware version record.
    void setFamilyCode(std::uint8_t first, std::uint8_t second)
    {
        firmwareRecord[9] = first;
        firmwareRecord[10] = second;
    }

    // State of one group of commands (registers, images, ...), made on first use. Each
    // group keeps its own struct, so that groups grow without touching this class.
    template <typename T>
    T &part()
    {
        auto &slot = parts_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T *>(slot.get());
    }

    struct Answer {
        bool transferOk;
        std::vector<std::uint8_t> data;
        std::uint32_t delayMs;
    };
    // Called by the virtual host for each request addressed to this module.
    Answer respond(const ReceivedRequest &request);

    static std::vector<std::uint8_t> header(std::uint8_t code, std::uint8_t status,
                                            const std::vector<std::uint8_t> &values = {});

private:
    Answer compose(const ReceivedRequest &request);

    struct Pending {
        ScriptedReply reply;
        int busyLeft;
    };
    std::map<std::uint8_t, std::deque<Pending>> queued_;
    std::map<std::uint8_t, ScriptedReply> always_;
    std::map<std::uint8_t, Handler> handlers_;
    std::map<std::type_index, std::shared_ptr<void>> parts_;
};

}  // namespace fpm::sim
