// fpmodule list: the interface paths of every module the host shows.
#include <cstdio>
#include <string>
#include <vector>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

ModuleChoice g_choice;

// Interfaces examined, modules or not.
constexpr int32_t kMaxInterfaces = 64;
constexpr std::size_t kPathLength = 256;

int list()
{
    prepareModules(g_choice);
    std::vector<std::u16string> buffers(kMaxInterfaces, std::u16string(kPathLength, u'\0'));
    std::vector<FPM_WCHAR *> paths;
    for (auto &b : buffers) paths.push_back(reinterpret_cast<FPM_WCHAR *>(b.data()));
    int32_t found = 0;
    const std::u16string vendor = u"wexa", product = u"finger_module";
    FPM_RESULT result = ExtractDevicePath(reinterpret_cast<const FPM_WCHAR *>(vendor.c_str()),
                                          reinterpret_cast<const FPM_WCHAR *>(product.c_str()), paths.data(),
                                          kMaxInterfaces, &found);
    if (result == 0) {
        std::fprintf(stderr, "fpmodule: the host's device list is unavailable\n");
        return 1;
    }
    if (result != 1) {
        std::fprintf(stderr, "fpmodule: no module found\n");
        return 1;
    }
    for (int32_t i = 0; i < found; ++i) std::printf("%s\n", narrow(buffers[i].c_str()).c_str());
    return 0;
}

}  // namespace

void addListCommand(CLI::App &app)
{
    addCommand(app, "list", "Show the device paths of the modules present",
               [](CLI::App &command) { addModuleOption(command, g_choice); }, list);
}

}  // namespace fpm::cli
