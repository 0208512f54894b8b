// Find-or-insert of long names on a file repository reached through the connector, where a name
// past 255 bytes is kept as a big string: each name added, then each added again (found), every
// call in its own exclusive transaction. The baseline does the same with the SQLite C API on a
// table holding the names whole. The names share their first 280 characters, as the identities
// of one connection's tables do. Two sizes, a quarter of REPOS_BENCH_ROWS (2,000; 10,000 in a full run) and
// all of it: equal rates mean the work grows linearly with the names already stored.
#include <filesystem>
#include <string>
#include <vector>

#include "bench_harness.h"
#include "bench_repos_support.h"
#include "repos_common_rda.h"

namespace {

long names() { return benchdb::rows(2000, 10000); }

std::string nameOf(long i) {
    static const std::string head = "DRIVER=pg;SERVER=warehouse.example.org;DATABASE=sales|catalog|schema|" +
                                    std::string(280 - 67, 'p');
    return head + "|table_" + std::to_string(i);
}

const std::string& emptyRepository() {
    static std::string path = [] {
        std::string file = benchdb::scratch().file("names-empty.db");
        if (!benchdb::admin()->createFileRepository(file.c_str())) std::fprintf(stderr, "creating failed\n");
        return file;
    }();
    return path;
}

std::string copyOfEmpty(const char* tag) {
    const std::string path = benchdb::scratch().file(std::string("names-") + tag + ".db");
    std::filesystem::copy_file(emptyRepository(), path, std::filesystem::copy_options::overwrite_existing);
    return path;
}

void findOrInsertLibrary(benchmark::State& state, long n) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string file = copyOfEmpty("lib");
        Repository* repository = benchdb::admin()->connectRepository(RepositoryAdminImpl::fileConnection(file), "",
                                                                     false, nullptr);
        CommonRepositoryDataAccess* common = repository ? repository->createCommonRepositoryDataAccess() : nullptr;
        if (!common) {
            state.SkipWithError("no common data access through the connector");
            break;
        }
        state.ResumeTiming();
        bool ok = true;
        std::vector<unsigned> ids(static_cast<size_t>(n));
        for (long i = 0; ok && i < n; ++i) ok = (ids[static_cast<size_t>(i)] = common->addGlobalCategory(nameOf(i), "d")) != 0xFFFFFFFFu;
        for (long i = 0; ok && i < n; ++i) ok = common->addGlobalCategory(nameOf(i), "d") == ids[static_cast<size_t>(i)];
        if (!ok) state.SkipWithError("find-or-insert failed or answered another row");
        state.PauseTiming();
        common->release();
        repository->release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2 * n);
}

void findOrInsertRaw(benchmark::State& state, long n) {
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = benchdb::rawOpen(copyOfEmpty("raw"));
        sqlite3_stmt* find = nullptr;
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "SELECT GC_ID FROM GCATS WHERE GCNAME = ?", -1, &find, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO GCATS (GC_ID, GCNAME, GCDESC) VALUES (?, ?, 'd')", -1, &insert, nullptr);
        state.ResumeTiming();
        long next = 1;
        for (int pass = 0; pass < 2; ++pass) {
            for (long i = 0; i < n; ++i) {
                const std::string name = nameOf(i);
                benchdb::rawExec(db, "BEGIN IMMEDIATE TRANSACTION");
                sqlite3_bind_text(find, 1, name.c_str(), -1, SQLITE_TRANSIENT);
                const bool found = sqlite3_step(find) == SQLITE_ROW;
                sqlite3_reset(find);
                if (!found) {
                    sqlite3_bind_int64(insert, 1, next++);
                    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_step(insert);
                    sqlite3_reset(insert);
                }
                benchdb::rawExec(db, "COMMIT TRANSACTION");
            }
        }
        state.PauseTiming();
        sqlite3_finalize(find);
        sqlite3_finalize(insert);
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2 * n);
}

void BM_QuarterNames_Library(benchmark::State& state) { findOrInsertLibrary(state, names() / 4); }
void BM_QuarterNames_Raw(benchmark::State& state) { findOrInsertRaw(state, names() / 4); }
void BM_AllNames_Library(benchmark::State& state) { findOrInsertLibrary(state, names()); }
void BM_AllNames_Raw(benchmark::State& state) { findOrInsertRaw(state, names()); }

BENCHMARK(BM_QuarterNames_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QuarterNames_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllNames_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllNames_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    const std::vector<bench::Pair> pairs = {
        {"find-or-insert, a quarter of the names", "BM_QuarterNames_Library", "BM_QuarterNames_Raw"},
        {"find-or-insert, all names", "BM_AllNames_Library", "BM_AllNames_Raw"}};
    return bench::runPairs(argc, argv, "bench_long_names", pairs);
}
