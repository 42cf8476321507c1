#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// The console report, plus each benchmark's mean wall time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& run : reports) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration && run.iterations > 0) {
                seconds_[run.run_name.function_name] = run.real_accumulated_time / static_cast<double>(run.iterations);
                cpuSeconds_[run.run_name.function_name] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
                for (const auto& [name, counter] : run.counters)
                    counters_[run.run_name.function_name][name] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // Mean wall time per iteration of a benchmark function; 0 when it did not run or failed.
    double seconds(const std::string& function) const
    {
        return valueOf(seconds_, function);
    }

    // Mean CPU time of the benchmark's own thread per iteration; 0 when it did not run or failed.
    double cpuSeconds(const std::string& function) const
    {
        return valueOf(cpuSeconds_, function);
    }

    // A counter a benchmark function reported; 0 when it reported none.
    double counter(const std::string& function, const std::string& name) const
    {
        const auto found = counters_.find(function);
        return found == counters_.end() ? 0.0 : valueOf(found->second, name);
    }

    // How many of items per iteration a benchmark function did in a second; 0 when it did not run.
    double perSecond(const std::string& function, int items) const
    {
        const double time = seconds(function);
        return time > 0 ? items / time : 0.0;
    }

    // Prints measured / yardstick and returns it (0 when either did not run).
    double printRatio(const std::string& measured, const std::string& yardstick, double target) const
    {
        return print("", seconds_, measured, yardstick, target);
    }

    // The same by the process's CPU time: for work that waits for nothing, on a machine whose other
    // load would otherwise decide the wall time.
    double printCpuRatio(const std::string& measured, const std::string& yardstick, double target) const
    {
        return print("CPU ", cpuSeconds_, measured, yardstick, target);
    }

private:
    static double valueOf(const std::map<std::string, double>& values, const std::string& key)
    {
        const auto found = values.find(key);
        return found == values.end() ? 0.0 : found->second;
    }

    static double print(const char* clock, const std::map<std::string, double>& times, const std::string& measured,
        const std::string& yardstick, double target)
    {
        const auto a = times.find(measured);
        const auto b = times.find(yardstick);
        if (a == times.end() || b == times.end() || a->second <= 0 || b->second <= 0)
            return 0;
        const double ratio = a->second / b->second;
        std::printf("%sratio %s / %s = %.2f (%.1f ms / %.1f ms, target <= %.1f: %s)\n", clock, measured.c_str(),
            yardstick.c_str(), ratio, a->second * 1e3, b->second * 1e3, target, ratio <= target ? "met" : "NOT met");
        return ratio;
    }

    std::map<std::string, double> seconds_;
    std::map<std::string, double> cpuSeconds_;
    std::map<std::string, std::map<std::string, double>> counters_;
};
