// The one way the library runs a background procedure (enrolment, verification,
// deletion, card issue): a detached worker thread whose run sits in the procedure's
// guard in ConnectionState, so that at most one procedure of each kind runs at a time.
#pragma once

#include <atomic>
#include <cstdint>

namespace fpm::procedure {

class Run;
using Body = void (*)(Run &run);

class Run {
public:
    // Takes the guard for a new run. Null, with nothing changed, when a procedure of this
    // kind still holds it.
    static Run *claim(std::atomic<void *> &guard);

    // Starts `body` on a worker thread; the caller must not touch the run afterwards.
    // False when no thread could be started: the guard is given back and nothing runs.
    bool launch(Body body);

    // Gives the guard back, once, so that the next procedure of this kind may start while
    // this worker still finishes (the worker's end does it too).
    void release();

    // The final event is about to be reported: from now on a complete function may give
    // the guard back (clearGuardAfterFinalEvent), not before.
    void finalEventReached();
    // The complete functions' part: clears the guard only when its run has reached its
    // final event, so that a running procedure keeps its guard.
    static void clearGuardAfterFinalEvent(std::atomic<void *> &guard);

    // The connection (connection::handleReplacements()) the procedure started on.
    std::uint32_t connection() const { return connection_; }

    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

private:
    explicit Run(std::atomic<void *> &guard) : guard_(guard) {}
    // The guard holds the run's address, with the lowest bit set once the final event
    // is reached; runs are aligned, so the bit is free.
    void *finalMark() { return reinterpret_cast<void *>(reinterpret_cast<std::uintptr_t>(this) | 1u); }
    static void entry(void *argument);
    // Both the starter and the worker hold the run; the last one gives the thread handle
    // back and frees it.
    void drop();

    std::atomic<void *> &guard_;
    Body body_ = nullptr;
    std::atomic<void *> thread_{nullptr};
    std::atomic<int> holders_{2};
    bool released_ = false;  // worker thread only
    const char *startedBy_ = nullptr;  // the export, for the traffic trace; set before the thread starts
    std::uint32_t connection_ = 0;     // the module's connection when the procedure started
};

// Workers started and not yet ended, released or not (tests wait for zero).
int activeWorkers();
// Blocks until activeWorkers() no longer equals `seen` (a waiter sleeps instead of polling).
void awaitWorkerCountChange(int seen);

// A pause of a procedure: sleeps, never spins.
void pause(std::uint32_t milliseconds);

}  // namespace fpm::procedure
