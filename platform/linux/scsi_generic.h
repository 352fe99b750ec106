// The module on Linux: SCSI generic nodes found through sysfs, named with interface
// paths in the Windows form so that the library's match rule selects the module on
// either host, and each pass-through record carried by the SG_IO ioctl.
#pragma once

#include <scsi/sg.h>

#include <cstdint>
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

// "\\?\usbstor#cdrom&ven_<vendor>&prod_<model>&rev_<rev>#<node>#{...}" for one node
// folder of the class root (e.g. <root>/sg2), or nothing when the node is no CD-ROM
// unit or its attributes cannot be read. Only CD-ROM units are listed, as the Windows
// backend lists only the CD-ROM interface class: a module that also shows a disk unit
// with the same INQUIRY strings is then seen once on both hosts.
std::optional<std::u16string> interfacePath(const std::filesystem::path &nodeFolder);

// The interface paths of every CD-ROM node under the class root, in node number order;
// nothing when the class root cannot be listed (no sg driver).
std::optional<std::vector<std::u16string>> interfacePaths(const std::filesystem::path &classRoot);

// The node name ("sg2") that an interface path or a "/dev/sgN" path names; nothing for
// any other path.
std::optional<std::string> nodeName(std::u16string_view path);

// Whether the path is a plain "/dev/sgN" rather than an interface path.
bool isDevicePath(std::u16string_view path);

// Opens a node read-write and checks that the SCSI generic driver answers on it;
// -1 for anything else (missing file, regular file, other device). Non-blocking: the
// open would otherwise wait for ever while another process holds the node exclusively
// or the host is in error recovery (SG_IO itself blocks either way).
int openNode(const std::filesystem::path &node);

// Whether an open descriptor is the device that the node folder describes (its "dev"
// attribute against the descriptor's device number). True when either side cannot
// tell, as in a tree without device numbers.
bool isNode(int fd, const std::filesystem::path &nodeFolder);

// The largest data phase, in bytes, that the node's host carries in one request
// (queue/max_hw_sectors_kb of its block device, else the unit's max_sectors); 0 when
// neither can be read. USB 2.0 mass-storage hosts default to 240 sectors.
std::uint32_t transferLimit(const std::filesystem::path &nodeFolder);

// The SG_IO request for one pass-through record: same command block, direction, length
// and buffer; the time-out in milliseconds; sense data into the record's sense area.
// A transfer without data carries no data pointer: the driver refuses one.
sg_io_hdr_t sgIoRequest(transport::PassThroughRequest &request);

// Whether the request reached the device: the SCSI status is the module's business
// (its reply says how the command went), host and driver errors are failures.
bool delivered(const sg_io_hdr_t &io);

// Runs SG_IO with every blockable signal held off. A signal arriving meanwhile would
// otherwise end the ioctl with EINTR (handler without SA_RESTART) or make the kernel
// issue the command a second time (with SA_RESTART); held, it is delivered when the
// transfer has ended, which takes at most the request's time-out. False when the
// ioctl failed.
bool issue(int fd, sg_io_hdr_t &io);

}  // namespace fpm::device::sg
