// How the tool sets the virtual module up for what a command shows: its sensor, the
// fingers it holds, the finger on its sensor, a failing check. Each call does nothing
// when the tool runs on the host's devices or no virtual module is present.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fpm::cli {

// The virtual sensor's geometry.
void setVirtualSensor(int width, int height, int bytesPerPixel);

// A finger index that no virtual finger was enrolled under, as a finger on the sensor.
constexpr int kUnknownFinger = 0;

// The fingers the virtual module holds enrolled (8 captures each) and the one on its
// sensor (kUnknownFinger: a finger it has never seen). Its captures are a synthetic
// 16-bit fingerprint of that finger.
void setVirtualFingers(const std::vector<int> &enrolled, int onSensor);
// The finger on the virtual sensor from now on.
void placeVirtualFinger(int onSensor);

// Whether the virtual module sees a finger at all: without one every capture waits,
// until the host cancels it. Call while no procedure runs, or from its callback (on its
// worker, between its commands).
void setVirtualFingerPresent(bool present);

// Makes the virtual module fail one factory check: "sensor", "module", "acf" or "testmode".
void injectVirtualFault(const std::string &check);

}  // namespace fpm::cli
