#include "log/log_location.h"

#include "platform/system.h"

namespace fpm::log {

std::u16string chooseLogFolder(const LogSurroundings &where, const FolderCheck &usable)
{
    // An explicit choice is kept even when it cannot be written: logging somewhere the
    // caller did not ask for would hide the mistake.
    if (where.logDir) {
        std::u16string folder = *where.logDir;
        // A root (/ or D:\ on Windows) keeps its separator.
        auto isRoot = [&] { return folder.size() == 1 || (folder.size() == 3 && folder[1] == u':'); };
        while (!isRoot() && (folder.back() == u'/' || folder.back() == where.separator)) folder.pop_back();
        usable(folder);
        return folder;
    }
    std::u16string beside = where.exeDirectory + where.separator + u"SmartCard_Log";
    if (usable(beside) || !where.stateFallback) return beside;

    std::optional<std::u16string> state;
    if (where.stateHome && !where.stateHome->empty() && (*where.stateHome)[0] == u'/')
        state = *where.stateHome + u"/fpmodule";
    else if (where.home && !where.home->empty())
        state = *where.home + u"/.local/state/fpmodule";
    if (state && usable(*state)) return *state;
    return beside;
}

LogSurroundings currentSurroundings(const std::u16string &exeDirectory)
{
    LogSurroundings where;
    where.exeDirectory = exeDirectory;
    where.separator = sys::pathSeparator();
    where.logDir = sys::environmentVariable(kLogDirVariable);
#ifndef _WIN32
    where.stateFallback = true;
    where.stateHome = sys::environmentVariable("XDG_STATE_HOME");
    where.home = sys::environmentVariable("HOME");
#endif
    return where;
}

}  // namespace fpm::log
