#include "worker/procedure_worker.h"

#include "connection/module_handle.h"
#include "log/trace.h"
#include "platform/system.h"

namespace fpm::procedure {

namespace {
std::atomic<int> g_active{0};
}

Run *Run::claim(std::atomic<void *> &guard)
{
    Run *run = new Run(guard);
    void *expected = nullptr;
    if (!guard.compare_exchange_strong(expected, run)) {
        delete run;
        return nullptr;
    }
    return run;
}

bool Run::launch(Body body)
{
    body_ = body;
    startedBy_ = log::trace::currentExport();
    connection_ = connection::handleReplacements();
    g_active.fetch_add(1);
    void *thread = sys::startWorker(&Run::entry, this);
    if (!thread) {
        g_active.fetch_sub(1);
        guard_.store(nullptr);
        delete this;
        return false;
    }
    thread_.store(thread);
    drop();
    return true;
}

void Run::release()
{
    if (released_) return;
    released_ = true;
    // Only this run's own mark is cleared; a complete function may have cleared it and a
    // new procedure taken the guard meanwhile.
    void *self = this;
    if (guard_.compare_exchange_strong(self, nullptr)) return;
    void *finished = finalMark();
    guard_.compare_exchange_strong(finished, nullptr);
}

void Run::finalEventReached()
{
    void *self = this;
    guard_.compare_exchange_strong(self, finalMark());
}

void Run::clearGuardAfterFinalEvent(std::atomic<void *> &guard)
{
    void *held = guard.load();
    if (reinterpret_cast<std::uintptr_t>(held) & 1u) guard.compare_exchange_strong(held, nullptr);
}

void Run::entry(void *argument)
{
    Run *run = static_cast<Run *>(argument);
    // The worker's transfers are traced under the export that started it.
    log::trace::setThreadExport(run->startedBy_);
    run->body_(*run);
    run->release();
    run->drop();
    g_active.fetch_sub(1);
    g_active.notify_all();
}

void Run::drop()
{
    if (holders_.fetch_sub(1) != 1) return;
    sys::releaseWorker(thread_.load());
    delete this;
}

int activeWorkers() { return g_active.load(); }

void awaitWorkerCountChange(int seen) { g_active.wait(seen); }

void pause(std::uint32_t milliseconds) { sys::sleepUntil(sys::nowMs() + milliseconds); }

}  // namespace fpm::procedure
