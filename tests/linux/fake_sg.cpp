// A fake SCSI generic layer for the shipped Linux library: linked into a test program,
// it stands in front of the C library's file calls, shows the library a sysfs tree and
// /dev/sg* nodes from a test folder, checks each SG_IO as the kernel's sg driver does
// and answers it from a virtual module. Everything else goes to the C library.
#include "tests/linux/fake_sg.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <scsi/sg.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sim/virtual_module.h"

namespace {

template <typename F>
F next(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

struct Node {
    int kind = 0;
    bool held = false;
    std::unique_ptr<fpm::sim::VirtualModule> module;
    std::map<unsigned char, int> counts;
};

struct OpenNode {
    std::string name;
    int flags;
};

struct Fake {
    std::mutex mutex;
    std::string root;
    std::map<std::string, Node> nodes;
    std::map<int, OpenNode> open;
    int refused = 0;
    int armedSignal = 0;
    bool executableHidden = false;
    int rootLogAttempts = 0;
};

// Never destroyed: the library's workers may call in while the process exits. A
// program that never calls fake_sg_reset (a tool run under LD_PRELOAD) takes the root
// from FAKE_SG_ROOT.
Fake &fake()
{
    static Fake *instance = [] {
        auto *f = new Fake;
        if (const char *root = std::getenv("FAKE_SG_ROOT")) f->root = root;
        return f;
    }();
    return *instance;
}

bool startsWith(const char *path, const char *prefix) { return path && std::strncmp(path, prefix, std::strlen(prefix)) == 0; }

bool faked(const char *path)
{
    return startsWith(path, "/sys/class/scsi_generic") || startsWith(path, "/dev/sg");
}

bool rootLog(const char *path) { return startsWith(path, "/SmartCard_Log"); }

// The path the C library is given: the test folder's copy of a faked path.
std::string redirect(const char *path)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    if (f.root.empty() || !faked(path)) return path;
    return f.root + path;
}

std::string lastPart(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

std::uint64_t readNumber(const std::string &file)
{
    std::ifstream in(file);
    std::uint64_t value = 0;
    in >> value;
    return in ? value : 0;
}

// The node's limit on one data phase, from the same attributes the kernel would show.
std::uint64_t limitBytes(const std::string &root, const std::string &node)
{
    const std::string device = root + "/sys/class/scsi_generic/" + node + "/device";
    std::uint64_t bytes = 0;
    // The C library's own opendir: the fake's is busy (its lock is held here).
    static auto realOpendir = next<DIR *(*)(const char *)>("opendir");
    if (DIR *dir = realOpendir((device + "/block").c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') bytes = readNumber(device + "/block/" + entry->d_name + "/queue/max_hw_sectors_kb") * 1024;
        }
        ::closedir(dir);
    }
    if (bytes == 0) bytes = readNumber(device + "/max_sectors") * 512;
    return bytes;
}

int refuse(Fake &f, int error)
{
    ++f.refused;
    errno = error;
    return -1;
}

// One command reaching the device behind a node.
void deliver(Node &node, sg_io_hdr_t &io)
{
    const auto *cdb = static_cast<const unsigned char *>(io.cmdp);
    ++node.counts[cdb[1]];
    io.resid = static_cast<int>(io.dxfer_len);
    if (node.kind == FAKE_SG_USB_DISK || !node.module) {
        // A disk knows no vendor command: CHECK CONDITION, ILLEGAL REQUEST, invalid opcode.
        io.status = 0x02;
        io.masked_status = 0x01;
        io.driver_status = 0x08;
        const unsigned char sense[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0};
        io.sb_len_wr = static_cast<unsigned char>(std::min<unsigned>(io.mx_sb_len, sizeof sense));
        if (io.sbp) std::memcpy(io.sbp, sense, io.sb_len_wr);
        return;
    }
    fpm::sim::ReceivedRequest request;
    std::memcpy(request.block.data(), cdb, 16);
    request.dataIn = io.dxfer_direction == SG_DXFER_FROM_DEV ? 1 : 0;
    request.length = io.dxfer_len;
    request.timeoutSeconds = io.timeout / 1000;
    auto *data = static_cast<unsigned char *>(io.dxferp);
    if (io.dxfer_direction == SG_DXFER_TO_DEV) request.dataOut.assign(data, data + io.dxfer_len);
    auto answer = node.module->respond(request);
    if (!answer.transferOk) {
        io.driver_status = 0x06;  // time-out
        return;
    }
    if (io.dxfer_direction == SG_DXFER_FROM_DEV) {
        const std::size_t n = std::min<std::size_t>(answer.data.size(), io.dxfer_len);
        std::memcpy(data, answer.data.data(), n);
        io.resid = static_cast<int>(io.dxfer_len - n);
    } else {
        io.resid = 0;
    }
}

// SG_IO as the sg driver takes it: its checks first, then the command.
int sgIo(Fake &f, const OpenNode &open, sg_io_hdr_t *io)
{
    if (io->interface_id != 'S') return refuse(f, ENOSYS);
    if ((open.flags & O_ACCMODE) != O_RDWR) return refuse(f, EPERM);  // vendor opcodes need write access
    if (io->cmd_len < 6 || io->cmd_len > 16 || !io->cmdp) return refuse(f, EMSGSIZE);
    switch (io->dxfer_direction) {
    case SG_DXFER_NONE:
        if (io->dxfer_len != 0 || io->dxferp) return refuse(f, EINVAL);
        break;
    case SG_DXFER_TO_DEV:
    case SG_DXFER_FROM_DEV:
        if (io->dxfer_len != 0 && !io->dxferp) return refuse(f, EFAULT);
        break;
    default:
        return refuse(f, EINVAL);
    }
    if (io->mx_sb_len != 0 && !io->sbp) return refuse(f, EFAULT);
    const std::uint64_t limit = limitBytes(f.root, open.name);
    if (limit != 0 && io->dxfer_len > limit) return refuse(f, EINVAL);

    Node &node = f.nodes[open.name];
    io->status = io->masked_status = io->host_status = io->driver_status = 0;
    io->sb_len_wr = 0;
    if (const int signal = f.armedSignal) {
        f.armedSignal = 0;
        deliver(node, *io);
        pthread_kill(pthread_self(), signal);
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, signal)) return 0;  // held off: the command ran once
        struct sigaction action{};
        sigaction(signal, nullptr, &action);
        if (!(action.sa_flags & SA_RESTART)) return refuse(f, EINTR);
        deliver(node, *io);  // the restarted call issues the command again
        return 0;
    }
    deliver(node, *io);
    return 0;
}

