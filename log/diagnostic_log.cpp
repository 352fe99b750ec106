#include "log/diagnostic_log.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "log/log_location.h"
#include "log/trace.h"
#include "platform/no_destroy.h"
#include "platform/system.h"

namespace fpm::log {

namespace {

// Workers and callers may log at the same moment, and a connect prepares the paths again
// while a worker still logs: every path is read and written under this lock (the files
// themselves are opened exclusively). Never destroyed, as a worker may log while the
// process exits.
std::mutex &pathsMutex()
{
    static NoDestroy<std::mutex> mutex;
    return *mutex;
}

std::u16string currentFile()
{
    std::lock_guard lock(pathsMutex());
    return paths().currentLogFile;
}

void setCurrentFile(const std::u16string &path)
{
    std::lock_guard lock(pathsMutex());
    paths().currentLogFile = path;
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

// Never destroyed, as the lock above.
Paths &paths()
{
    static NoDestroy<Paths> instance;
    return *instance;
}

bool preparePaths()
{
    Paths &s = paths();
    std::u16string exe = sys::executablePath();
    if (exe.size() >= kPathCapacity) return false;
    std::size_t cut = exe.find_last_of(sys::pathSeparator());
    std::u16string folder = cut == std::u16string::npos ? std::u16string() : exe.substr(0, cut);
    const LogSurroundings where = currentSurroundings(folder);
    // Without the executable's folder, and with no folder named, the log would land in the
    // root of the file system (of the current drive on Windows): no log then, but the
    // caller carries on.
    if (cut == std::u16string::npos && !where.logDir) {
        s.prepared.store(false);
        return true;
    }
    std::u16string logFolder = chooseLogFolder(where, sys::makeWritableDirectory);
    // Every log path (folder, separator, "SmartCard_Log[n].txt") must fit its buffer.
    if (join(logFolder, fileName(0)).size() >= kPathCapacity) return false;

    {
        std::lock_guard lock(pathsMutex());
        s.exeDirectory = folder;
        s.logFolder = logFolder;
        for (int i = 0; i < 10; ++i) s.logFileNames[i] = fileName(i);
    }
    s.prepared.store(true);
    // After the paths: a trace file that cannot be opened is reported in this log.
    trace::configureFromEnvironment();
    return true;
}

std::u16string chooseFile()
{
    Paths s;
    {
        std::lock_guard lock(pathsMutex());
        s.logFolder = paths().logFolder;
        s.logFileNames = paths().logFileNames;
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
    if (!paths().prepared.load()) return;
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
