#pragma once
// Runs the registered benchmarks and keeps each run's results, so a program
// can print its rates as ratios to its peers from the same run: absolute
// rates on shared machines mean little.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace bench {

struct RunResult {
    double realTime = 0;  // per iteration, in the run's time unit
    double cpuTime = 0;
    std::map<std::string, double> counters;  // items_per_second, bytes_per_second...
};

// With --benchmark_repetitions a run's median stands for it.
class RunRecorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.str();
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median) {
                medians_.insert(name);
            } else if (run.run_type != Run::RT_Iteration || medians_.count(name)) {
                continue;
            }
            RunResult& result = results_[median ? name : run.benchmark_name()];
            result.realTime = run.GetAdjustedRealTime();
            result.cpuTime = run.GetAdjustedCPUTime();
            for (const auto& [key, counter] : run.counters) result.counters[key] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const RunResult* find(const std::string& name) const {
        auto it = results_.find(name);
        return it == results_.end() ? nullptr : &it->second;
    }
    double counter(const std::string& name, const std::string& key) const {
        const RunResult* result = find(name);
        if (!result) return 0;
        auto it = result->counters.find(key);
        return it == result->counters.end() ? 0 : it->second;
    }

private:
    std::map<std::string, RunResult> results_;
    std::set<std::string> medians_;
};

// The whole main of a benchmark program: runs what is registered, then
// `summary` prints the ratios from what was recorded.
inline int runAndSummarize(int argc, char** argv, const std::function<void(const RunRecorder&)>& summary) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RunRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    summary(recorder);
    benchmark::Shutdown();
    return 0;
}

// Two peers' items per second: "<label>: <ours> N/s, <theirs> M/s; ratio R".
inline void printRatio(const RunRecorder& runs, const std::string& ours, const std::string& theirs, const char* label) {
    const double a = runs.counter(ours, "items_per_second");
    const double b = runs.counter(theirs, "items_per_second");
    if (a <= 0 || b <= 0) return;
    std::printf("\n%s: %s %.0f/s, %s %.0f/s; ratio %.2f\n", label, ours.c_str(), a, theirs.c_str(), b, a / b);
}

}  // namespace bench
