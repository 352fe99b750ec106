#include "fuzz/fuzz_support.h"

#include <cstring>
#include <algorithm>

#include "worker/procedure_worker.h"

namespace fpm::fuzz {

bool InstantClock::sleepUntil(std::uint64_t deadlineMs, const std::atomic<std::uint8_t> *cancel)
{
    if (cancel && cancel->load()) return false;
    std::uint64_t now = now_.load();
    while (now < deadlineMs && !now_.compare_exchange_weak(now, deadlineMs)) {
    }
    if (now_.load() >= caseEnd_.load())
        if (void (*spent)() = onBudgetSpent_.exchange(nullptr)) spent();
    return true;
}

void InstantClock::startCase(std::uint64_t budgetMs, void (*onBudgetSpent)())
{
    onBudgetSpent_.store(onBudgetSpent);
    caseEnd_.store(now_.load() + budgetMs);
}

std::optional<std::vector<sys::DirectoryEntry>> MemoryFiles::listDirectory(const std::u16string &)
{
    return std::vector<sys::DirectoryEntry>{};
}

bool MemoryFiles::appendExclusive(const std::u16string &, const std::string &bytes)
{
    written_.fetch_add(bytes.size());
    return true;
}

namespace {
InstantClock g_clock;
MemoryFiles g_files;
}  // namespace

void useInstantSystem(bool realLog)
{
    sys::setTimeSource(&g_clock);
    sys::setFileStore(realLog ? nullptr : &g_files);
}

void fillRepeating(const std::vector<std::uint8_t> &pattern, std::uint8_t *out, std::size_t bytes, std::uint8_t empty)
{
    if (bytes == 0) return;
    if (pattern.empty()) {
        std::memset(out, empty, bytes);
        return;
    }
    std::size_t filled = std::min(pattern.size(), bytes);
    std::memcpy(out, pattern.data(), filled);
    while (filled < bytes) {
        const std::size_t more = std::min(filled, bytes - filled);
        std::memcpy(out + filled, out, more);
        filled += more;
    }
}

void waitForWorkers()
{
    for (int active = procedure::activeWorkers(); active != 0; active = procedure::activeWorkers())
        procedure::awaitWorkerCountChange(active);
}

InstantClock &instantClock() { return g_clock; }

}  // namespace fpm::fuzz

// The targets' sanitizer defaults (ASAN_OPTIONS still wins): a quarantine of 32 MB
// instead of 256. With the larger one every execution's buffers came from pages the
// kernel had to fault in afresh, a fifth of the hostile-module target's time; 32 MB still
// holds the last thousands of freed blocks for use-after-free reports.
extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options()
{
    return "quarantine_size_mb=32";
}

// The targets' libFuzzer defaults, placed before the command line's own flags so that
// those still win: the search gives an input less time the longer it runs. Without it,
// the conversion target's corpus filled with full-size images (each costs as much as a
// hundred small ones) and its rate fell by half over ten minutes.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static std::vector<char *> arguments;
    static char scaleByTime[] = "-entropic_scale_per_exec_time=1";
    arguments.assign(*argv, *argv + *argc);
    arguments.insert(arguments.begin() + (*argc > 0 ? 1 : 0), scaleByTime);
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size() - 1);
    *argv = arguments.data();
    return 0;
}
