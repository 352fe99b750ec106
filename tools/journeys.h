// The tool's journeys through the background procedures and the matching commands:
// enrol, verify, identify, delete, issue. Each connects, tells its progress in words,
// saves the 8-bit images it is given when asked to, and returns the tool's exit code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/module_choice.h"
#include "tools/progress.h"

namespace fpm::cli {

constexpr int kAllFingers = 0xFF;

struct JourneyContext {
    ModuleChoice module;
    std::string imageDir;  // empty: images are not saved
    Progress *progress = nullptr;
};

// A station that gives up on an enrolment: once capture `atCapture` has waited
// `afterMs` for the finger, it stops the procedure. `lifted` runs (on the procedure's
// worker) as that capture starts waiting.
struct CancelPlan {
    int atCapture = 0;  // 0: never
    int afterMs = 0;
    std::function<void()> lifted;
};

// Enrols `finger` with `captures` accepted captures (0: as many as the module takes).
int enrollJourney(const JourneyContext &context, int finger, int captures, const CancelPlan &cancel = {});
// Checks the finger on the sensor against one enrolled finger index.
int verifyJourney(const JourneyContext &context, int finger);
// Looks the finger on the sensor up among all enrolled fingers; `matched` receives the
// index of a match, or 0.
int identifyJourney(const JourneyContext &context, int *matched = nullptr);
// Deletes one finger index, or all of them (kAllFingers).
int deleteJourney(const JourneyContext &context, int finger);
// Issues the card.
int issueJourney(const JourneyContext &context);

// Whether an enrolment event is the last one the procedure reports, given the event
// before it (0 before the first). A step that fails while the module waits for the
// finger is reported twice: as it comes, and as the final event.
bool endsEnrollment(std::uint8_t event, bool withImage, std::uint8_t previous);

}  // namespace fpm::cli
