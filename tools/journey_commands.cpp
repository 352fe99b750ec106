// fpmodule enroll / verify / identify / delete / issue: the journeys of an enrolment
// station, a verification front end and a card-issuing station. On the virtual module
// fingers 1 and 2 are enrolled to begin with, and --on-sensor names the finger put down.
#include <string>

#include "tools/cli_commands.h"
#include "tools/journeys.h"
#include "tools/virtual_setup.h"

namespace fpm::cli {

namespace {

struct JourneyOptions {
    ModuleChoice module;
    std::string imageDir;
    int finger = 1;
    std::string fingerOrAll;
    int captures = 0;
    int onSensor = -1;  // -1: the command's own choice
};

// Fingers the virtual module holds when a journey starts.
const std::vector<int> kVirtualEnrolled = {1, 2};

int run(JourneyOptions &o, int defaultOnSensor, int (*journey)(const JourneyContext &, JourneyOptions &))
{
    prepareModules(o.module);
    setVirtualFingers(kVirtualEnrolled, o.onSensor >= 0 ? o.onSensor : defaultOnSensor);
    Progress progress;
    const JourneyContext context{o.module, o.imageDir, &progress};
    return journey(context, o);
}

void common(CLI::App &sub, JourneyOptions &o, bool images)
{
    addModuleOption(sub, o.module);
    if (images) sub.add_option("--images", o.imageDir, "Save the 8-bit images as PNG files in this folder");
    sub.add_option("--on-sensor", o.onSensor,
                   "Virtual module: the finger index put on the sensor (0: a finger it has never seen)")
        ->check(CLI::Range(0, 254));
}

void fingerArgument(CLI::App &sub, JourneyOptions &o)
{
    sub.add_option("FINGER", o.finger, "Finger index, 0 to 254")->required()->check(CLI::Range(0, 254));
}

}  // namespace

void addJourneyCommands(CLI::App &app)
{
    addCommandWith<JourneyOptions>(
        app, "enroll", "Enrol a finger with the background procedure",
        [](CLI::App &sub, JourneyOptions &o) {
            fingerArgument(sub, o);
            sub.add_option("--captures", o.captures, "Accepted captures to take (default: as many as the module takes)")
                ->check(CLI::Range(1, 255));
            common(sub, o, true);
        },
        [](JourneyOptions &o) {
            return run(o, o.finger, [](const JourneyContext &c, JourneyOptions &p) {
                return enrollJourney(c, p.finger, p.captures);
            });
        });
    addCommandWith<JourneyOptions>(
        app, "verify", "Check the finger on the sensor against one enrolled finger",
        [](CLI::App &sub, JourneyOptions &o) {
            fingerArgument(sub, o);
            common(sub, o, true);
        },
        [](JourneyOptions &o) {
            return run(o, 1, [](const JourneyContext &c, JourneyOptions &p) { return verifyJourney(c, p.finger); });
        });
    addCommandWith<JourneyOptions>(
        app, "identify", "Find the finger on the sensor among all enrolled fingers",
        [](CLI::App &sub, JourneyOptions &o) { common(sub, o, true); },
        [](JourneyOptions &o) {
            return run(o, 1, [](const JourneyContext &c, JourneyOptions &) { return identifyJourney(c); });
        });
    addCommandWith<JourneyOptions>(
        app, "delete", "Delete an enrolled finger, or all of them",
        [](CLI::App &sub, JourneyOptions &o) {
            sub.add_option("FINGER", o.fingerOrAll, "Finger index 0 to 254, or all")
                ->required()
                ->check(CLI::IsMember({"all"}) | CLI::Range(0, 254));
            common(sub, o, false);
        },
        [](JourneyOptions &o) {
            return run(o, 1, [](const JourneyContext &c, JourneyOptions &p) {
                return deleteJourney(c, p.fingerOrAll == "all" ? kAllFingers : std::stoi(p.fingerOrAll));
            });
        });
    addCommandWith<JourneyOptions>(
        app, "issue", "Issue the card", [](CLI::App &sub, JourneyOptions &o) { common(sub, o, false); },
        [](JourneyOptions &o) {
            return run(o, 1, [](const JourneyContext &c, JourneyOptions &) { return issueJourney(c); });
        });
}

}  // namespace fpm::cli
