// fpmodule vendor: the module's vendor codes and product-information block, and the
// secure handshake with a short code, as a station checks a module before issuing it.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

struct VendorArguments {
    std::string confirm;
    ModuleChoice choice;
} args;

void printBytes(const char *label, const unsigned char *bytes, std::size_t size)
{
    std::printf("%-20s", label);
    for (std::size_t i = 0; i < size; ++i) {
        if (i && i % 16 == 0) std::printf("\n%-20s", "");
        std::printf(" %02X", bytes[i]);
    }
    std::printf("\n");
}

bool parseCode(const std::string &text, std::uint16_t &code)
{
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 0);
        if (used != text.size() || value > 0xFFFF) return false;
        code = static_cast<std::uint16_t>(value);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

int failed(const char *what, int result)
{
    std::fprintf(stderr, "fpmodule: %s failed (result %d)\n", what, result);
    DeviceDisConnection();
    return 1;
}

int vendor()
{
    std::uint16_t code = 0;
    if (!args.confirm.empty() && !parseCode(args.confirm, code)) {
        std::fprintf(stderr, "fpmodule: the vendor code must be 16 bits (0 to 65535 or 0x0000 to 0xFFFF)\n");
        return 2;
    }
    prepareModules(args.choice);
    if (CheckDeviceConnection() != 1) return failed("connecting to the module", 2);

    std::uint16_t shortCode = 0;
    unsigned char longCode[8] = {};
    unsigned char info[62] = {};
    if (FPM_RESULT r = VendorCodeOperation(0x00, &shortCode, 0); r != 1) return failed("reading the short code", r);
    if (FPM_RESULT r = VendorCodeOperationEx(0x80, longCode); r != 1) return failed("reading the long code", r);
    if (FPM_RESULT r = ProductInfoOperation(0, sizeof info, info); r != 1)
        return failed("reading the product information", r);
    std::printf("%-20s0x%04X\n", "short vendor code", shortCode);
    printBytes("long vendor code", longCode, sizeof longCode);
    printBytes("product information", info, sizeof info);

    int status = 0;
    if (!args.confirm.empty()) {
        const bool accepted = ConfirmSecureVendorCode(code) == 1;
        std::printf("secure handshake with 0x%04X: %s\n", code, accepted ? "accepted" : "refused");
        status = accepted ? 0 : 1;
    }
    DeviceDisConnection();
    return status;
}

}  // namespace

void addVendorCommand(CLI::App &app)
{
    addCommand(
        app, "vendor", "Show the vendor codes and product information; prove a vendor code",
        [](CLI::App &sub) {
            sub.add_option("--confirm", args.confirm, "Run the secure handshake with this short vendor code");
            addModuleOption(sub, args.choice);
        },
        vendor);
}

}  // namespace fpm::cli
