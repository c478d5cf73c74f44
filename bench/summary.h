// A console reporter that also keeps each benchmark's time per iteration, so that a benchmark program
// can print a summary of ratios after the usual table. With --benchmark_repetitions the median stands
// for a benchmark; otherwise its one run does.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace benchsupport {

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    // Milliseconds per iteration, by benchmark name with its arguments ("BM_X/side:1024").
    std::map<std::string, double> msPerIteration;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = Name(run);
            if (median || !medians_.count(name))
                msPerIteration[name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
            if (median)
                medians_.insert(name);
        }
    }

private:
    // The name without the min_time, repetitions and aggregate parts.
    static std::string Name(const Run& run) {
        std::string name = run.run_name.function_name;
        if (!run.run_name.args.empty())
            name += "/" + run.run_name.args;
        return name;
    }
    std::set<std::string> medians_;
};

} // namespace benchsupport