int openFaked(const char *path, int flags, mode_t mode)
{
    static auto realOpen = next<int (*)(const char *, int, ...)>("open");
    if (rootLog(path)) {
        std::lock_guard lock(fake().mutex);
        ++fake().rootLogAttempts;
        errno = EACCES;
        return -1;
    }
    if (!startsWith(path, "/dev/sg")) return realOpen(redirect(path).c_str(), flags, mode);
    const std::string name = lastPart(path);
    {
        Fake &f = fake();
        std::lock_guard lock(f.mutex);
        auto node = f.nodes.find(name);
        if (node != f.nodes.end() && node->second.held) {
            if (!(flags & O_NONBLOCK)) {
                std::fprintf(stderr, "fake sg: a blocking open of %s waits for ever\n", name.c_str());
                std::abort();
            }
            errno = EBUSY;
            return -1;
        }
    }
    const int fd = realOpen(redirect(path).c_str(), flags & ~O_NONBLOCK, mode);
    if (fd >= 0) {
        Fake &f = fake();
        std::lock_guard lock(f.mutex);
        f.open[fd] = {name, flags};
        // A node nobody attached is what its sysfs model says: the module, or a disk.
        Node &node = f.nodes[name];
        if (node.kind == 0) {
            std::ifstream in(f.root + "/sys/class/scsi_generic/" + name + "/device/model");
            std::string model;
            std::getline(in, model);
            node.kind = model.find("Finger Module") != std::string::npos ? FAKE_SG_MODULE : FAKE_SG_USB_DISK;
            if (node.kind == FAKE_SG_MODULE) node.module = std::make_unique<fpm::sim::VirtualModule>();
        }
    }
    return fd;
}

}  // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return openFaked(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return openFaked(path, flags, mode);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (path[0] == '/') return openFaked(path, flags, mode);
    static auto realOpenat = next<int (*)(int, const char *, int, ...)>("openat");
    return realOpenat(dirfd, path, flags, mode);
}

