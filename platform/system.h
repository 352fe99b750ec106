// The system side of the seam: clock, waits, worker threads, the executable's folder,
// local time, and the few file operations the diagnostic log needs.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fpm::sys {

// ---- Time --------------------------------------------------------------------------
// Milliseconds of a monotonic process clock.
std::uint64_t nowMs();

// Sleeps until the clock reaches `deadlineMs`. When `cancel` is given, the sleep also
// ends as soon as *cancel is non-zero (wakeSleepers() makes that immediate).
// Returns false when it ended because of *cancel, true when the deadline came.
bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel = nullptr);

// Wakes every sleepUntil() so that it re-reads its cancel flag.
void wakeSleepers();

// Tests replace the clock and the wait to run time-dependent code without sleeping.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual std::uint64_t nowMs() = 0;
    virtual bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel) = 0;
    virtual void wakeSleepers() = 0;
};
// nullptr restores the real clock.
void setTimeSource(TimeSource *source);

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};
LocalTime localTime();

// ---- Threads -----------------------------------------------------------------------
using WorkerEntry = void (*)(void *argument);
// Starts a detached worker thread; returns an opaque non-null handle, or null on failure.
void *startWorker(WorkerEntry entry, void *argument);
// Gives back a handle from startWorker once nobody needs it; the thread runs on.
void releaseWorker(void *handle);

// ---- Files -------------------------------------------------------------------------
// Full path of the calling process's executable.
std::u16string executablePath();
// The separator of path components on this host.
char16_t pathSeparator();

void createDirectory(const std::u16string &path);  // failures ignored
// Creates the folder and its missing parents (the parents private to the user where the
// host has owners); true when the folder then exists and files can be made in it.
bool makeWritableDirectory(const std::u16string &path);

// The value of an environment variable; nothing when it is unset or empty.
std::optional<std::u16string> environmentVariable(const char *name);

struct DirectoryEntry {
    std::u16string name;
    bool regular;  // a plain file: not hidden, system, temporary or a directory
    std::uint64_t size;
    std::int64_t modifiedSeconds;
};
// Entries of a folder in listing order, or nothing when it cannot be listed.
std::optional<std::vector<DirectoryEntry>> listDirectory(const std::u16string &folder);

bool deleteFile(const std::u16string &path);

// Appends bytes to a file, creating it; no other writer may open it meanwhile.
// False when the file cannot be opened.
bool appendExclusive(const std::u16string &path, const std::string &bytes);

// The fuzz targets replace the four file operations above to run without touching the
// disk, as tests replace the clock.
class FileStore {
public:
    virtual ~FileStore() = default;
    virtual void createDirectory(const std::u16string &path) = 0;
    virtual std::optional<std::vector<DirectoryEntry>> listDirectory(const std::u16string &folder) = 0;
    virtual bool deleteFile(const std::u16string &path) = 0;
    virtual bool appendExclusive(const std::u16string &path, const std::string &bytes) = 0;
};
// nullptr restores the host's files.
void setFileStore(FileStore *store);

// ---- The traffic trace's file ---------------------------------------------------------
// A file kept open for appending (created when missing); null when it cannot be opened.
void *openForAppend(const std::u16string &path);
// Writes all bytes at the end and hands them to the OS before returning (a crash right
// after loses nothing); false when not all of them were written (a full disk, say).
bool appendToOpen(void *file, const std::string &bytes);
void closeOpened(void *file);

// The last error of the calling thread's OS call (errno, or GetLastError on Windows), read
// right after a failed transfer.
std::uint32_t lastOsError();

// The host's ANSI code page on Windows; plain bytes (UTF-8) elsewhere.
std::string toAnsi(const std::u16string &text);

}  // namespace fpm::sys
