#include "support/procedure_events.h"

#include <condition_variable>
#include <mutex>

#include "connection/connection_state.h"
#include "platform/system.h"
#include "worker/procedure_worker.h"

namespace fpm::test {

void (*g_onCallback)(const CallbackRecord &record) = nullptr;

namespace {

std::mutex g_mutex;
std::condition_variable g_arrived;
std::vector<CallbackRecord> g_records;

void add(CallbackRecord record)
{
    record.thread = std::this_thread::get_id();
    record.timeMs = sys::nowMs();
    record.enrollRunning = state().enrollWorker.load() != nullptr;
    record.verifyRunning = state().verifyWorker.load() != nullptr;
    {
        std::lock_guard lock(g_mutex);
        g_records.push_back(record);
    }
    g_arrived.notify_all();
    if (g_onCallback) g_onCallback(record);
}

std::vector<std::uint8_t> copyImage(const unsigned char *image)
{
    if (!image) return {};
    // A locked snapshot: a connect on another thread may be setting the geometry.
    const Geometry g = state().geometry();
    const std::size_t size = static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height);
    return {image, image + size};
}

}  // namespace

void clearCallbacks()
{
    std::lock_guard lock(g_mutex);
    g_records.clear();
}

std::vector<CallbackRecord> callbacks()
{
    std::lock_guard lock(g_mutex);
    return g_records;
}

std::vector<int> callbackEvents()
{
    std::vector<int> events;
    for (const CallbackRecord &r : callbacks()) events.push_back(r.event);
    return events;
}

bool waitForCallbacks(std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(g_mutex);
    return g_arrived.wait_for(lock, timeout, [&] { return g_records.size() >= count; });
}

void FPM_CALL recordResult(unsigned char *result) { add({.event = *result}); }

void FPM_CALL recordEnrollment(unsigned char *event, unsigned char *image)
{
    add({.event = *event, .imageAddress = image, .image = copyImage(image)});
}

void FPM_CALL recordVerify(unsigned char *event, unsigned char *fingerIndex, unsigned char *image)
{
    add({.event = *event,
         .hasIndex = fingerIndex != nullptr,
         .index = fingerIndex ? *fingerIndex : 0,
         .imageAddress = image,
         .image = copyImage(image)});
}

bool waitForWorkers(std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (procedure::activeWorkers() != 0) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace fpm::test
