// Rows read through a cursor and through cacheAll, beside the same select stepped through the
// SQLite C API. REPOS_BENCH_ROWS sets the row count (default 1M).
#include <string>

#include "bench_db_support.h"
#include "rda_factory.h"
#include "vqlog.h"

namespace {

const char* const kSelect = "SELECT ID, NAME, AMOUNT FROM R";

// One file of rows shared by every benchmark of the run.
const std::string& dataFile() {
    static benchdb::ScratchDir dir;
    static std::string path = [] {
        std::string p = dir.file("rows.db");
        sqlite3* db = benchdb::rawOpen(p);
        benchdb::rawExec(db, "CREATE TABLE R (ID INTEGER, NAME VARCHAR, AMOUNT FLOAT)");
        benchdb::rawExec(db, "BEGIN");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO R VALUES (?, ?, ?)", -1, &insert, nullptr);
        const long n = benchdb::rows(1000000);
        char name[32];
        for (long i = 0; i < n; ++i) {
            int len = std::snprintf(name, sizeof name, "name %ld", i);
            sqlite3_bind_int64(insert, 1, i);
            sqlite3_bind_text(insert, 2, name, len, SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 3, i * 0.25);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        benchdb::rawExec(db, "COMMIT");
        sqlite3_close_v2(db);
        return p;
    }();
    return path;
}

ReposDataAccess* openData(benchmark::State& state) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, dataFile(), "", nullptr, error);
    if (!c) state.SkipWithError(error.asCstr());
    return c;
}

// Reads every value of the current row the way the typed data access does: by getValue.
long readRows(ReposDataAccessCursor* cursor) {
    long n = 0;
    while (cursor->next() == 1) {
        VqbDatavar id = cursor->getValue(0);
        VqbDatavar name = cursor->getValue(1);
        VqbDatavar amount = cursor->getValue(2);
        benchmark::DoNotOptimize(id);
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(amount);
        ++n;
    }
    return n;
}

void BM_Read_LibraryCursor(benchmark::State& state) {
    ReposDataAccess* c = openData(state);
    if (!c) return;
    long n = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* cursor = c->paramSelect(kSelect, 0);
        n = readRows(cursor);
        cursor->release();
    }
    c->release();
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Read_LibraryCacheAll(benchmark::State& state) {
    ReposDataAccess* c = openData(state);
    if (!c) return;
    long n = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* cursor = c->paramSelect(kSelect, 0);
        if (!cursor->cacheAll()) state.SkipWithError("cacheAll failed");
        n = readRows(cursor);
        cursor->release();
    }
    c->release();
    state.SetItemsProcessed(state.iterations() * n);
}

// The raw baseline copies each text out, as any reader that keeps values must.
void BM_Read_Raw(benchmark::State& state) {
    sqlite3* db = benchdb::rawOpen(dataFile());
    long n = 0;
    for (auto _ : state) {
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(db, kSelect, -1, &select, nullptr);
        n = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            int64_t id = sqlite3_column_int64(select, 0);
            std::string name(reinterpret_cast<const char*>(sqlite3_column_text(select, 1)),
                             static_cast<size_t>(sqlite3_column_bytes(select, 1)));
            double amount = sqlite3_column_double(select, 2);
            benchmark::DoNotOptimize(id);
            benchmark::DoNotOptimize(name);
            benchmark::DoNotOptimize(amount);
            ++n;
        }
        sqlite3_finalize(select);
    }
    sqlite3_close_v2(db);
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_Read_LibraryCursor)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_LibraryCacheAll)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_Raw)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return benchdb::runWithRatios(argc, argv,
                                  {{"BM_Read_LibraryCursor", "BM_Read_Raw"},
                                   {"BM_Read_LibraryCacheAll", "BM_Read_Raw"}});
}
