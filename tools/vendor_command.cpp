// fpmodule vendor: the module's vendor codes and product-information block, and the
// secure handshake with a short code, as a station checks a module before issuing it.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "connection/connection_state.h"
#include "fpmodule.h"
#include "sim/virtual_host.h"
#include "tools/cli_commands.h"

namespace fpm::cli {

namespace {

struct VendorArguments {
    std::string confirm;
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

int vendor()
{
    unsigned long code = 0;
    if (!args.confirm.empty()) {
        std::size_t used = 0;
        try {
            code = std::stoul(args.confirm, &used, 0);
        } catch (const std::exception &) {
            used = 0;
        }
        if (used == 0 || used != args.confirm.size() || code > 0xFFFF) {
            std::fprintf(stderr, "fpmodule: the vendor code must be 16 bits (0 to 65535 or 0x0000 to 0xFFFF)\n");
            return 2;
        }
    }

    auto &host = sim::VirtualHost::instance();
    host.addModule();
    state().deviceHandle.store(host.open(sim::kModulePath));

    std::uint16_t shortCode = 0;
    unsigned char longCode[8] = {};
    unsigned char info[62] = {};
    FPM_RESULT r = VendorCodeOperation(0x00, &shortCode, 0);
    if (r != 1) return std::fprintf(stderr, "fpmodule: reading the short vendor code failed (result %d)\n", r), 1;
    std::printf("%-20s0x%04X\n", "short vendor code", shortCode);
    r = VendorCodeOperationEx(0x80, longCode);
    if (r != 1) return std::fprintf(stderr, "fpmodule: reading the long vendor code failed (result %d)\n", r), 1;
    printBytes("long vendor code", longCode, sizeof longCode);
    r = ProductInfoOperation(0, sizeof info, info);
    if (r != 1) return std::fprintf(stderr, "fpmodule: reading the product information failed (result %d)\n", r), 1;
    printBytes("product information", info, sizeof info);

    if (args.confirm.empty()) return 0;
    const bool accepted = ConfirmSecureVendorCode(static_cast<std::uint16_t>(code)) == 1;
    std::printf("secure handshake with 0x%04lX: %s\n", code, accepted ? "accepted" : "refused");
    return accepted ? 0 : 1;
}

}  // namespace

void addVendorCommand(CLI::App &app)
{
    addCommand(
        app, "vendor", "Show the vendor codes and product information; prove a vendor code",
        [](CLI::App &sub) {
            sub.add_option("--confirm", args.confirm, "Run the secure handshake with this short vendor code");
        },
        vendor);
}

}  // namespace fpm::cli
