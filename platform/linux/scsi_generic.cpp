#include "platform/linux/scsi_generic.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>

namespace fpm::device::sg {

namespace fs = std::filesystem;

namespace {

constexpr std::u16string_view kPrefix = u"\\\\?\\usbstor#";
constexpr std::u16string_view kClassSuffix = u"#{53f56308-b6bf-11d0-94f2-00a0c91efb8b}";
constexpr std::uint64_t kTypeCdrom = 5;

// The first line of a sysfs attribute (they are short; more than a page is not one).
std::optional<std::string> readAttribute(const fs::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    char buffer[4096];
    ssize_t n;
    do {
        n = ::read(fd, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 0) return std::nullopt;
    std::string text(buffer, static_cast<std::size_t>(n));
    if (auto end = text.find('\n'); end != std::string::npos) text.resize(end);
    return text;
}

// A decimal attribute, surrounding blanks allowed.
std::optional<std::uint64_t> readNumber(const fs::path &file)
{
    auto text = readAttribute(file);
    if (!text) return std::nullopt;
    std::string_view digits = *text;
    while (!digits.empty() && (digits.front() == ' ' || digits.front() == '\t')) digits.remove_prefix(1);
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\r' || digits.back() == '\t'))
        digits.remove_suffix(1);
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// Names in a folder, "." and ".." left out; nothing when it cannot be listed.
std::optional<std::vector<std::string>> listFolder(const fs::path &folder)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    return names;
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
    auto type = readNumber(device / "type");
    auto vendor = readAttribute(device / "vendor");
    auto model = readAttribute(device / "model");
    auto rev = readAttribute(device / "rev");
    if (!type || !vendor || !model || !rev) return std::nullopt;
    if (*type != kTypeCdrom) return std::nullopt;

    std::u16string path(kPrefix);
    path += u"cdrom&ven_" + idField(*vendor) + u"&prod_" + idField(*model) + u"&rev_" + idField(*rev);
    path += u'#' + ascii(name);
    path += kClassSuffix;
    return path;
}

std::optional<std::vector<std::u16string>> interfacePaths(const fs::path &classRoot)
{
    auto names = listFolder(classRoot);
    if (!names) return std::nullopt;

    std::vector<std::pair<unsigned, fs::path>> nodes;
    for (const auto &name : *names) {
        if (auto number = nodeNumber(name)) nodes.emplace_back(*number, classRoot / name);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::u16string> paths;
    for (const auto &[number, folder] : nodes) {
        if (auto path = interfacePath(folder)) paths.push_back(std::move(*path));
    }
    return paths;
}

bool isDevicePath(std::u16string_view path) { return path.starts_with(u"/dev/"); }

std::optional<std::string> nodeName(std::u16string_view path)
{
    std::u16string_view name;
    if (isDevicePath(path)) {
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
    int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    int version = 0;
    if (::ioctl(fd, SG_GET_VERSION_NUM, &version) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool isNode(int fd, const fs::path &nodeFolder)
{
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return true;
    auto dev = readAttribute(nodeFolder / "dev");
    if (!dev) return true;
    return *dev == std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
}

std::uint32_t transferLimit(const fs::path &nodeFolder)
{
    const fs::path device = nodeFolder / "device";
    std::uint64_t bytes = 0;
    if (auto blocks = listFolder(device / "block"); blocks && !blocks->empty()) {
        if (auto kb = readNumber(device / "block" / blocks->front() / "queue" / "max_hw_sectors_kb")) bytes = *kb * 1024;
    }
    if (bytes == 0) {
        if (auto sectors = readNumber(device / "max_sectors")) bytes = *sectors * 512;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, UINT32_MAX));
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
    io.dxferp = sptd.DataTransferLength == 0 ? nullptr : sptd.DataBuffer;
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

bool issue(int fd, sg_io_hdr_t &io)
{
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    const int result = ::ioctl(fd, SG_IO, &io);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return result == 0;
}

}  // namespace fpm::device::sg
