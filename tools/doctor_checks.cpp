#include "tools/doctor_checks.h"

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fpm::cli {

namespace {

#ifndef _WIN32
constexpr const char *kRuleFile = "70-fpmodule.rules";
constexpr const char *kInstallRule =
    "sudo cp packaging/udev/70-fpmodule.rules /etc/udev/rules.d/ && sudo udevadm control --reload && "
    "sudo udevadm trigger --subsystem-match=scsi_generic";

// Plain system calls, not streams: the fake device layer of the tests answers these.
std::string readAttribute(const std::string &path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n > 0) text.assign(buffer, static_cast<std::size_t>(n));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string lower(std::string text)
{
    for (char &c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// The sg nodes in the folder, or false when it cannot be listed.
bool listNodes(const std::string &folder, std::vector<std::string> &nodes)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "sg", 2) == 0) nodes.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return true;
}

// The module answers INQUIRY with the vendor "WEXA" and a model starting "Finger Module".
bool isModule(const std::string &device)
{
    const std::string model = lower(readAttribute(device + "/model"));
    return lower(readAttribute(device + "/vendor")) == "wexa" &&
           (model.rfind("finger module", 0) == 0 || model.rfind("finger_module", 0) == 0);
}

std::string installedRule(const std::filesystem::path &root)
{
    for (const char *folder : {"etc/udev/rules.d", "run/udev/rules.d", "lib/udev/rules.d", "usr/lib/udev/rules.d",
                               "usr/local/lib/udev/rules.d"}) {
        const std::string path = (root / folder / kRuleFile).string();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
    }
    return {};
}
#endif

}  // namespace

Finding transferLimitFinding(std::uint64_t imageBytes, std::uint32_t limit, const std::string &node)
{
    Finding f{"transfer limit"};
    if (limit == 0) {
        f.detail = "the host names no limit per request";
    } else if (imageBytes <= limit) {
        f.detail = std::to_string(limit) + " bytes per request, the sensor's image needs " + std::to_string(imageBytes);
    } else {
        f.ok = false;
        f.detail = std::to_string(limit) + " bytes per request, less than the sensor's image of " +
                   std::to_string(imageBytes) + " bytes";
        f.fix = "echo 1024 | sudo tee /sys/class/scsi_generic/" + node +
                "/device/max_sectors (until the next replug), or install packaging/udev/70-fpmodule.rules";
    }
    return f;
}

#ifdef _WIN32
Findings linuxHostFindings(const LinuxHost &) { return {}; }
int openNodeError(const std::string &) { return 0; }
#else
int openNodeError(const std::string &node)
{
    const int fd = ::open(("/dev/" + node).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

Findings linuxHostFindings(const LinuxHost &host)
{
    Findings findings;
    const std::string classFolder = (host.root / "sys/class/scsi_generic").string();
    std::vector<std::string> nodes;
    if (!listNodes(classFolder, nodes)) {
        findings.push_back({"sg driver", false, "not loaded: " + classFolder + " is missing",
                            "sudo modprobe sg (and \"sg\" in /etc/modules-load.d/sg.conf to keep it)"});
    } else {
        findings.push_back({"sg driver", true, "loaded, " + std::to_string(nodes.size()) + " node(s)"});
    }

    const std::string rule = installedRule(host.root);
    findings.push_back(rule.empty() ? Finding{"udev rule", false, std::string(kRuleFile) + " is not installed",
                                              kInstallRule}
                                    : Finding{"udev rule", true, "installed: " + rule});
    if (!findings.front().ok) return findings;

    std::vector<std::string> modules;
    for (const std::string &node : nodes) {
        if (isModule(classFolder + "/" + node + "/device")) modules.push_back(node);
    }
    if (modules.empty()) {
        findings.push_back({"module node", false,
                            "no module among the " + std::to_string(nodes.size()) + " SCSI generic node(s)",
                            "plug the module in; lsusb and dmesg show whether the host sees it"});
        return findings;
    }
    if (modules.size() > 1) {
        findings.push_back({"module node", false, std::to_string(modules.size()) + " modules are plugged in",
                            "leave one: the station connects only when exactly one module is present"});
        return findings;
    }
    const std::string &node = modules.front();
    const int error = host.openError ? host.openError(node) : openNodeError(node);
    Finding f{"module node", error == 0, "/dev/" + node};
    if (error == 0) {
        f.detail += " opens read-write";
    } else if (error == ENOENT) {
        f.detail += " is missing";
        f.fix = "sudo udevadm trigger --subsystem-match=scsi_generic, or re-plug the module";
    } else if (error == EACCES || error == EPERM) {
        f.detail += ": no permission to open it read-write";
        f.fix = rule.empty() ? "install the udev rule: " + std::string(kInstallRule)
                             : "log in at the seat again, or join the group: sudo usermod -aG fpmodule $USER "
                               "(then log in again)";
    } else if (error == EBUSY) {
        f.detail += " is held by another program";
        f.fix = "close the other program that uses the module";
    } else {
        f.detail += ": cannot be opened (" + std::string(std::strerror(error)) + ")";
        f.fix = "re-plug the module; dmesg tells what the kernel saw";
    }
    findings.push_back(f);
    return findings;
}
#endif

}  // namespace fpm::cli
