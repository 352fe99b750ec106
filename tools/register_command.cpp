// fpmodule reg read|write: one sensor register of the module. A write is read back, so
// that the station sees what the register holds now.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "exports/tool_interface.h"
#include "fpmodule.h"
#include "sim/virtual_host.h"
#include "tools/cli_commands.h"

namespace fpm::cli {

namespace {

struct RegisterArguments {
    std::string address;
    std::string value;
    unsigned group = 0;
    bool asDefault = false;
    CLI::App *read = nullptr;
    CLI::App *write = nullptr;
} args;

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
    return 1;
}

int reg()
{
    unsigned char address = 0, value = 0;
    const unsigned char group = static_cast<unsigned char>(args.group);
    if (!parseByte(args.address, address)) {
        std::fprintf(stderr, "fpmodule: the register address must be a byte (0 to 255 or 0x00 to 0xFF)\n");
        return 2;
    }
    if (args.write->parsed() && !parseByte(args.value, value)) {
        std::fprintf(stderr, "fpmodule: the register value must be a byte (0 to 255 or 0x00 to 0xFF)\n");
        return 2;
    }

    // The group-taking forms work on the library's connection: make the virtual module it.
    auto &host = sim::VirtualHost::instance();
    host.addModule();
    tool::useHandle(host.open(sim::kModulePath));

    if (args.write->parsed()) {
        FPM_RESULT r = args.asDefault ? WriteRegisterAsDefault(group, address, value)
                                      : WriteRegisterEx(group, address, value);
        if (r != 1) return fail("the register write", r);
    }
    unsigned char now = 0;
    FPM_RESULT r = ReadRegisterEx(group, address, &now);
    if (r != 1) return fail("the register read", r);
    std::printf("group %u register 0x%02X = 0x%02X (%u)%s\n", group, address, now, now,
                args.write->parsed() && args.asDefault ? ", now its default" : "");
    return 0;
}

}  // namespace

void addRegisterCommand(CLI::App &app)
{
    addCommand(
        app, "reg", "Read or write one sensor register",
        [](CLI::App &sub) {
            sub.require_subcommand(1);
            args.read = sub.add_subcommand("read", "Read a register");
            args.read->add_option("address", args.address, "Register address, 0x00 to 0xFF")->required();
            args.write = sub.add_subcommand("write", "Write a register and read it back");
            args.write->add_option("address", args.address, "Register address, 0x00 to 0xFF")->required();
            args.write->add_option("value", args.value, "Value, 0x00 to 0xFF")->required();
            args.write->add_flag("--default", args.asDefault, "Also make the value the register's default");
            for (CLI::App *op : {args.read, args.write})
                op->add_option("--group", args.group, "Register group")->check(CLI::Range(0, 255));
        },
        reg);
}

}  // namespace fpm::cli
