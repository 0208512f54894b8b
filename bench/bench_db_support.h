// Shared parts of the database-layer benchmarks: a scratch folder, row counts and raw SQLite
// helpers for the baselines.
#ifndef BENCH_DB_SUPPORT_H
#define BENCH_DB_SUPPORT_H

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_harness.h"

namespace benchdb {

// A program's main count: REPOS_BENCH_ROWS when set, else its default or full size.
inline long rows(long quick, long full) { return bench::size("REPOS_BENCH_ROWS", quick, full); }
// A count that is the same in the default and the full run (labels that name it stay true).
inline long rows(long both) { return rows(both, both); }

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

// n rows inserted in one transaction; bind sets the parameters of row i.
template <class Bind>
void fillRows(sqlite3* db, const char* insertSql, long n, Bind bind) {
    rawExec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, insertSql, -1, &insert, nullptr);
    for (long i = 0; i < n; ++i) {
        bind(insert, i);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    rawExec(db, "COMMIT");
}

}  // namespace benchdb

#endif
