// What a journey tells its user while it runs: on a terminal one line that is rewritten
// as things happen, elsewhere (a pipe, a log file) one plain line per step.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace fpm::cli {

class Progress {
public:
    // Live when stdout is a terminal.
    Progress();
    explicit Progress(bool live) : live_(live) {}

    // A passing state: rewritten in place on a terminal.
    void status(const std::string &text);
    // A line that stays.
    void line(const std::string &text);

private:
    void clearLive();

    std::mutex mutex_;
    bool live_;
    std::size_t shown_ = 0;  // width of the live line on screen
};

}  // namespace fpm::cli
