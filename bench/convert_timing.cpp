// A plain timing program for builds without Google Benchmark (the 32-bit Windows build,
// run under Wine): Trans16To8Img on the 192 x 192 capture against the plain step-by-step
// conversion compiled into this same program, in CPU time per call. It first checks that
// both give the same bytes. Usage: fpmodule_convert_timing [rounds] (default 9; the
// median round counts).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

#include "connection/connection_state.h"
#include "fpmodule.h"
#include "sim/fingerprint_synth.h"
#include "support/convert_oracle.h"

namespace {

constexpr int kSide = 192;

// Seconds of CPU time this process has used.
double cpuSeconds()
{
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
#else
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

// Median CPU microseconds per call of `run` over `rounds` rounds of at least 0.2 s each
// (the process clock may tick only every 10 or 16 ms).
template <typename Run>
double microsecondsPerCall(int rounds, Run run)
{
    std::vector<double> perCall;
    for (int r = 0; r < rounds; ++r) {
        const double start = cpuSeconds();
        long calls = 0;
        double elapsed = 0;
        do {
            run();
            ++calls;
            elapsed = cpuSeconds() - start;
        } while (elapsed < 0.2);
        perCall.push_back(elapsed * 1e6 / static_cast<double>(calls));
    }
    std::sort(perCall.begin(), perCall.end());
    return perCall[perCall.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    fpm::state().bytesPerPixel = 2;
    const std::vector<std::uint16_t> samples = fpm::sim::synthesizeFingerprint16(kSide, kSide, 7);
    const auto *input = reinterpret_cast<const unsigned char *>(samples.data());
    std::vector<unsigned char> out(kSide * kSide);

    if (Trans16To8Img(input, out.data(), kSide, kSide) != 0 || out != fpm::test::oracleConvert(samples, kSide, kSide)) {
        std::fprintf(stderr, "the library and the plain conversion disagree\n");
        return 1;
    }
    const double library = microsecondsPerCall(rounds, [&] { Trans16To8Img(input, out.data(), kSide, kSide); });
    const double plain = microsecondsPerCall(rounds, [&] {
        const std::vector<std::uint8_t> converted = fpm::test::oracleConvert(samples, kSide, kSide);
        out[0] = converted[0];
    });
    std::printf("192 x 192, CPU time per call (median of %d rounds)\n", rounds);
    std::printf("Trans16To8Img              %8.1f us\n", library);
    std::printf("plain step-by-step         %8.1f us\n", plain);
    std::printf("ratio                      %8.1f x\n", plain / library);
    return 0;
}
