// fpmodule doctor: the host's view of the module, each finding with the step that fixes
// it; exit status 0 when nothing is wrong.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "exports/tool_interface.h"
#include "fpmodule.h"
#include "tools/cli_commands.h"
#include "tools/doctor_checks.h"
#include "tools/json.h"
#include "tools/module_choice.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fpm::cli {

namespace {

struct DoctorOptions {
    ModuleChoice module;
    bool json = false;
};

Finding libraryFinding(const ModuleChoice &choice)
{
#ifdef _WIN32
    const char *platform = "Windows";
#else
    const char *platform = "Linux";
#endif
    char text[160];
    std::snprintf(text, sizeof text, "fpmodule %d.%d.%d, %d-bit %s build, %s", FPM_VERSION_MAJOR, FPM_VERSION_MINOR,
                  FPM_VERSION_PATCH, static_cast<int>(sizeof(void *) * 8), platform,
                  choice.real ? "the host's devices" : "the virtual module");
    return {"library", true, text};
}

#ifdef _WIN32
// The DLL an application beside this tool would load: its path and file version.
Finding windowsLibraryFinding()
{
    wchar_t path[MAX_PATH];
    if (SearchPathW(nullptr, L"fpmodule.dll", nullptr, MAX_PATH, path, nullptr) == 0) {
        return {"library file", true, "no fpmodule.dll on the search path (this tool carries the library itself)"};
    }
    std::string shown;
    for (const wchar_t *c = path; *c; ++c) shown += *c < 0x80 ? static_cast<char>(*c) : '?';
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    std::string version = "no version resource";
    std::string data(size, '\0');
    VS_FIXEDFILEINFO *info = nullptr;
    UINT length = 0;
    if (size && GetFileVersionInfoW(path, 0, size, data.data()) &&
        VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&info), &length) && info) {
        version = "version " + std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(info->dwFileVersionMS)) + "." + std::to_string(HIWORD(info->dwFileVersionLS));
    }
    return {"library file", true, shown + ", " + version};
}
#endif

Finding logFinding()
{
    const std::filesystem::path folder = toolLogFolder();
    if (folder.empty()) return {"log folder", false, "cannot be prepared", "set FPMODULE_LOG_DIR to a writable folder"};
    const std::filesystem::path probe = folder / ".fpmodule-doctor-probe";
    const bool writable = static_cast<bool>(std::ofstream(probe) << "probe\n");
    std::error_code ignored;
    std::filesystem::remove(probe, ignored);
    if (!writable) {
        return {"log folder", false, folder.string() + " is not writable",
                "make it writable for this user, or set FPMODULE_LOG_DIR to a writable folder"};
    }
    return {"log folder", true, folder.string() + ", writable"};
}

Finding presenceFinding()
{
    const auto modules = listModules();
    if (!modules) {
        return {"device interface", false, "the host's device list is unavailable",
#ifdef _WIN32
                "check the USB mass-storage driver in the Device Manager"
#else
                "sudo modprobe sg"
#endif
        };
    }
    if (modules->empty()) return {"device interface", false, "no module found", "plug the module in"};
    if (modules->size() > 1) {
        return {"device interface", false, std::to_string(modules->size()) + " modules found", "leave only one plugged in"};
    }
    return {"device interface", true, modules->front()};
}

// The module's node name within its interface path ("...#sg1#..."), for the fix.
std::string nodeOf(const std::string &path)
{
    const std::size_t start = path.find("#sg");
    if (start == std::string::npos) return "sgN";
    return path.substr(start + 1, path.find('#', start + 1) - start - 1);
}

// Connects without the family test, so that a module of another family is still named.
void moduleFindings(Findings &findings)
{
    if (CheckDeviceConnectionNoFwCheck() != 1) {
        const FPM_HANDLE left = tool::connectedHandle();
        const bool opened = left && left != FPM_INVALID_HANDLE;
        if (opened) findings.push_back(transferLimitFinding(tool::imageByteCount(), tool::transferLimit(), nodeOf(connectedPath())));
        DeviceDisConnection();
        findings.push_back({"module", false,
                            opened ? "opened, but its sensor baseline could not be read" : "could not be connected",
                            "mend the findings above, then run fpmodule doctor again"});
        return;
    }
    findings.push_back(transferLimitFinding(tool::imageByteCount(), tool::transferLimit(), nodeOf(connectedPath())));
    unsigned char version[128] = {};
    if (GetFirmwareVersion(0, sizeof version, version) != 1) {
        DeviceDisConnection();
        findings.push_back({"module", false, "did not give its firmware version", "re-plug the module"});
        return;
    }
    const std::string firmware = printable(version, sizeof version);
    const std::string family = printable(version + 9, 2);
    DeviceDisConnection();
    // The same connect with the build's family test tells whether stations accept it.
    const bool accepted = CheckDeviceConnection() == 1;
    DeviceDisConnection();
    if (accepted) {
        findings.push_back({"module", true, "firmware \"" + firmware + "\", family " + family});
    } else {
        findings.push_back({"module", false, "firmware \"" + firmware + "\": family " + family + " is not accepted by this build",
                            "use a module of an accepted family, or a build whose FPM_FIRMWARE_FAMILIES lists " + family});
    }
}

void print(const Findings &findings, bool json)
{
    if (json) {
        std::vector<std::string> items;
        bool ok = true;
        for (const Finding &f : findings) {
            ok = ok && f.ok;
            JsonObject item;
            item.addText("check", f.check).add("ok", f.ok).addText("detail", f.detail);
            if (!f.fix.empty()) item.addText("fix", f.fix);
            items.push_back(item.str());
        }
        std::printf("%s\n", JsonObject().add("ok", ok).add("findings", jsonArray(items)).str().c_str());
        return;
    }
    for (const Finding &f : findings) {
        std::printf("%-4s  %-16s  %s\n", f.ok ? "ok" : "FAIL", f.check.c_str(), f.detail.c_str());
        if (!f.fix.empty()) std::printf("      %-16s  fix: %s\n", "", f.fix.c_str());
    }
}

int doctor(DoctorOptions &o)
{
    prepareModules(o.module);
    Findings findings{libraryFinding(o.module)};
#ifdef _WIN32
    findings.push_back(windowsLibraryFinding());
#else
    if (o.module.real) {
        for (Finding &f : linuxHostFindings({})) findings.push_back(std::move(f));
    }
#endif
    // Without the driver there is no device list to look at.
    const bool noDriver =
        std::any_of(findings.begin(), findings.end(), [](const Finding &f) { return f.check == "sg driver" && !f.ok; });
    findings.push_back(logFinding());
    if (!noDriver) {
        const Finding presence = presenceFinding();
        findings.push_back(presence);
        if (presence.ok) moduleFindings(findings);
    }
    print(findings, o.json);
    for (const Finding &f : findings)
        if (!f.ok) return kExitFailed;
    return kExitOk;
}

void options(CLI::App &sub, DoctorOptions &o)
{
    addModuleOption(sub, o.module);
    sub.add_flag("--json", o.json, "Print the findings as JSON");
}

}  // namespace

void addDoctorCommand(CLI::App &app)
{
    addCommandWith<DoctorOptions>(app, "doctor", "Check the host, the module and the log; say what fixes each problem",
                                  options, doctor);
}

}  // namespace fpm::cli
