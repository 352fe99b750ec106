// The module on Linux: SCSI generic nodes found through sysfs, named with interface
// paths in the Windows form so that the library's match rule selects the module on
// either host, and each pass-through record carried by the SG_IO ioctl.
#pragma once

#include <scsi/sg.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pass_through_request.h"

namespace fpm::device::sg {

inline const std::filesystem::path kSysfsClassRoot = "/sys/class/scsi_generic";
inline const std::filesystem::path kDeviceRoot = "/dev";

// An INQUIRY string as sysfs shows it, in the form of a Windows hardware id: padding
// trimmed, lower case, spaces (and characters a path cannot carry) as underscores.
std::u16string idField(std::string_view inquiryText);

// "\\?\usbstor#<cdrom|disk>&ven_<vendor>&prod_<model>&rev_<rev>#<node>#{...}" for one
// node folder of the class root (e.g. <root>/sg2), or nothing when the node is no
// disk or CD-ROM or its attributes cannot be read.
std::optional<std::u16string> interfacePath(const std::filesystem::path &nodeFolder);

// The interface paths of every disk and CD-ROM node under the class root, in node
// number order; nothing when the class root cannot be listed (no sg driver).
std::optional<std::vector<std::u16string>> interfacePaths(const std::filesystem::path &classRoot);

// The node name ("sg2") that an interface path or a "/dev/sgN" path names; nothing for
// any other path.
std::optional<std::string> nodeName(std::u16string_view path);

// Opens a node read-write and checks that the SCSI generic driver answers on it;
// -1 for anything else (missing file, regular file, other device).
int openNode(const std::filesystem::path &node);

// The SG_IO request for one pass-through record: same command block, direction, length
// and buffer; the time-out in milliseconds; sense data into the record's sense area.
sg_io_hdr_t sgIoRequest(transport::PassThroughRequest &request);

// Whether the request reached the device: the SCSI status is the module's business
// (its reply says how the command went), host and driver errors are failures.
bool delivered(const sg_io_hdr_t &io);

}  // namespace fpm::device::sg
