// Runs each benchmark pair (the library's way, the raw baseline doing the same work) interleaved:
// one warm-up of each, then REPOS_BENCH_ROUNDS rounds (at least 5) that alternate which side goes
// first. Each round gives one ratio, library rate / baseline rate (higher is better), and the
// pair's line shows the median with the lowest and highest: on a shared machine the spread says
// how far one figure can be trusted. Google Benchmark is the timer of each side's run.
//
// A pair whose label starts with "cost x:" compares the library with itself: the smaller work on
// the library side, the larger as baseline, so its ratio is how many times the larger work costs
// the smaller's, and lower is better. Its label ends with the most it should be, "(<= N)".
//
// With REPOS_BENCH_SUMMARY naming a file, each pair also appends one line to it
// (program, pair, median, lowest, highest; tab-separated) for the closing table of run-bench.
//
// Each program has a default size, small enough for the whole of `make bench` to take minutes yet
// large enough that the cost per row outweighs each side's fixed set-up, and a full size
// (REPOS_BENCH_FULL=1, set by `make bench FULL=1`); a program's own size variable overrides both.
#ifndef BENCH_HARNESS_H
#define BENCH_HARNESS_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

inline bool fullSizes() {
    const char* text = std::getenv("REPOS_BENCH_FULL");
    return text && *text && std::strcmp(text, "0") != 0;
}

// The size to run: the variable when it holds a positive number, else the default or full size.
inline long size(const char* variable, long quick, long full) {
    const char* text = variable ? std::getenv(variable) : nullptr;
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? n : fullSizes() ? full : quick;
}

// A rate with three significant figures at least; one below 1 per second is given per minute or
// per hour instead, so that a slow side never reads as 0.
inline std::string formatRate(double perSecond) {
    char text[32];
    if (perSecond >= 100 || perSecond <= 0) {
        std::snprintf(text, sizeof text, "%.0f", perSecond);
    } else if (perSecond >= 1) {
        std::snprintf(text, sizeof text, "%.3g", perSecond);
    } else if (perSecond * 60 >= 1) {
        std::snprintf(text, sizeof text, "%.3g/min", perSecond * 60);
    } else {
        std::snprintf(text, sizeof text, "%.3g/h", perSecond * 3600);
    }
    return text;
}

// A ratio with two decimals, or two significant figures below 0.1, where two decimals could read 0.00.
inline std::string formatRatio(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, ratio >= 0.1 ? "%.2f" : "%.2g", ratio);
    return text;
}

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

inline bool costRow(const std::string& label) { return label.compare(0, 7, "cost x:") == 0; }

inline int runPairs(int argc, char** argv, const char* program, const std::vector<Pair>& pairs) {
    benchmark::Initialize(&argc, argv);
    RateCollector collector;
    const int n = rounds();
    std::FILE* summary = nullptr;
    if (const char* path = std::getenv("REPOS_BENCH_SUMMARY")) summary = std::fopen(path, "a");
    int width = 4;
    for (const Pair& pair : pairs) width = std::max(width, static_cast<int>(pair.label.size()));
    std::printf("%s (%s sizes): %d interleaved rounds after a warm-up; ratio = library rate / baseline rate, higher "
                "is better\n",
                program, fullSizes() ? "full" : "default", n);
    if (std::any_of(pairs.begin(), pairs.end(), [](const Pair& pair) { return costRow(pair.label); }))
        std::printf("  \"cost x:\" rows: the library with itself, the smaller work as library; the ratio is the cost "
                    "factor, lower is better\n");
    std::printf("  %-*s %14s %14s %7s %7s %7s\n", width, "pair", "library/s", "baseline/s", "ratio", "low", "high");
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
            std::printf("  %-*s failed: %s\n", width, pair.label.c_str(), failed.c_str());
            ++failures;
            continue;
        }
        const double mid = median(ratios);
        const double low = *std::min_element(ratios.begin(), ratios.end());
        const double high = *std::max_element(ratios.begin(), ratios.end());
        const std::string ratio = formatRatio(mid), lowest = formatRatio(low), highest = formatRatio(high);
        std::printf("  %-*s %14s %14s %7s %7s %7s\n", width, pair.label.c_str(), formatRate(median(library)).c_str(),
                    formatRate(median(baseline)).c_str(), ratio.c_str(), lowest.c_str(), highest.c_str());
        std::fflush(stdout);
        if (summary)
            std::fprintf(summary, "%s\t%s\t%s\t%s\t%s\n", program, pair.label.c_str(), ratio.c_str(), lowest.c_str(),
                         highest.c_str());
    }
    if (summary) std::fclose(summary);
    benchmark::Shutdown();
    return failures ? 1 : 0;
}

}  // namespace bench

#endif
