// System side for Linux.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/no_destroy.h"
#include "platform/system.h"
#include "platform/system_backend.h"

namespace fpm::sys {

namespace {

// The wake-up of sleeping workers. Never destroyed: a worker may still sleep on it
// while the process exits.
struct Wake {
    std::mutex mutex;
    std::condition_variable condition;
};

Wake &wake()
{
    static NoDestroy<Wake> instance;
    return *instance;
}
const auto g_processStart = std::chrono::steady_clock::now();

std::string utf8(const std::u16string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string fromUtf8(const std::string &text)
{
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        std::uint32_t c;
        int extra;
        if (b < 0x80) { c = b; extra = 0; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; extra = 1; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; extra = 2; }
        else { c = b & 0x07; extra = 3; }
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i) c = (c << 6) | (text[i] & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

}  // namespace

namespace backend {

std::uint64_t nowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now() - g_processStart).count());
}

bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel)
{
    Wake &w = wake();
    std::unique_lock lock(w.mutex);
    for (;;) {
        if (cancel && cancel->load()) return false;
        std::uint64_t now = nowMs();
        if (now >= deadlineMs) return true;
        w.condition.wait_for(lock, std::chrono::milliseconds(deadlineMs - now));
    }
}

void wakeSleepers()
{
    Wake &w = wake();
    { std::lock_guard lock(w.mutex); }
    w.condition.notify_all();
}

}  // namespace backend

LocalTime localTime()
{
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm parts{};
    localtime_r(&tv.tv_sec, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min, parts.tm_sec, static_cast<int>(tv.tv_usec / 1000)};
}

void *startWorker(WorkerEntry entry, void *argument)
{
    struct Start {
        WorkerEntry entry;
        void *argument;
    };
    auto *start = new Start{entry, argument};
    pthread_t thread;
    auto run = [](void *p) -> void * {
        Start s = *static_cast<Start *>(p);
        delete static_cast<Start *>(p);
        s.entry(s.argument);
        return nullptr;
    };
    if (pthread_create(&thread, nullptr, run, start) != 0) {
        delete start;
        return nullptr;
    }
    pthread_detach(thread);
    return reinterpret_cast<void *>(static_cast<std::uintptr_t>(thread) | 1u);
}

void releaseWorker(void *) {}  // detached threads hold nothing to give back

std::u16string executablePath()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return fromUtf8(std::string(buffer, static_cast<std::size_t>(n)));
}

char16_t pathSeparator() { return u'/'; }

namespace backend {

void createDirectory(const std::u16string &path) { mkdir(utf8(path).c_str(), 0777); }

std::optional<std::vector<DirectoryEntry>> listDirectory(const std::u16string &folder)
{
    std::string base = utf8(folder);
    DIR *dir = opendir(base.c_str());
    if (!dir) return std::nullopt;
    std::vector<DirectoryEntry> entries;
    while (dirent *d = readdir(dir)) {
        std::string name = d->d_name;
        struct stat st{};
        bool known = stat((base + "/" + name).c_str(), &st) == 0;
        // Dot files count as hidden, as on the other host.
        bool regular = known && S_ISREG(st.st_mode) && !name.empty() && name[0] != '.';
        entries.push_back({fromUtf8(name), regular, known ? static_cast<std::uint64_t>(st.st_size) : 0,
                           known ? static_cast<std::int64_t>(st.st_mtime) : 0});
    }
    closedir(dir);
    return entries;
}

bool deleteFile(const std::u16string &path) { return unlink(utf8(path).c_str()) == 0; }

bool appendExclusive(const std::u16string &path, const std::string &bytes)
{
    int fd = ::open(utf8(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return ok;
}

}  // namespace backend

// Not file-store operations: the log folder is chosen once per connect.
bool makeWritableDirectory(const std::u16string &path)
{
    const std::string target = utf8(path);
    auto writableDirectory = [&] {
        struct stat st{};
        return stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(target.c_str(), W_OK | X_OK) == 0;
    };
    // Every connect asks again; the folder is nearly always there already.
    if (writableDirectory()) return true;
    for (std::size_t slash = target.find('/', 1); slash != std::string::npos; slash = target.find('/', slash + 1))
        mkdir(target.substr(0, slash).c_str(), 0700);
    mkdir(target.c_str(), 0777);
    return writableDirectory();
}

std::optional<std::u16string> environmentVariable(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return fromUtf8(value);
}

std::string toAnsi(const std::u16string &text) { return utf8(text); }

void *openForAppend(const std::u16string &path)
{
    const int fd = ::open(utf8(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    // Descriptors start at 0: stored one up so that null means "none".
    return fd < 0 ? nullptr : reinterpret_cast<void *>(static_cast<std::intptr_t>(fd) + 1);
}

bool appendToOpen(void *file, const std::string &bytes)
{
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(file) - 1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void closeOpened(void *file) { ::close(static_cast<int>(reinterpret_cast<std::intptr_t>(file) - 1)); }

std::uint32_t lastOsError() { return static_cast<std::uint32_t>(errno); }

}  // namespace fpm::sys
