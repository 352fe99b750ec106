// fpmodule list: the interface paths of every module the host shows.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli_commands.h"
#include "tools/json.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

struct ListOptions {
    ModuleChoice module;
    bool json = false;
};

int list(ListOptions &o)
{
    prepareModules(o.module);
    const auto found = listModules();
    if (!found) {
        std::fprintf(stderr, "%s\n", deviceListAdvice());
        return kExitFailed;
    }
    const std::vector<std::string> &modules = *found;
    if (o.json) {
        std::vector<std::string> quoted;
        for (const auto &m : modules) quoted.push_back(jsonString(m));
        std::printf("%s\n", JsonObject().add("virtual", !o.module.real).add("modules", jsonArray(quoted)).str().c_str());
    } else {
        for (const auto &m : modules) std::printf("%s\n", m.c_str());
    }
    if (modules.empty()) {
        std::fprintf(stderr, "fpmodule: no module found\n");
        return kExitFailed;
    }
    return kExitOk;
}

void options(CLI::App &command, ListOptions &o)
{
    addModuleOption(command, o.module);
    command.add_flag("--json", o.json, "Print the paths as JSON");
}

}  // namespace

void addListCommand(CLI::App &app)
{
    addCommandWith<ListOptions>(app, "list", "Show the device paths of the modules present", options, list);
}

}  // namespace fpm::cli
