// fpmodule selftest: a factory station's run of the module's hardware checks in test
// mode, with a pass/fail table. `--fault` makes the virtual module fail one check, to
// show what a failing module looks like.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/json.h"
#include "tools/module_choice.h"
#include "tools/virtual_setup.h"

namespace fpm::cli {

namespace {

struct SelftestOptions {
    ModuleChoice module;
    std::string fault;
    bool json = false;
};

struct Step {
    const char *name;
    std::function<FPM_RESULT(std::string &)> run;  // writes its detail text
    FPM_RESULT passed;                             // the result that means "passed"
    bool needsTestMode;
};

struct Outcome {
    const Step *step;
    bool ran;
    FPM_RESULT result;
    bool pass;
    std::string detail;
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
        {"test mode in", [](std::string &) { return EnterTestMode(); }, 1, false},
        {"IC type",
         [](std::string &detail) {
             uint16_t first = 0, second = 0;
             unsigned char third = 0;
             FPM_RESULT r = GetICtype(&first, &second, &third);
             if (r == 5) detail = hex(first, 4) + " " + hex(second, 4) + " " + std::to_string(third);
             return r;
         },
         5, true},
        {"sensor I/O check",
         [](std::string &detail) {
             unsigned char d = 0;
             FPM_RESULT r = SensorIOCheck(&d);
             if (r == 1 || r == 6) detail = "detail " + hex(d, 2);
             return r;
         },
         1, true},
        {"module I/O check",
         [](std::string &detail) {
             unsigned char d = 0;
             FPM_RESULT r = ModuleIOCheck(&d);
             if (r == 1 || r == 6) detail = "detail " + hex(d, 2);
             return r;
         },
         1, true},
        {"ACF bonding check", [](std::string &) { return AcfBondingIoCheck(); }, 1, true},
        {"test mode out", [](std::string &) { return ExitTestMode(); }, 1, false},
    };
    return list;
}

std::vector<Outcome> runSteps()
{
    std::vector<Outcome> outcomes;
    bool inTestMode = false;
    for (const Step &step : steps()) {
        if (step.needsTestMode && !inTestMode) {
            outcomes.push_back({&step, false, 0, false, "not in test mode"});
            continue;
        }
        Outcome o{&step, true, 0, false, {}};
        o.result = step.run(o.detail);
        o.pass = o.result == step.passed;
        if (&step == &steps().front()) inTestMode = o.pass;
        outcomes.push_back(o);
    }
    return outcomes;
}

void printTable(const std::vector<Outcome> &outcomes, bool passed)
{
    std::printf("%-20s %-6s %-7s %s\n", "step", "result", "verdict", "detail");
    for (const Outcome &o : outcomes) {
        if (!o.ran)
            std::printf("%-20s %-6s %-7s %s\n", o.step->name, "-", "skipped", o.detail.c_str());
        else
            std::printf("%-20s %-6d %-7s %s\n", o.step->name, o.result, o.pass ? "pass" : "FAIL", o.detail.c_str());
    }
    std::printf("selftest %s\n", passed ? "passed" : "FAILED");
}

void printJson(const std::vector<Outcome> &outcomes, bool passed, bool onVirtual)
{
    std::vector<std::string> rows;
    for (const Outcome &o : outcomes) {
        JsonObject row;
        row.addText("step", o.step->name).addText("verdict", !o.ran ? "skipped" : o.pass ? "pass" : "fail");
        if (o.ran) row.add("result", static_cast<long long>(o.result));
        rows.push_back(row.addText("detail", o.detail).str());
    }
    std::printf("%s\n", JsonObject().add("virtual", onVirtual).add("passed", passed).add("steps", jsonArray(rows)).str().c_str());
}

int selftest(SelftestOptions &o)
{
    if (o.module.real && !o.fault.empty()) {
        std::fprintf(stderr, "fpmodule: --fault works on the virtual module only\n");
        return kExitUsage;
    }
    prepareModules(o.module);
    // Test stations check modules of any firmware family.
    if (!connectModule(o.module, FirmwareCheck::None)) return kExitFailed;
    // After connecting: the connect itself goes through test mode.
    if (!o.fault.empty()) injectVirtualFault(o.fault);
    const std::vector<Outcome> outcomes = runSteps();
    DeviceDisConnection();
    bool passed = true;
    for (const Outcome &out : outcomes) passed = passed && out.ran && out.pass;
    if (o.json)
        printJson(outcomes, passed, !o.module.real);
    else
        printTable(outcomes, passed);
    return passed ? kExitOk : kExitFailed;
}

void options(CLI::App &sub, SelftestOptions &o)
{
    addModuleOption(sub, o.module);
    sub.add_flag("--json", o.json, "Print the steps as JSON");
    sub.add_option("--fault", o.fault, "Let the virtual module fail one check")
        ->check(CLI::IsMember({"sensor", "module", "acf", "testmode"}));
}

}  // namespace

void addSelftestCommand(CLI::App &app)
{
    addCommandWith<SelftestOptions>(app, "selftest",
                                    "Run the module's hardware checks in test mode and show a pass/fail table", options,
                                    selftest);
}

}  // namespace fpm::cli
