// fpmodule vendor: the module's vendor codes and product-information block, and the
// secure handshake with a short code, as a station checks a module before issuing it.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/json.h"
#include "tools/module_choice.h"

namespace fpm::cli {

namespace {

struct VendorOptions {
    std::string confirm;
    ModuleChoice module;
    bool json = false;
};

std::string hexBytes(const unsigned char *bytes, std::size_t size, std::size_t perLine, const char *indent)
{
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < size; ++i) {
        if (i && perLine && i % perLine == 0) text += std::string("\n") + indent;
        std::snprintf(byte, sizeof byte, "%s%02X", i && !(perLine && i % perLine == 0) ? " " : "", bytes[i]);
        text += byte;
    }
    return text;
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
    return kExitFailed;
}

int vendor(VendorOptions &o)
{
    std::uint16_t code = 0;
    if (!o.confirm.empty() && !parseCode(o.confirm, code)) {
        std::fprintf(stderr, "fpmodule: the vendor code must be 16 bits (0 to 65535 or 0x0000 to 0xFFFF)\n");
        return kExitUsage;
    }
    prepareModules(o.module);
    if (!connectModule(o.module)) return kExitFailed;

    std::uint16_t shortCode = 0;
    unsigned char longCode[8] = {};
    unsigned char info[62] = {};
    if (FPM_RESULT r = VendorCodeOperation(0x00, &shortCode, 0); r != 1) return failed("reading the short code", r);
    if (FPM_RESULT r = VendorCodeOperationEx(0x80, longCode); r != 1) return failed("reading the long code", r);
    if (FPM_RESULT r = ProductInfoOperation(0, sizeof info, info); r != 1)
        return failed("reading the product information", r);
    const bool confirming = !o.confirm.empty();
    const bool accepted = confirming && ConfirmSecureVendorCode(code) == 1;
    DeviceDisConnection();

    char shortText[8];
    std::snprintf(shortText, sizeof shortText, "0x%04X", shortCode);
    if (o.json) {
        JsonObject out;
        out.add("virtual", !o.module.real)
            .addText("shortCode", shortText)
            .addText("longCode", hexBytes(longCode, sizeof longCode, 0, ""))
            .addText("productInformation", hexBytes(info, sizeof info, 0, ""));
        if (confirming) out.add("handshakeAccepted", accepted);
        std::printf("%s\n", out.str().c_str());
    } else {
        const char *indent = "                     ";
        std::printf("%-20s %s\n", "short vendor code", shortText);
        std::printf("%-20s %s\n", "long vendor code", hexBytes(longCode, sizeof longCode, 16, indent).c_str());
        std::printf("%-20s %s\n", "product information", hexBytes(info, sizeof info, 16, indent).c_str());
        if (confirming) std::printf("secure handshake with 0x%04X: %s\n", code, accepted ? "accepted" : "refused");
    }
    return !confirming || accepted ? kExitOk : kExitFailed;
}

void options(CLI::App &sub, VendorOptions &o)
{
    sub.add_option("--confirm", o.confirm, "Run the secure handshake with this short vendor code");
    sub.add_flag("--json", o.json, "Print the codes as JSON");
    addModuleOption(sub, o.module);
}

}  // namespace

void addVendorCommand(CLI::App &app)
{
    addCommandWith<VendorOptions>(app, "vendor", "Show the vendor codes and product information; prove a vendor code",
                                  options, vendor);
}

}  // namespace fpm::cli
