// The diagnostic log: one line per event in ten rotating files in the folder
// "SmartCard_Log" beside the calling executable.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fpm::log {

// Each path is limited to kPathCapacity characters including the terminating zero.
inline constexpr std::size_t kPathCapacity = 256;

// The log's own paths. preparePaths fills them; writeLine and chooseFile read them, and
// writeLine remembers the file it wrote last.
struct Paths {
    std::u16string exeDirectory;
    std::u16string logFolder;
    std::array<std::u16string, 10> logFileNames;
    std::u16string currentLogFile;
    std::atomic<bool> prepared{false};
};

// The process's one set, empty and unprepared at load.
Paths &paths();

inline constexpr std::uint64_t kFileSizeLimit = 20480;
// A line, line end included, is at most 255 characters; the date, time and separator
// take 27 of them.
inline constexpr std::size_t kMaxMessageLength = 228;

// Fills the executable folder, the log folder and the ten file names and creates the
// folder. False (and nothing prepared) when the executable's folder is too long to
// hold the log paths.
bool preparePaths();

// Writes one line when the paths have been prepared; failures drop the line.
void writeLine(std::string_view message, bool enabled = true);

// "<prefix> : <reason>", the form of the exchange failure lines.
void writeFailure(std::string_view prefix, std::string_view reason);

// The file that the next line goes to (rotating when the newest is full); exposed for
// the tools that read the log.
std::u16string chooseFile();

}  // namespace fpm::log
