#include "tools/module_choice.h"

#include "sim/virtual_host.h"

namespace fpm::cli {

void addModuleOption(CLI::App &command, ModuleChoice &choice)
{
    command.add_flag("--real", choice.real, "Use the host's own devices instead of the virtual module");
}

void prepareModules(const ModuleChoice &choice)
{
    auto &host = sim::VirtualHost::instance();
    if (choice.real) {
        host.useHostDevices(true);
        return;
    }
    host.addDecoy();
    host.addModule();
}

std::string narrow(const std::u16string &text)
{
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace fpm::cli
