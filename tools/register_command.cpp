// fpmodule reg read|write: one sensor register of the module. A write is read back, so
// that the station sees what the register holds now.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

struct RegisterOptions {
    ModuleChoice module;
    std::string address;
    std::string value;
    unsigned group = 0;
    bool asDefault = false;
    CLI::App *write = nullptr;
};

// A byte given as decimal, 0x hex or 0 octal.
bool parseByte(const std::string &text, unsigned char &byte)
{
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 0);
        if (used != text.size() || value > 0xFF) return false;
        byte = static_cast<unsigned char>(value);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

int fail(const char *what, FPM_RESULT result)
{
    std::fprintf(stderr, "fpmodule: %s failed (result %d)\n", what, result);
    DeviceDisConnection();
    return kExitFailed;
}

int reg(RegisterOptions &o)
{
    unsigned char address = 0, value = 0;
    const auto group = static_cast<unsigned char>(o.group);
    const bool writing = o.write->parsed();
    if (!parseByte(o.address, address)) {
        std::fprintf(stderr, "fpmodule: the register address must be a byte (0 to 255 or 0x00 to 0xFF)\n");
        return kExitUsage;
    }
    if (writing && !parseByte(o.value, value)) {
        std::fprintf(stderr, "fpmodule: the register value must be a byte (0 to 255 or 0x00 to 0xFF)\n");
        return kExitUsage;
    }
    prepareModules(o.module);
    // Tuning stations work on modules of any firmware family.
    if (!connectModule(o.module, FirmwareCheck::None)) return kExitFailed;
    if (writing) {
        const FPM_RESULT r = o.asDefault ? WriteRegisterAsDefault(group, address, value)
                                         : WriteRegisterEx(group, address, value);
        if (r != 1) return fail("the register write", r);
    }
    unsigned char now = 0;
    const FPM_RESULT r = ReadRegisterEx(group, address, &now);
    if (r != 1) return fail("the register read", r);
    std::printf("group %u register 0x%02X = 0x%02X (%u)%s\n", group, address, now, now,
                writing && o.asDefault ? ", now its default" : "");
    DeviceDisConnection();
    return kExitOk;
}

void options(CLI::App &sub, RegisterOptions &o)
{
    sub.require_subcommand(1);
    addModuleOption(sub, o.module);
    CLI::App *read = sub.add_subcommand("read", "Read a register");
    read->add_option("address", o.address, "Register address, 0x00 to 0xFF")->required();
    o.write = sub.add_subcommand("write", "Write a register and read it back");
    o.write->add_option("address", o.address, "Register address, 0x00 to 0xFF")->required();
    o.write->add_option("value", o.value, "Value, 0x00 to 0xFF")->required();
    o.write->add_flag("--default", o.asDefault, "Also make the value the register's default");
    for (CLI::App *op : {read, o.write}) {
        op->add_option("--group", o.group, "Register group")->check(CLI::Range(0, 255));
        addModuleOption(*op, o.module);
    }
}

}  // namespace

void addRegisterCommand(CLI::App &app)
{
    addCommandWith<RegisterOptions>(app, "reg", "Read or write one sensor register", options, reg);
}

}  // namespace fpm::cli
