// Where the diagnostic log goes. A host program installed into a system folder (a Python
// or Mono interpreter in /usr/bin) must not write beside itself, and a station may want
// the log elsewhere, so the folder can be chosen; the file names stay the same.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace fpm::log {

// The environment variable that names the log folder itself.
inline constexpr const char *kLogDirVariable = "FPMODULE_LOG_DIR";

struct LogSurroundings {
    std::u16string exeDirectory;               // without a trailing separator
    char16_t separator = u'/';
    std::optional<std::u16string> logDir;      // FPMODULE_LOG_DIR
    // Only hosts whose programs may sit in read-only system folders fall back to the
    // user's state folder; the others keep the executable's folder whatever happens.
    bool stateFallback = false;
    std::optional<std::u16string> stateHome;   // XDG_STATE_HOME
    std::optional<std::u16string> home;        // HOME
};

// Makes a candidate folder and tells whether lines can be written into it.
using FolderCheck = std::function<bool(const std::u16string &folder)>;

// The log folder: FPMODULE_LOG_DIR when set; else "SmartCard_Log" beside the executable;
// where that cannot be written and the host falls back, $XDG_STATE_HOME/fpmodule (an
// absolute XDG_STATE_HOME only) or $HOME/.local/state/fpmodule. When no candidate is
// usable the folder beside the executable stays the answer, and lines are dropped there.
std::u16string chooseLogFolder(const LogSurroundings &where, const FolderCheck &usable);

// The surroundings of this process.
LogSurroundings currentSurroundings(const std::u16string &exeDirectory);

}  // namespace fpm::log
