// Runs each benchmark pair (the library's way, the raw baseline doing the same work) interleaved:
// one warm-up of each, then REPOS_BENCH_ROUNDS rounds (at least 5) that alternate which side goes
// first. Each round gives one ratio, library rate / baseline rate (higher is better), and the
// pair's line shows the median with the lowest and highest: on a shared machine the spread says
// how far one figure can be trusted. Google Benchmark is the timer of each side's run.
//
// With REPOS_BENCH_SUMMARY naming a file, each pair also appends one line to it
// (program, pair, median, lowest, highest; tab-separated) for the closing table of run-bench.
#ifndef BENCH_HARNESS_H
#define BENCH_HARNESS_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct Pair {
    std::string label;
    std::string library;   // registered benchmark names
    std::string baseline;
};

// Keeps each run's rate and prints nothing: the harness prints its own table, without colour.
class RateCollector : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                errors_[run.benchmark_name()] = run.error_message;
                continue;
            }
            // Items per second where the benchmark counts items, else runs per second.
            auto it = run.counters.find("items_per_second");
            double seconds = run.real_accumulated_time;
            rates_[run.benchmark_name()] = it != run.counters.end()
                                               ? it->second.value
                                               : (seconds > 0 ? static_cast<double>(run.iterations) / seconds : 0);
        }
    }
    // The rate of one run of the named benchmark (its name as registered, without the
    // "/iterations:1/real_time" parts the library adds); 0 when it failed or did not run.
    double measure(const std::string& name) {
        rates_.clear();
        errors_.clear();
        std::string spec = "^";
        for (char c : name) {
            if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) spec += '\\';
            spec += c;
        }
        benchmark::RunSpecifiedBenchmarks(this, spec + "(/|$)");
        for (const auto& [full, rate] : rates_)
            if (full == name || full.compare(0, name.size() + 1, name + "/") == 0) return rate;
        return 0;
    }
    // Why the last measure gave 0.
    std::string error() const { return errors_.empty() ? "did not run" : errors_.begin()->second; }

private:
    std::map<std::string, double> rates_;
    std::map<std::string, std::string> errors_;
};

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline int rounds() {
    const char* text = std::getenv("REPOS_BENCH_ROUNDS");
    int n = text ? std::atoi(text) : 0;
    return std::max(n, 5);
}

inline int runPairs(int argc, char** argv, const char* program, const std::vector<Pair>& pairs) {
    benchmark::Initialize(&argc, argv);
    RateCollector collector;
    const int n = rounds();
    std::FILE* summary = nullptr;
    if (const char* path = std::getenv("REPOS_BENCH_SUMMARY")) summary = std::fopen(path, "a");
    std::printf("%s: %d interleaved rounds after a warm-up; ratio = library rate / baseline rate\n", program, n);
    std::printf("  %-36s %14s %14s %7s %7s %7s\n", "pair", "library/s", "baseline/s", "ratio", "low", "high");
    std::fflush(stdout);
    int failures = 0;
    for (const Pair& pair : pairs) {
        collector.measure(pair.library);
        collector.measure(pair.baseline);
        std::vector<double> ratios, library, baseline;
        std::string failed;
        auto measure = [&](const std::string& name) {
            double rate = collector.measure(name);
            if (rate <= 0 && failed.empty()) failed = name + ": " + collector.error();
            return rate;
        };
        for (int round = 0; round < n && failed.empty(); ++round) {
            double lib = 0, base = 0;
            if (round % 2 == 0) {
                lib = measure(pair.library);
                base = measure(pair.baseline);
            } else {
                base = measure(pair.baseline);
                lib = measure(pair.library);
            }
            if (!failed.empty()) break;
            ratios.push_back(lib / base);
            library.push_back(lib);
            baseline.push_back(base);
        }
        if (!failed.empty()) {
            std::printf("  %-36s failed: %s\n", pair.label.c_str(), failed.c_str());
            ++failures;
            continue;
        }
        const double mid = median(ratios);
        const double low = *std::min_element(ratios.begin(), ratios.end());
        const double high = *std::max_element(ratios.begin(), ratios.end());
        std::printf("  %-36s %14.0f %14.0f %7.2f %7.2f %7.2f\n", pair.label.c_str(), median(library),
                    median(baseline), mid, low, high);
        std::fflush(stdout);
        if (summary) std::fprintf(summary, "%s\t%s\t%.2f\t%.2f\t%.2f\n", program, pair.label.c_str(), mid, low, high);
    }
    if (summary) std::fclose(summary);
    benchmark::Shutdown();
    return failures ? 1 : 0;
}

}  // namespace bench

#endif
