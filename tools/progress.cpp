#include "tools/progress.h"

#ifdef _WIN32
#include <io.h>
#define FPM_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define FPM_ISATTY(f) isatty(fileno(f))
#endif

namespace fpm::cli {

Progress::Progress() : live_(FPM_ISATTY(stdout) != 0) {}

void Progress::clearLive()
{
    if (shown_ == 0) return;
    // Blanks over the old text: no escape sequences, which not every console knows.
    std::printf("\r%*s\r", static_cast<int>(shown_), "");
    shown_ = 0;
}

void Progress::status(const std::string &text)
{
    std::lock_guard lock(mutex_);
    if (!live_) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        return;
    }
    clearLive();
    std::printf("%s", text.c_str());
    std::fflush(stdout);
    shown_ = text.size();
}

void Progress::line(const std::string &text)
{
    std::lock_guard lock(mutex_);
    clearLive();
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

}  // namespace fpm::cli
