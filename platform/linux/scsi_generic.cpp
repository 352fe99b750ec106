#include "platform/linux/scsi_generic.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <fstream>

namespace fpm::device::sg {

namespace fs = std::filesystem;

namespace {

constexpr std::u16string_view kPrefix = u"\\\\?\\usbstor#";
constexpr std::u16string_view kClassSuffix = u"#{53f56308-b6bf-11d0-94f2-00a0c91efb8b}";
constexpr int kTypeDisk = 0;
constexpr int kTypeCdrom = 5;

std::optional<std::string> readAttribute(const fs::path &file)
{
    std::ifstream in(file);
    if (!in) return std::nullopt;
    std::string text;
    std::getline(in, text);
    return text;
}

// "sg<digits>", nothing else: the name ends up in a /dev path.
std::optional<unsigned> nodeNumber(std::string_view name)
{
    if (name.size() < 3 || name.size() > 12 || name.substr(0, 2) != "sg") return std::nullopt;
    unsigned number = 0;
    auto [end, error] = std::from_chars(name.data() + 2, name.data() + name.size(), number);
    if (error != std::errc{} || end != name.data() + name.size()) return std::nullopt;
    return number;
}

std::u16string ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::u16string idField(std::string_view inquiryText)
{
    const auto isPad = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\0'; };
    while (!inquiryText.empty() && isPad(inquiryText.front())) inquiryText.remove_prefix(1);
    while (!inquiryText.empty() && isPad(inquiryText.back())) inquiryText.remove_suffix(1);
    std::u16string field;
    for (char c : inquiryText) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '#' || c == '&' || c == ',' || c == '\\' || c == '/') {
            field += u'_';
        } else {
            field += static_cast<char16_t>(u >= 'A' && u <= 'Z' ? u - 'A' + 'a' : u);
        }
    }
    return field;
}

std::optional<std::u16string> interfacePath(const fs::path &nodeFolder)
{
    const std::string name = nodeFolder.filename().string();
    if (!nodeNumber(name)) return std::nullopt;
    const fs::path device = nodeFolder / "device";
    auto type = readAttribute(device / "type");
    auto vendor = readAttribute(device / "vendor");
    auto model = readAttribute(device / "model");
    auto rev = readAttribute(device / "rev");
    if (!type || !vendor || !model || !rev) return std::nullopt;

    int peripheralType = -1;
    std::string_view typeText = *type;
    while (!typeText.empty() && (typeText.back() == ' ' || typeText.back() == '\r')) typeText.remove_suffix(1);
    auto [end, error] = std::from_chars(typeText.data(), typeText.data() + typeText.size(), peripheralType);
    if (error != std::errc{} || end != typeText.data() + typeText.size()) return std::nullopt;
    if (peripheralType != kTypeDisk && peripheralType != kTypeCdrom) return std::nullopt;

    std::u16string path(kPrefix);
    path += peripheralType == kTypeCdrom ? u"cdrom" : u"disk";
    path += u"&ven_" + idField(*vendor) + u"&prod_" + idField(*model) + u"&rev_" + idField(*rev);
    path += u'#' + ascii(name);
    path += kClassSuffix;
    return path;
}

std::optional<std::vector<std::u16string>> interfacePaths(const fs::path &classRoot)
{
    std::error_code ec;
    fs::directory_iterator it(classRoot, ec);
    if (ec) return std::nullopt;

    std::vector<std::pair<unsigned, fs::path>> nodes;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (auto number = nodeNumber(it->path().filename().string())) nodes.emplace_back(*number, it->path());
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::u16string> paths;
    for (const auto &[number, folder] : nodes) {
        if (auto path = interfacePath(folder)) paths.push_back(std::move(*path));
    }
    return paths;
}

std::optional<std::string> nodeName(std::u16string_view path)
{
    std::u16string_view name;
    if (path.starts_with(u"/dev/")) {
        name = path.substr(5);
    } else if (path.starts_with(kPrefix) && path.ends_with(kClassSuffix)) {
        std::u16string_view body = path.substr(0, path.size() - kClassSuffix.size());
        std::size_t hash = body.rfind(u'#');
        if (hash == std::u16string_view::npos) return std::nullopt;
        name = body.substr(hash + 1);
    } else {
        return std::nullopt;
    }
    std::string narrow;
    for (char16_t c : name) {
        if (c > 0x7F) return std::nullopt;
        narrow += static_cast<char>(c);
    }
    if (!nodeNumber(narrow)) return std::nullopt;
    return narrow;
}

int openNode(const fs::path &node)
{
    int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    int version = 0;
    if (::ioctl(fd, SG_GET_VERSION_NUM, &version) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

sg_io_hdr_t sgIoRequest(transport::PassThroughRequest &request)
{
    auto &sptd = request.sptd;
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    if (sptd.DataTransferLength == 0) {
        io.dxfer_direction = SG_DXFER_NONE;
    } else {
        io.dxfer_direction = sptd.DataIn == transport::kDataIn ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    }
    io.cmd_len = sptd.CdbLength <= sizeof sptd.Cdb ? sptd.CdbLength : sizeof sptd.Cdb;
    io.cmdp = sptd.Cdb;
    io.dxfer_len = sptd.DataTransferLength;
    io.dxferp = sptd.DataBuffer;
    io.mx_sb_len = std::min<std::size_t>(sptd.SenseInfoLength, sizeof request.sense);
    io.sbp = request.sense;
    // Seconds to milliseconds; a value beyond what the driver holds waits as long as it can.
    const std::uint64_t ms = std::uint64_t{sptd.TimeOutValue} * 1000;
    io.timeout = ms > UINT_MAX ? UINT_MAX : static_cast<unsigned>(ms);
    return io;
}

bool delivered(const sg_io_hdr_t &io)
{
    // The driver byte may carry "sense data present" beside success; anything else in it
    // (time-out, error, ...) or a host adapter error means the transfer failed.
    constexpr unsigned kDriverSenseFlag = 0x08;
    return io.host_status == 0 && (io.driver_status & ~kDriverSenseFlag & 0x0F) == 0;
}

}  // namespace fpm::device::sg
