// fpmodule demo: the whole story on the virtual module, in a few seconds: find and
// connect, enrol a finger, identify it and an unknown finger, give up on an enrolment,
// delete, issue the card.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/journeys.h"
#include "tools/virtual_setup.h"

namespace fpm::cli {

namespace {

struct DemoOptions {
    std::string imageDir = (std::filesystem::temp_directory_path() / "fpmodule-demo").string();
};

constexpr int kFinger = 1;
constexpr int kCaptures = 3;
// How long the cancelled enrolment waits for a finger that does not come.
constexpr int kCancelAfterMs = 600;

int g_scene = 0;

void scene(const char *title) { std::printf("\n%d. %s\n", ++g_scene, title); }

// Prints whether a step came out as the story expects.
bool expect(bool asExpected, const char *what)
{
    if (!asExpected) std::printf("   unexpected: %s\n", what);
    return asExpected;
}

bool showModule(const ModuleChoice &module)
{
    const auto modules = listModules();
    if (!modules || modules->size() != 1) return false;
    std::printf("   found     %s\n", modules->front().c_str());
    if (!connectModule(module)) return false;
    unsigned char version[128] = {};
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    const bool ok = GetFirmwareVersion(0, 128, version) == 1 && QuerySizeEx(&width, &height, &bytesPerPixel) == 1;
    if (ok) {
        std::printf("   firmware  %s\n", printable(version, sizeof version).c_str());
        std::printf("   sensor    %d x %d pixels, %d bit\n", width, height, 8 * bytesPerPixel);
    }
    DeviceDisConnection();
    return ok;
}

int demo(DemoOptions &o)
{
    g_scene = 0;
    const ModuleChoice module{false};
    prepareModules(module);
    // The story's module: nothing enrolled yet, finger 1 on the sensor.
    setVirtualFingers({}, kFinger);
    Progress progress;
    // Each scene writes its own images; the folder may hold those of an earlier run.
    const JourneyContext context{module, o.imageDir, &progress};
    int matched = 0;
    bool ok = true;

    scene("Find the module among the host's disks and connect");
    ok &= expect(showModule(module), "the virtual module did not connect");

    scene("Enrol finger 1 with the background procedure");
    ok &= expect(enrollJourney(context, kFinger, kCaptures) == kExitOk, "the enrolment did not complete");

    scene("Identify the finger on the sensor");
    ok &= expect(identifyJourney(context, &matched) == kExitOk && matched == kFinger, "finger 1 was not identified");

    scene("Identify a finger the module has never seen");
    placeVirtualFinger(kUnknownFinger);
    ok &= expect(identifyJourney(context) == kExitFailed, "an unknown finger matched");

    scene("Start enrolling finger 2, then cancel when no finger comes");
    placeVirtualFinger(2);
    CancelPlan cancel{2, kCancelAfterMs, [] { setVirtualFingerPresent(false); }};
    ok &= expect(enrollJourney(context, 2, kCaptures, cancel) == kExitFailed, "the enrolment was not cancelled");
    setVirtualFingerPresent(true);

    scene("Delete finger 1");
    ok &= expect(deleteJourney(context, kFinger) == kExitOk, "the deletion failed");

    scene("Issue the card");
    ok &= expect(issueJourney(context) == kExitOk, "the card was not issued");

    std::printf("\nimages of the enrolment and the identifications: %s\n", o.imageDir.c_str());
    std::printf("demo %s\n", ok ? "finished" : "FAILED");
    return ok ? kExitOk : kExitFailed;
}

void options(CLI::App &sub, DemoOptions &o)
{
    sub.add_option("--images", o.imageDir, "Folder for the demo's images")->capture_default_str();
}

}  // namespace

void addDemoCommand(CLI::App &app)
{
    addCommandWith<DemoOptions>(app, "demo", "Run the whole story on the virtual module in a few seconds", options,
                                demo);
}

}  // namespace fpm::cli
