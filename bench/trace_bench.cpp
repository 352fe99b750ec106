// One short exchange on the virtual module with the traffic trace off (the station's
// normal case: the trace must cost nothing measurable), and on, writing to a file.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "fpmodule.h"
#include "log/trace.h"
#include "sim/virtual_host.h"

namespace {

void QuerySizeTrace(benchmark::State &s)
{
    auto &host = fpm::sim::VirtualHost::instance();
    host.reset();
    host.addModule();
    const FPM_HANDLE handle = host.open(fpm::sim::kModulePath);
    const auto file = std::filesystem::temp_directory_path() / "fpmodule-trace-bench.jsonl";
    if (s.range(0)) {
        fpm::log::trace::start(file.u16string());
    } else {
        fpm::log::trace::stop();
    }
    int32_t width = 0, height = 0;
    for (auto _ : s) {
        benchmark::DoNotOptimize(QuerySizeWithHandle(handle, &width, &height));
        host.clearRequests();
    }
    fpm::log::trace::stop();
    std::filesystem::remove(file);
    host.reset();
}
BENCHMARK(QuerySizeTrace)->Arg(0)->Arg(1)->ArgName("traced")->Unit(benchmark::kMicrosecond);

}  // namespace
