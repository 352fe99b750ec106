// Enrols a finger in the background: the library's worker thread reports each step to
// the callback, and the main thread waits for the final event.
// Build: c++ -std=c++17 background_enrollment.cpp $(pkg-config --cflags --libs fpmodule) -pthread
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "fpmodule.h"

namespace {

std::mutex g_mutex;
std::condition_variable g_finished;
int g_finalEvent = 0;  // guarded by g_mutex; set once by the worker thread

// Runs on the library's worker thread, not on main's.
void FPM_CALL onEvent(unsigned char *event, unsigned char *image)
{
    switch (*event) {
    case EVENT_WAIT_FINGER: std::puts("place the finger on the sensor"); return;
    case EVENT_CAPTURE_ACCEPTED: std::puts("capture accepted, lift the finger"); return;
    case CODE_OK: std::puts(image ? "capture stored" : "capture done"); return;
    case CODE_FAKE_FINGER: std::puts("not a genuine finger, again please"); return;
    case CODE_CANCELING: std::puts("cancelling"); return;
    default: break;
    }
    // EVENT_ENROLL_COMPLETE, EVENT_CANCELED or a failure ends the enrolment. A module
    // error is reported twice (as it comes, then as the final event); the first will do.
    std::lock_guard lock(g_mutex);
    if (g_finalEvent == 0) g_finalEvent = *event;
    g_finished.notify_one();
}

}  // namespace

int main()
{
    int32_t width = 0, height = 0;
    // Connects, switches the module on and starts the worker: finger slot 1, 3 captures.
    if (SmartCard_Enrollment(1, 3, &width, &height, onEvent) != 1) {
        std::puts("no module found");
        return 1;
    }
    std::printf("enrolling on a %d x %d sensor\n", int(width), int(height));

    std::unique_lock lock(g_mutex);
    if (!g_finished.wait_for(lock, std::chrono::minutes(2), [] { return g_finalEvent != 0; })) {
        lock.unlock();
        std::puts("no finger for two minutes, stopping");
        StopEnrollmentProcedure();  // the worker then reports EVENT_CANCELED
        lock.lock();
        g_finished.wait(lock, [] { return g_finalEvent != 0; });
    }
    int finalEvent = g_finalEvent;
    lock.unlock();

    CompleteEnrollmentProcedure();  // releases the final image
    std::printf("%s (event %d)\n", finalEvent == EVENT_ENROLL_COMPLETE ? "enrolled" : "not enrolled", finalEvent);
    DeviceDisConnection();
    return finalEvent == EVENT_ENROLL_COMPLETE ? 0 : 1;
}
