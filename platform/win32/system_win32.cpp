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
    HMODULE module;  // the reference this worker holds on the module its code lives in
};

DWORD WINAPI runWorker(LPVOID p)
{
    WorkerStart start = *static_cast<WorkerStart *>(p);
    delete static_cast<WorkerStart *>(p);
    start.entry(start.argument);
    // The reference goes back only once no code of the module runs on this thread:
    // FreeLibrary may have been called meanwhile, and this may unload it.
    FreeLibraryAndExitThread(start.module, 0);
}
}  // namespace

void *startWorker(WorkerEntry entry, void *argument)
{
    // Taken before the thread exists, so that the caller's FreeLibrary cannot unmap the
    // code between the start and the worker's first instruction.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&runWorker), &module))
        return nullptr;
    auto *start = new WorkerStart{entry, argument, module};
    HANDLE thread = CreateThread(nullptr, 0, runWorker, start, 0, nullptr);
    if (!thread) {
        delete start;
        FreeLibrary(module);
    }
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

// Not file-store operations: the log folder is chosen once per connect.
bool makeWritableDirectory(const std::u16string &path)
{
    // The read-only attribute means nothing on a folder, so existing is all there is to ask.
    auto isDirectory = [&] {
        const DWORD attributes = GetFileAttributesW(wide(path));
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    // Every connect asks again; the folder is nearly always there already.
    if (isDirectory()) return true;
    // Each parent in turn; the drive or share at the front simply fails to be created.
    for (std::size_t cut = path.find_first_of(u"\\/"); cut != std::u16string::npos;
         cut = path.find_first_of(u"\\/", cut + 1))
        if (cut > 0) CreateDirectoryW(wide(path.substr(0, cut)), nullptr);
    CreateDirectoryW(wide(path), nullptr);
    return isDirectory();
}

std::optional<std::u16string> environmentVariable(const char *name)
{
    std::wstring wideName(name, name + std::char_traits<char>::length(name));
    DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (n <= 1) return std::nullopt;
    std::u16string value(n, u'\0');
    n = GetEnvironmentVariableW(wideName.c_str(), reinterpret_cast<wchar_t *>(value.data()), n);
    if (n == 0 || n >= value.size()) return std::nullopt;
    value.resize(n);
    return value;
}

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

// The traffic trace's file and the OS error of a failed transfer.
void *openForAppend(const std::u16string &path)
{
    HANDLE file = CreateFileW(wide(path), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool appendToOpen(void *file, const std::string &bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void closeOpened(void *file) { CloseHandle(file); }

std::uint32_t lastOsError() { return GetLastError(); }

}  // namespace fpm::sys
