// What `fpmodule doctor` finds on the host, one finding per check, each with the step
// that fixes it when something is wrong.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fpm::cli {

struct Finding {
    std::string check;
    bool ok = true;
    std::string detail;
    std::string fix;  // empty when nothing is wrong
};
using Findings = std::vector<Finding>;

// A Linux host as the library meets it: the SCSI generic driver's sysfs folder, the
// module's node and the right to open it, and the udev rule. `root` stands for "/" (a
// test's tree); `openError` opens /dev/<node> read-write as the library does and gives
// the errno of a failure (0: it opens).
struct LinuxHost {
    std::filesystem::path root = "/";
    std::function<int(const std::string &node)> openError;
};
Findings linuxHostFindings(const LinuxHost &host);

// The errno of opening /dev/<node> read-write, without waiting for another holder.
int openNodeError(const std::string &node);

// Whether an image of `imageBytes` passes a host limit of `limit` bytes per request (0: no
// limit), and the step that raises it for the module's `node` when it does not.
Finding transferLimitFinding(std::uint64_t imageBytes, std::uint32_t limit, const std::string &node);

}  // namespace fpm::cli
