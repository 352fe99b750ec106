// Routes the clock, the wait and the log's files to the host's backend, or to a
// test's replacement.
#include <atomic>

#include "platform/system.h"
#include "platform/system_backend.h"

namespace fpm::sys {

namespace {
std::atomic<TimeSource *> g_override{nullptr};
std::atomic<FileStore *> g_files{nullptr};
}

void setTimeSource(TimeSource *source) { g_override.store(source); }

std::uint64_t nowMs()
{
    TimeSource *o = g_override.load();
    return o ? o->nowMs() : backend::nowMs();
}

bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel)
{
    TimeSource *o = g_override.load();
    return o ? o->sleepUntil(deadlineMs, cancel) : backend::sleepUntil(deadlineMs, cancel);
}

void wakeSleepers()
{
    TimeSource *o = g_override.load();
    if (o) o->wakeSleepers();
    backend::wakeSleepers();
}

void setFileStore(FileStore *store) { g_files.store(store); }

void createDirectory(const std::u16string &path)
{
    FileStore *f = g_files.load();
    f ? f->createDirectory(path) : backend::createDirectory(path);
}

std::optional<std::vector<DirectoryEntry>> listDirectory(const std::u16string &folder)
{
    FileStore *f = g_files.load();
    return f ? f->listDirectory(folder) : backend::listDirectory(folder);
}

bool deleteFile(const std::u16string &path)
{
    FileStore *f = g_files.load();
    return f ? f->deleteFile(path) : backend::deleteFile(path);
}

bool appendExclusive(const std::u16string &path, const std::string &bytes)
{
    FileStore *f = g_files.load();
    return f ? f->appendExclusive(path, bytes) : backend::appendExclusive(path, bytes);
}

}  // namespace fpm::sys
