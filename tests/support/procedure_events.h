// Callbacks for the background procedures that record what they receive, from any
// thread, and the wait for the library's workers to end.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "fpmodule.h"

namespace fpm::test {

struct CallbackRecord {
    int event = 0;
    bool hasIndex = false;
    int index = 0;
    const unsigned char *imageAddress = nullptr;
    std::vector<std::uint8_t> image;  // imageWidth x imageHeight bytes copied at the call
    std::thread::id thread;
    std::uint64_t timeMs = 0;     // the library's clock at the call
    bool enrollRunning = false;   // the guards at the call
    bool verifyRunning = false;
};

// Resets the record; every callback below adds to it.
void clearCallbacks();
std::vector<CallbackRecord> callbacks();
std::vector<int> callbackEvents();
// Waits (real time) until at least `count` callbacks arrived.
bool waitForCallbacks(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Called inside every recording callback, after it recorded (null: nothing).
extern void (*g_onCallback)(const CallbackRecord &record);

void FPM_CALL recordResult(unsigned char *result);
void FPM_CALL recordEnrollment(unsigned char *event, unsigned char *image);
void FPM_CALL recordVerify(unsigned char *event, unsigned char *fingerIndex, unsigned char *image);

// Waits (real time) until every worker the library started has ended.
bool waitForWorkers(std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace fpm::test