DIR *opendir(const char *path)
{
    static auto realOpendir = next<DIR *(*)(const char *)>("opendir");
    return realOpendir(redirect(path).c_str());
}

int mkdir(const char *path, mode_t mode)
{
    static auto realMkdir = next<int (*)(const char *, mode_t)>("mkdir");
    if (rootLog(path)) {
        std::lock_guard lock(fake().mutex);
        ++fake().rootLogAttempts;
        errno = EACCES;
        return -1;
    }
    return realMkdir(path, mode);
}

ssize_t readlink(const char *path, char *buffer, size_t size)
{
    static auto realReadlink = next<ssize_t (*)(const char *, char *, size_t)>("readlink");
    if (std::strcmp(path, "/proc/self/exe") == 0) {
        std::lock_guard lock(fake().mutex);
        if (fake().executableHidden) {
            errno = ENOENT;
            return -1;
        }
    }
    return realReadlink(path, buffer, size);
}

int close(int fd)
{
    static auto realClose = next<int (*)(int)>("close");
    {
        std::lock_guard lock(fake().mutex);
        fake().open.erase(fd);
    }
    return realClose(fd);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    Fake &f = fake();
    {
        std::lock_guard lock(f.mutex);
        auto open = f.open.find(fd);
        if (open != f.open.end()) {
            if (request == SG_GET_VERSION_NUM) {
                *static_cast<int *>(argument) = 30536;
                return 0;
            }
            if (request == SG_IO) {
                const OpenNode node = open->second;
                return sgIo(f, node, static_cast<sg_io_hdr_t *>(argument));
            }
            errno = ENOTTY;
            return -1;
        }
    }
    static auto realIoctl = next<int (*)(int, unsigned long, ...)>("ioctl");
    return realIoctl(fd, request, argument);
}

void fake_sg_reset(const char *root)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    f.root = root;
    f.nodes.clear();
    f.refused = 0;
    f.armedSignal = 0;
    f.executableHidden = false;
    f.rootLogAttempts = 0;
}

void fake_sg_attach(const char *node, int kind)
{
    std::lock_guard lock(fake().mutex);
    Node &n = fake().nodes[node];
    n.kind = kind;
    n.module = kind == FAKE_SG_MODULE ? std::make_unique<fpm::sim::VirtualModule>() : nullptr;
    n.counts.clear();
}

void fake_sg_hold(const char *node, int held)
{
    std::lock_guard lock(fake().mutex);
    fake().nodes[node].held = held != 0;
}

void fake_sg_geometry(const char *node, int width, int height, int bytesPerPixel)
{
    std::lock_guard lock(fake().mutex);
    auto &module = fake().nodes[node].module;
    if (!module) return;
    module->width = static_cast<std::uint8_t>(width);
    module->height = static_cast<std::uint8_t>(height);
    module->bytesPerPixel = static_cast<std::uint8_t>(bytesPerPixel);
}

void fake_sg_answer_always(const char *node, unsigned char code, unsigned char status)
{
    std::lock_guard lock(fake().mutex);
    auto &module = fake().nodes[node].module;
    if (module) module->answerAlways(code, fpm::sim::ScriptedReply::withStatus(status));
}

int fake_sg_count(const char *node, unsigned char code)
{
    std::lock_guard lock(fake().mutex);
    auto &counts = fake().nodes[node].counts;
    auto it = counts.find(code);
    return it == counts.end() ? 0 : it->second;
}

int fake_sg_refused(void)
{
    std::lock_guard lock(fake().mutex);
    return fake().refused;
}

int fake_sg_open_nodes(void)
{
    std::lock_guard lock(fake().mutex);
    return static_cast<int>(fake().open.size());
}

void fake_sg_signal_next_transfer(int signal)
{
    std::lock_guard lock(fake().mutex);
    fake().armedSignal = signal;
}

void fake_sg_hide_executable(int hidden)
{
    std::lock_guard lock(fake().mutex);
    fake().executableHidden = hidden != 0;
}

int fake_sg_root_log_attempts(void)
{
    std::lock_guard lock(fake().mutex);
    return fake().rootLogAttempts;
}

}  // extern "C"
