// Shared parts of the database-layer benchmarks: a scratch folder, row counts, and a reporter
// that prints each library rate beside its raw SQLite baseline from the same run.
#ifndef BENCH_DB_SUPPORT_H
#define BENCH_DB_SUPPORT_H

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace benchdb {

// Row counts come from REPOS_BENCH_ROWS so a quick run and a full run use the same program.
inline long rows(long fallback) {
    const char* text = getenv("REPOS_BENCH_ROWS");
    long n = text ? atol(text) : 0;
    return n > 0 ? n : fallback;
}

class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "repos-bench-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path_ = buf.data();
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // A path that does not exist yet.
    std::string fresh(const std::string& stem) {
        std::string f = file(stem + std::to_string(counter_++) + ".db");
        std::error_code ec;
        std::filesystem::remove(f, ec);
        return f;
    }

private:
    std::string path_;
    int counter_ = 0;
};

// A raw connection set up like the library's: rollback journal, full sync.
inline sqlite3* rawOpen(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return db;
}

inline void rawExec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "raw SQL failed: %s: %s\n", sql, error ? error : "?");
        sqlite3_free(error);
    }
}

// Collects items_per_second per benchmark name while printing as usual.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (run.error_occurred || it == run.counters.end()) continue;
            rates_[run.run_name.function_name] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // One line per pair: library rate, raw rate, library / raw.
    void printRatios(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        std::printf("\n%-40s %16s %16s %8s\n", "library vs raw SQLite", "library/s", "raw/s", "ratio");
        for (const auto& p : pairs) {
            auto lib = rates_.find(p.first);
            auto raw = rates_.find(p.second);
            if (lib == rates_.end() || raw == rates_.end() || raw->second <= 0) continue;
            std::printf("%-40s %16.0f %16.0f %8.2f\n", p.first.c_str(), lib->second, raw->second,
                        lib->second / raw->second);
        }
    }

private:
    std::map<std::string, double> rates_;
};

inline int runWithRatios(int argc, char** argv, const std::vector<std::pair<std::string, std::string>>& pairs) {
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchdb

#endif
