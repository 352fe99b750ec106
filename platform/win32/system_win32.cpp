// System side for Windows.
#include <windows.h>

#include "platform/system.h"
#include "platform/system_backend.h"

namespace fpm::sys {

namespace {

SRWLOCK g_wakeLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_wake = CONDITION_VARIABLE_INIT;

const wchar_t *wide(const std::u16string &s) { return reinterpret_cast<const wchar_t *>(s.c_str()); }

LARGE_INTEGER counterStart()
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    return start;
}
const LARGE_INTEGER g_start = counterStart();

}  // namespace

namespace backend {

std::uint64_t nowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    std::uint64_t ticks = static_cast<std::uint64_t>(now.QuadPart - g_start.QuadPart);
    return ticks / static_cast<std::uint64_t>(frequency.QuadPart) * 1000 +
           ticks % static_cast<std::uint64_t>(frequency.QuadPart) * 1000 / static_cast<std::uint64_t>(frequency.QuadPart);
}

bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel)
{
    AcquireSRWLockExclusive(&g_wakeLock);
    bool reached = true;
    for (;;) {
        if (cancel && cancel->load()) {
            reached = false;
            break;
        }
        std::uint64_t now = nowMs();
        if (now >= deadlineMs) break;
        SleepConditionVariableSRW(&g_wake, &g_wakeLock, static_cast<DWORD>(deadlineMs - now), 0);
    }
    ReleaseSRWLockExclusive(&g_wakeLock);
    return reached;
}

void wakeSleepers()
{
    AcquireSRWLockExclusive(&g_wakeLock);
    ReleaseSRWLockExclusive(&g_wakeLock);
    WakeAllConditionVariable(&g_wake);
}

}  // namespace backend

LocalTime localTime()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

namespace {
struct WorkerStart {
    WorkerEntry entry;
    void *argument;
};

DWORD WINAPI runWorker(LPVOID p)
{
    WorkerStart start = *static_cast<WorkerStart *>(p);
    delete static_cast<WorkerStart *>(p);
    start.entry(start.argument);
    return 0;
}
}  // namespace

void *startWorker(WorkerEntry entry, void *argument)
{
    auto *start = new WorkerStart{entry, argument};
    HANDLE thread = CreateThread(nullptr, 0, runWorker, start, 0, nullptr);
    if (!thread) delete start;
    return thread;
}

void releaseWorker(void *handle)
{
    if (handle) CloseHandle(handle);
}

std::u16string executablePath()
{
    wchar_t buffer[1024];
    DWORD n = GetModuleFileNameW(nullptr, buffer, 1024);
    if (n == 0 || n >= 1024) return {};
    return std::u16string(reinterpret_cast<const char16_t *>(buffer), n);
}

char16_t pathSeparator() { return u'\\'; }

namespace backend {

void createDirectory(const std::u16string &path) { CreateDirectoryW(wide(path), nullptr); }

std::optional<std::vector<DirectoryEntry>> listDirectory(const std::u16string &folder)
{
    std::u16string pattern = folder + u"\\*.*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(pattern), &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<DirectoryEntry> entries;
    const DWORD notRegular = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                             FILE_ATTRIBUTE_TEMPORARY;
    do {
        ULARGE_INTEGER written;
        written.LowPart = found.ftLastWriteTime.dwLowDateTime;
        written.HighPart = found.ftLastWriteTime.dwHighDateTime;
        std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entries.push_back({std::u16string(reinterpret_cast<const char16_t *>(found.cFileName)),
                           (found.dwFileAttributes & notRegular) == 0, size,
                           static_cast<std::int64_t>(written.QuadPart / 10000000ULL)});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

bool deleteFile(const std::u16string &path) { return DeleteFileW(wide(path)) != 0; }

bool appendExclusive(const std::u16string &path, const std::string &bytes)
{
    HANDLE file = CreateFileW(wide(path), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

}  // namespace backend

std::string toAnsi(const std::u16string &text)
{
    if (text.empty()) return {};
    const wchar_t *w = wide(text);
    int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace fpm::sys
