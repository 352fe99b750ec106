// A library test for the background procedures: callbacks recorded, the fake clock in
// place, and every worker ended before the library is reset.
#pragma once

#include "support/fake_clock.h"
#include "support/library_fixture.h"
#include "support/procedure_events.h"

namespace fpm::test {

class ProcedureTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        clearCallbacks();
        g_onCallback = nullptr;
    }
    void TearDown() override
    {
        EXPECT_TRUE(waitForWorkers());
        g_onCallback = nullptr;
        LibraryTest::TearDown();
    }
};

// The same on the fake clock: pauses and polling cost no real time.
class TimedProcedureTest : public ProcedureTest {
protected:
    ScopedFakeClock time;
};

// An enrolment on `module` is accepted at every step: amount, request, status.
inline void acceptEveryEnrollmentStep(sim::VirtualModule &module)
{
    module.answerAlways(0x13, sim::ScriptedReply::ok({0}));
    module.answerAlways(0x10, sim::ScriptedReply::ok());
    module.answerAlways(0x11, sim::ScriptedReply::ok());
}

}  // namespace fpm::test
