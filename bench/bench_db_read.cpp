// Rows read through a cursor and through cacheAll, beside the same select stepped through the
// SQLite C API; and key/values listed by a host through the repository, beside the same rows read
// into a vector through the C API. REPOS_BENCH_ROWS sets the row count (default 200,000 rows,
// 40,000 key/values; 1M and 200,000 in a full run).
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "bench_db_support.h"
#include "rda_factory.h"
#include "repos_admin.h"
#include "repos_repository.h"
#include "vqbconfig.h"
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
        benchdb::fillRows(db, "INSERT INTO R VALUES (?, ?, ?)", benchdb::rows(200000, 1000000), [](sqlite3_stmt* insert, long i) {
            char name[32];
            int len = std::snprintf(name, sizeof name, "name %ld", i);
            sqlite3_bind_int64(insert, 1, i);
            sqlite3_bind_text(insert, 2, name, len, SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 3, i * 0.25);
        });
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

// What a reader that keeps every row must do: each value copied out of SQLite into memory, then
// read once, as a cacheAll followed by getValue over every row.
using RawValue = std::variant<std::monostate, int64_t, double, std::string>;

RawValue rawValue(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER:
            return sqlite3_column_int64(statement, column);
        case SQLITE_FLOAT:
            return sqlite3_column_double(statement, column);
        case SQLITE_NULL:
            return std::monostate{};
        default:
            return std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                               static_cast<size_t>(sqlite3_column_bytes(statement, column)));
    }
}

// Every row of the select kept in memory, then each value read once; the row count.
long rawKeepAll(sqlite3* db, const char* sql) {
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &select, nullptr);
    const int columns = sqlite3_column_count(select);
    std::vector<std::vector<RawValue>> rows;
    while (sqlite3_step(select) == SQLITE_ROW) {
        std::vector<RawValue> row;
        row.reserve(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i) row.push_back(rawValue(select, i));
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(select);
    for (const auto& row : rows)
        for (const RawValue& value : row) benchmark::DoNotOptimize(value);
    return static_cast<long>(rows.size());
}

void BM_Read_RawKeepAll(benchmark::State& state) {
    sqlite3* db = benchdb::rawOpen(dataFile());
    long n = 0;
    for (auto _ : state) n = rawKeepAll(db, kSelect);
    sqlite3_close_v2(db);
    state.SetItemsProcessed(state.iterations() * n);
}

// A file repository holding the key/values a host lists.
const std::string& keyValueFile() {
    static benchdb::ScratchDir dir;
    static std::string path = [] {
        std::string p = dir.file("keyvalues.db");
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", dir.file("").c_str());
        RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
        bool ok = admin && admin->createFileRepository(p.c_str());
        if (admin) admin->release();
        if (!ok) return std::string();
        sqlite3* db = benchdb::rawOpen(p);
        benchdb::fillRows(db, "INSERT INTO KEYVAL (V_KEY, V_VALUE) VALUES (?, ?)", benchdb::rows(40000, 200000),
                          [](sqlite3_stmt* insert, long i) {
                              std::string key = "key." + std::to_string(i);
                              std::string value = "value of key " + std::to_string(i * 7919);
                              sqlite3_bind_text(insert, 1, key.c_str(), -1, SQLITE_TRANSIENT);
                              sqlite3_bind_text(insert, 2, value.c_str(), -1, SQLITE_TRANSIENT);
                          });
        sqlite3_close_v2(db);
        return p;
    }();
    return path;
}

void BM_KeyValues_Library(benchmark::State& state) {
    if (keyValueFile().empty()) return state.SkipWithError("the key/value repository could not be made");
    RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    Repository* repository = admin->openFileRepository(keyValueFile().c_str(), true);
    if (!repository) {
        state.SkipWithError(admin->getErrorMessage().asCstr());
        admin->release();
        return;
    }
    long n = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* cursor = repository->listKeyValues();
        if (!cursor) {
            state.SkipWithError(repository->getErrorMessage().asCstr());
            break;
        }
        n = 0;
        const int columns = cursor->getNumCols();
        while (cursor->next() == 1) {
            for (int i = 0; i < columns; ++i) {
                VqbDatavar value = cursor->getValue(i);
                benchmark::DoNotOptimize(value);
            }
            ++n;
        }
        cursor->release();
    }
    repository->release();
    admin->release();
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_KeyValues_Raw(benchmark::State& state) {
    if (keyValueFile().empty()) return state.SkipWithError("the key/value repository could not be made");
    sqlite3* db = benchdb::rawOpen(keyValueFile());
    long n = 0;
    for (auto _ : state) n = rawKeepAll(db, "SELECT * FROM KEYVAL");
    sqlite3_close_v2(db);
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_Read_LibraryCursor)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_LibraryCacheAll)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_RawKeepAll)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KeyValues_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KeyValues_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return bench::runPairs(argc, argv, "bench_db_read",
                           {{"read rows through a cursor", "BM_Read_LibraryCursor", "BM_Read_Raw"},
                            {"cacheAll, then every value", "BM_Read_LibraryCacheAll", "BM_Read_RawKeepAll"},
                            {"listKeyValues, every value", "BM_KeyValues_Library", "BM_KeyValues_Raw"}});
}
