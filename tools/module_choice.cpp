#include "tools/module_choice.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "exports/tool_interface.h"
#include "fpmodule.h"
#include "sim/virtual_host.h"

namespace fpm::cli {

namespace {

// What the enumeration shows for the module's own tags.
enum class Presence { ListUnavailable, None, One, Several };

Presence modulesPresent()
{
    const auto modules = listModules();
    if (!modules) return Presence::ListUnavailable;
    if (modules->empty()) return Presence::None;
    return modules->size() == 1 ? Presence::One : Presence::Several;
}

// One line that says why a connect failed.
void explainConnectFailure(const ModuleChoice &choice, FirmwareCheck check)
{
    // A failed connect leaves the handle null (no single module), invalid (not opened or
    // rejected) or open (the baseline read failed).
    const FPM_HANDLE left = tool::connectedHandle();
    const std::uint32_t limit = tool::transferLimit();  // read while the handle is open
    const std::int64_t imageBytes = tool::imageByteCount();
    DeviceDisConnection();
    const char *permissions = choice.real ? " (on Linux: permissions on its /dev/sg node, see docs/linux.md)" : "";
    switch (modulesPresent()) {
    case Presence::ListUnavailable:
        std::fprintf(stderr, "%s\n", deviceListAdvice());
        break;
    case Presence::None:
        std::fprintf(stderr, "fpmodule: no module found%s\n",
                     choice.real ? " (is it plugged in? `fpmodule list --real` shows what the host sees)" : "");
        break;
    case Presence::Several:
        std::fprintf(stderr, "fpmodule: more than one module is plugged in; leave only one\n");
        break;
    case Presence::One:
        if (left && left != FPM_INVALID_HANDLE)
        {
            std::fprintf(stderr, "fpmodule: the module was opened but its sensor baseline could not be read\n");
            if (limit != 0 && imageBytes > limit)
                std::fprintf(stderr,
                             "fpmodule: its image of %lld bytes is over the host's transfer limit of %u bytes per "
                             "request; raise it with echo 1024 | sudo tee /sys/class/scsi_generic/sgN/device/max_sectors "
                             "or the udev rule (see docs/linux.md)\n",
                             static_cast<long long>(imageBytes), limit);
        }
        else if (check == FirmwareCheck::None)
            std::fprintf(stderr, "fpmodule: the module could not be opened%s\n", permissions);
        else
            std::fprintf(stderr, "fpmodule: the module could not be opened%s, or its firmware family is not "
                                 "one this build accepts\n", permissions);
        break;
    }
}

}  // namespace

std::optional<std::vector<std::string>> listModules()
{
    // Interfaces examined, modules or not.
    constexpr int32_t kMaxInterfaces = 64;
    std::vector<std::u16string> buffers(kMaxInterfaces, std::u16string(256, u'\0'));
    std::vector<FPM_WCHAR *> paths;
    for (auto &b : buffers) paths.push_back(reinterpret_cast<FPM_WCHAR *>(b.data()));
    const std::u16string vendor = u"wexa", product = u"finger_module";  // the library adds ven_ and prod_
    int32_t found = 0;
    const FPM_RESULT r = ExtractDevicePath(reinterpret_cast<const FPM_WCHAR *>(vendor.c_str()),
                                           reinterpret_cast<const FPM_WCHAR *>(product.c_str()), paths.data(),
                                           kMaxInterfaces, &found);
    if (r == 0) return std::nullopt;
    std::vector<std::string> modules;
    for (int32_t i = 0; r == 1 && i < found && i < kMaxInterfaces; ++i) modules.push_back(narrow(buffers[i]));
    return modules;
}

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
    host.useHostDevices(false);
    host.reset();
    host.addDecoy();
    host.addModule();
    std::fprintf(stderr, "virtual module: no real module is used (--real uses this host's devices)\n");
}

const char *deviceListAdvice()
{
#ifdef _WIN32
    return "fpmodule: the host's device list is unavailable: Windows did not list its disk interfaces "
           "(SetupAPI)";
#else
    return "fpmodule: the host's device list is unavailable: /sys/class/scsi_generic is missing or unreadable. "
           "Load the sg driver (sudo modprobe sg); for access without root install the udev rule "
           "packaging/udev/70-fpmodule.rules (see docs/linux.md)";
#endif
}

bool connectModule(const ModuleChoice &choice, FirmwareCheck check)
{
    const FPM_RESULT r = check == FirmwareCheck::Families ? CheckDeviceConnection() : CheckDeviceConnectionNoFwCheck();
    if (r == 1) return true;
    explainConnectFailure(choice, check);
    return false;
}

std::filesystem::path toolLogFolder() { return tool::logFolder(); }

std::string connectedPath() { return narrow(tool::connectedPath()); }

std::size_t defectPixelCount() { return tool::defectPixelCount(); }

bool proceduresRunning() { return tool::proceduresRunning(); }

void waitForProcedures()
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(10);
    while (tool::proceduresRunning() && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
}

std::string narrow(const std::u16string &text)
{
    std::string out;
    for (char16_t c : text) {
        if (c == 0) break;
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace fpm::cli
