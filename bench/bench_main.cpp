// Runs the benchmarks and, when both ran, prints how many times faster the library's
// conversion is than the plain step-by-step oracle measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            // With repetitions the median stands for the benchmark; otherwise its one run.
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : !cpu_.count(name))
                cpu_[name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto library = cpu_.find("ConvertLibrary");
        const auto oracle = cpu_.find("ConvertOracle");
        if (library != cpu_.end() && oracle != cpu_.end() && library->second > 0)
            std::printf("Trans16To8Img: %.1f us CPU, %.1f x the plain step-by-step conversion\n", library->second,
                        oracle->second / library->second);
    }

private:
    std::map<std::string, double> cpu_;
};

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
