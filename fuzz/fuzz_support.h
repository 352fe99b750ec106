// What the fuzz targets share: a clock that moves only when the library waits, and log
// files that stay in memory unless an input asks for the real ones.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/system.h"

namespace fpm::fuzz {

class InstantClock : public sys::TimeSource {
public:
    std::uint64_t nowMs() override { return now_.load(); }
    bool sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel) override;
    void wakeSleepers() override {}

    // Starts a case: time runs on from where it was; `onBudgetSpent` runs once when the
    // case's waits have used up `budgetMs` of clock time (a module that is busy for ever).
    void startCase(std::uint64_t budgetMs, void (*onBudgetSpent)());

private:
    std::atomic<std::uint64_t> now_{1'000'000};
    std::atomic<std::uint64_t> caseEnd_{~0ull};
    std::atomic<void (*)()> onBudgetSpent_{nullptr};
};

class MemoryFiles : public sys::FileStore {
public:
    void createDirectory(const std::u16string &) override {}
    std::optional<std::vector<sys::DirectoryEntry>> listDirectory(const std::u16string &) override;
    bool deleteFile(const std::u16string &) override { return true; }
    bool appendExclusive(const std::u16string &, const std::string &bytes) override;

private:
    std::atomic<std::uint64_t> written_{0};
};

// Installs the clock and, unless `realLog`, the memory files.
void useInstantSystem(bool realLog);
InstantClock &instantClock();

// Fills `bytes` bytes with `pattern` over and over (with `empty` when there is none):
// short inputs still make whole, busy images.
void fillRepeating(const std::vector<std::uint8_t> &pattern, std::uint8_t *out, std::size_t bytes,
                   std::uint8_t empty = 0);

// Waits (asleep) until every worker of the library has ended. A worker that never ends
// shows up as the fuzzer's timeout for the input.
void waitForWorkers();

}  // namespace fpm::fuzz
