#pragma once

// What every benchmark program here shares: a console reporter that keeps the run standing for each
// benchmark, so a summary can be printed after the table, and the main() that runs them with it.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace velmora {

// Prints the table as the console reporter does and keeps, per benchmark ("function/args"), its adjusted
// real time and its counters. With repetitions the median stands for the benchmark; a single run stands for
// itself; failed runs are left out.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1) continue;
            Kept& kept = kept_[run.run_name.function_name + "/" + run.run_name.args];
            kept.time = run.GetAdjustedRealTime();
            for (const auto& [name, counter] : run.counters)
                kept.counters[name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Printed after the table.
    virtual void printSummary() const = 0;

  protected:
    // The kept time of `key` ("function/args") in the benchmark's own unit; 0 when it did not run.
    double time(const std::string& key) const {
        const auto it = kept_.find(key);
        return it == kept_.end() ? 0 : it->second.time;
    }
    // A kept counter of `key` (e.g. "bytes_per_second"); 0 when the run or the counter is missing.
    double counter(const std::string& key, const std::string& name) const {
        const auto it = kept_.find(key);
        if (it == kept_.end()) return 0;
        const auto value = it->second.counters.find(name);
        return value == it->second.counters.end() ? 0 : value->second;
    }

  private:
    struct Kept {
        double time = 0;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Kept> kept_;
};

// The main() of a benchmark program: runs what the command line selects, then prints the summary.
// Repetitions of all the selected benchmarks run shuffled together, so that a limit and what is weighed
// against it meet the same passing states of a shared machine instead of following each other; a later
// --benchmark_enable_random_interleaving=false on the command line keeps the plain order.
template <class Reporter>
int runBenchmarks(int argc, char** argv) {
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args(argv, argv + argc);
    args.insert(args.begin() + (argc > 0 ? 1 : 0), interleave);
    args.push_back(nullptr);
    argc = static_cast<int>(args.size()) - 1;
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}

}  // namespace velmora
