// fpmodule selftest: a factory station's run of the module's hardware checks in test
// mode, with a pass/fail table. `--fault` makes the virtual module fail one check, to
// show what a failing module looks like.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fpmodule.h"
#include "sim/factory_model.h"
#include "sim/virtual_host.h"
#include "tools/cli_commands.h"

namespace fpm::cli {

namespace {

std::string fault;

struct Step {
    const char *name;
    std::function<FPM_RESULT(FPM_HANDLE, std::string &)> run;  // writes its detail text
    FPM_RESULT passed;                                       // the result that means "passed"
    bool needsTestMode;
};

std::string hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

const std::vector<Step> &steps()
{
    static const std::vector<Step> list = {
        {"test mode in", [](FPM_HANDLE h, std::string &) { return EnterTestModeWithHandle(h); }, 1, false},
        {"IC type",
         [](FPM_HANDLE h, std::string &detail) {
             uint16_t first = 0, second = 0;
             unsigned char third = 0;
             FPM_RESULT r = GetICtypeWithHandle(h, &first, &second, &third);
             if (r == 5) detail = hex(first, 4) + " " + hex(second, 4) + " " + std::to_string(third);
             return r;
         },
         5, true},
        {"sensor I/O check",
         [](FPM_HANDLE h, std::string &detail) {
             unsigned char d = 0;
             FPM_RESULT r = SensorIOCheckWithHandle(h, &d);
             if (r == 1 || r == 6) detail = "detail " + hex(d, 2);
             return r;
         },
         1, true},
        {"module I/O check",
         [](FPM_HANDLE h, std::string &detail) {
             unsigned char d = 0;
             FPM_RESULT r = ModuleIOCheckWithHandle(h, &d);
             if (r == 1 || r == 6) detail = "detail " + hex(d, 2);
             return r;
         },
         1, true},
        {"ACF bonding check", [](FPM_HANDLE h, std::string &) { return AcfBondingIoCheckWithHandle(h); }, 1, true},
        {"test mode out", [](FPM_HANDLE h, std::string &) { return ExitTestModeWithHandle(h); }, 1, false},
    };
    return list;
}

// Makes the virtual module fail the named check.
void injectFault(sim::VirtualModule &module)
{
    auto &f = module.part<sim::FactoryState>();
    if (fault == "sensor") f.sensorIoDetail = 0x0A;
    if (fault == "module") f.moduleIoDetail = 0x21;
    if (fault == "acf") {
        module.script(0x54, sim::ScriptedReply::ok());               // started
        module.script(0x54, sim::ScriptedReply::withStatus(2));      // and failed
    }
    if (fault == "testmode") module.script(0x4D, sim::ScriptedReply::withStatus(2));
}

int selftest()
{
    auto &host = sim::VirtualHost::instance();
    injectFault(host.addModule());
    FPM_HANDLE module = host.open(sim::kModulePath);

    bool inTestMode = false;
    int failures = 0;
    std::printf("%-20s %-6s %-7s %s\n", "step", "result", "verdict", "detail");
    for (const Step &step : steps()) {
        if (step.needsTestMode && !inTestMode) {
            std::printf("%-20s %-6s %-7s %s\n", step.name, "-", "skipped", "not in test mode");
            continue;
        }
        std::string detail;
        const FPM_RESULT result = step.run(module, detail);
        const bool pass = result == step.passed;
        if (&step == &steps().front()) inTestMode = pass;
        if (!pass) ++failures;
        std::printf("%-20s %-6d %-7s %s\n", step.name, result, pass ? "pass" : "FAIL", detail.c_str());
    }
    std::printf("selftest %s\n", failures == 0 ? "passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}

}  // namespace

void addSelftestCommand(CLI::App &app)
{
    addCommand(
        app, "selftest", "Run the module's hardware checks in test mode and show a pass/fail table",
        [](CLI::App &sub) {
            sub.add_option("--fault", fault, "Let the virtual module fail one check")
                ->check(CLI::IsMember({"sensor", "module", "acf", "testmode"}));
        },
        selftest);
}

}  // namespace fpm::cli
