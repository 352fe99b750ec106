// What the finger command tests share: a fake clock, a fresh log, a module that holds a
// finger and has it on the sensor, and the blocks of the finger commands.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/finger_model.h"
#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/log_files.h"

namespace fpm::test {

// A finger command's block: phase in byte 2, finger index in byte 3, zeros after.
inline std::vector<std::uint8_t> fingerBlock(std::uint8_t code, std::uint8_t phase = 0, std::uint8_t finger = 0)
{
    return {0xE0, code, phase, finger, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

class FingerTest : public LibraryTest {
protected:
    ScopedFakeClock time{3000};
    void SetUp() override
    {
        LibraryTest::SetUp();
        freshLog();
    }
    sim::VirtualModule &moduleWithEnrolled(std::uint8_t finger)
    {
        sim::VirtualModule &m = connectModule();
        m.part<sim::FingerModel>().enrolled[finger] = 8;
        m.part<sim::FingerModel>().fingerOnSensor = finger;
        return m;
    }
};

}  // namespace fpm::test
