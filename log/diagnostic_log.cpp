#include "log/diagnostic_log.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/system.h"

namespace fpm::log {

namespace {

const std::u16string kFolderName = u"SmartCard_Log";

// Workers and callers may log at the same moment, and a connect prepares the paths again
// while a worker still logs: every path is read and written under this lock (the files
// themselves are opened exclusively).
std::mutex g_pathsMutex;

Paths g_paths;

std::u16string currentFile()
{
    std::lock_guard lock(g_pathsMutex);
    return g_paths.currentLogFile;
}

void setCurrentFile(const std::u16string &path)
{
    std::lock_guard lock(g_pathsMutex);
    g_paths.currentLogFile = path;
}

std::u16string ascii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string fileName(int index)
{
    return u"SmartCard_Log[" + ascii(std::to_string(index)) + u"].txt";
}

std::u16string join(const std::u16string &folder, const std::u16string &name)
{
    return folder + sys::pathSeparator() + name;
}

std::u16string formatLine(const sys::LocalTime &t, std::string_view message)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d %02d:%02d:%02d %03d => ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    // The library's own messages are far shorter; a longer one is cut to fit the line.
    return ascii(stamp) + ascii(message.substr(0, kMaxMessageLength)) + u"\r\n";
}

}  // namespace

Paths &paths() { return g_paths; }

bool preparePaths()
{
    Paths &s = g_paths;
    std::u16string exe = sys::executablePath();
    std::size_t cut = exe.find_last_of(sys::pathSeparator());
    std::u16string folder = cut == std::u16string::npos ? std::u16string() : exe.substr(0, cut);
    std::u16string logFolder = join(folder, kFolderName);
    // Every log path (folder, separator, "SmartCard_Log[n].txt") must fit its buffer.
    if (exe.size() >= kPathCapacity || join(logFolder, fileName(0)).size() >= kPathCapacity) return false;

    {
        std::lock_guard lock(g_pathsMutex);
        s.exeDirectory = folder;
        s.logFolder = logFolder;
        for (int i = 0; i < 10; ++i) s.logFileNames[i] = fileName(i);
    }
    sys::createDirectory(logFolder);
    s.prepared.store(true);
    return true;
}

std::u16string chooseFile()
{
    Paths s;
    {
        std::lock_guard lock(g_pathsMutex);
        s.logFolder = g_paths.logFolder;
        s.logFileNames = g_paths.logFileNames;
    }
    auto entries = sys::listDirectory(s.logFolder);
    if (!entries) return currentFile();

    const sys::DirectoryEntry *newest = nullptr;
    for (const auto &entry : *entries) {
        if (!entry.regular) continue;
        // ">=": among equal times the entry listed last wins.
        if (!newest || entry.modifiedSeconds >= newest->modifiedSeconds) newest = &entry;
    }
    if (!newest) return join(s.logFolder, s.logFileNames[0]);

    std::u16string newestPath = join(s.logFolder, newest->name);
    if (newest->size < kFileSizeLimit) return newestPath;

    // Rotate: the digit between the brackets of "SmartCard_Log[n].txt" names the full
    // file; the next index starts empty.
    int index = 0;
    if (newestPath.size() >= 6) {
        char16_t digit = newestPath[newestPath.size() - 6];
        if (digit >= u'0' && digit <= u'9') index = digit - u'0';
    }
    std::u16string next = join(s.logFolder, s.logFileNames[(index + 1) % 10]);
    sys::deleteFile(next);
    return next;
}

void writeLine(std::string_view message, bool enabled)
{
    if (!enabled) return;
    if (!g_paths.prepared.load()) return;
    std::u16string file = chooseFile();
    setCurrentFile(file);
    if (file.empty()) return;
    sys::appendExclusive(file, sys::toAnsi(formatLine(sys::localTime(), message)));
}

void writeFailure(std::string_view prefix, std::string_view reason)
{
    std::string message;
    message.reserve(prefix.size() + 3 + reason.size());
    message.append(prefix).append(" : ").append(reason);
    writeLine(message);
}

}  // namespace fpm::log
