#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

// The console report, keeping each benchmark's items per second by its function name, so that a
// bench can print the ratio of two rates it is judged by.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto items = run.counters.find("items_per_second");
            if (items != run.counters.end())
                rates_[run.run_name.function_name] = items->second;
        }
    }

    // 0 when the benchmark did not run or was skipped.
    double rate(const std::string& functionName) const
    {
        const auto found = rates_.find(functionName);
        return found == rates_.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> rates_;
};
