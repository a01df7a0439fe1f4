#pragma once
// Runs the registered benchmarks and prints one rate against its peer's from
// the same run, since absolute rates on shared machines mean little.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) rates_[run.benchmark_name()] = rate->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "<label>: <oursName> N, <theirsName> M; ratio R" when both ran.
    void printRatio(const std::string& ours, const std::string& theirs, const char* label) const {
        auto a = rates_.find(ours);
        auto b = rates_.find(theirs);
        if (a == rates_.end() || b == rates_.end() || b->second <= 0) return;
        std::printf("\n%s: %s %.0f/s, %s %.0f/s; ratio %.2f\n", label, ours.c_str(), a->second, theirs.c_str(),
                    b->second, a->second / b->second);
    }

private:
    std::map<std::string, double> rates_;
};

// The whole main of a two-peer benchmark program.
inline int runWithRatio(int argc, char** argv, const std::string& ours, const std::string& theirs, const char* label) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio(ours, theirs, label);
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
