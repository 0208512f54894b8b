// Reserving ids from UCURID one at a time and in blocks, beside the same statements run
// through the SQLite C API. Both run inside one transaction, as callers that insert rows do.
#include "bench_db_support.h"
#include "rda_factory.h"
#include "vqlog.h"

namespace {

constexpr int kBlock = 100;
const char* const kTable =
    "CREATE TABLE UCURID (NI_KEY VARCHAR, NI_VAL INTEGER); CREATE INDEX idx100 ON UCURID(NI_KEY)";

benchdb::ScratchDir& scratch() {
    static benchdb::ScratchDir dir;
    return dir;
}

void libraryIds(benchmark::State& state, int count) {
    VqbString error;
    ReposDataAccess* c =
        createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, scratch().fresh("lib"), "", nullptr, error);
    if (!c) {
        state.SkipWithError(error.asCstr());
        return;
    }
    c->paramExec(kTable, nullptr, 0);
    c->beginTransaction(false);
    VqbDatavar first;
    for (auto _ : state) {
        if (!c->getNextIds("JOB", count, &first, nullptr)) state.SkipWithError("reservation failed");
        benchmark::DoNotOptimize(first);
    }
    c->endTransaction(true);
    c->release();
    state.SetItemsProcessed(state.iterations() * (count < 1 ? 1 : count));
}

// The same two statements with the same parameters, prepared once: what a hand-written id
// counter over the C API costs.
void rawIds(benchmark::State& state, int count) {
    sqlite3* db = benchdb::rawOpen(scratch().fresh("raw"));
    benchdb::rawExec(db, kTable);
    benchdb::rawExec(db, "BEGIN TRANSACTION");
    sqlite3_stmt *select = nullptr, *update = nullptr, *insert = nullptr;
    sqlite3_prepare_v2(db, "SELECT NI_VAL FROM \"UCURID\" WHERE NI_KEY=? ORDER BY NI_VAL DESC", -1, &select, nullptr);
    sqlite3_prepare_v2(db, "UPDATE \"UCURID\" SET NI_VAL=? WHERE NI_KEY=? AND NI_VAL=?", -1, &update, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO \"UCURID\" (NI_KEY, NI_VAL) VALUES (?,?)", -1, &insert, nullptr);
    const int64_t step = count < 1 ? 1 : count;
    for (auto _ : state) {
        for (;;) {
            sqlite3_bind_text(select, 1, "JOB", 3, SQLITE_STATIC);
            if (sqlite3_step(select) != SQLITE_ROW) {
                sqlite3_reset(select);
                sqlite3_bind_text(insert, 1, "JOB", 3, SQLITE_STATIC);
                sqlite3_bind_int64(insert, 2, 0);
                sqlite3_step(insert);
                sqlite3_reset(insert);
                continue;
            }
            int64_t old = sqlite3_column_int64(select, 0);
            sqlite3_reset(select);
            sqlite3_bind_int64(update, 1, old + step);
            sqlite3_bind_text(update, 2, "JOB", 3, SQLITE_STATIC);
            sqlite3_bind_int64(update, 3, old);
            sqlite3_step(update);
            sqlite3_reset(update);
            if (sqlite3_changes(db) > 0) {
                benchmark::DoNotOptimize(old);
                break;
            }
        }
    }
    sqlite3_finalize(select);
    sqlite3_finalize(update);
    sqlite3_finalize(insert);
    benchdb::rawExec(db, "COMMIT TRANSACTION");
    sqlite3_close_v2(db);
    state.SetItemsProcessed(state.iterations() * step);
}

void BM_Ids_Library_Single(benchmark::State& state) { libraryIds(state, -1); }
void BM_Ids_Raw_Single(benchmark::State& state) { rawIds(state, -1); }
void BM_Ids_Library_Block100(benchmark::State& state) { libraryIds(state, kBlock); }
void BM_Ids_Raw_Block100(benchmark::State& state) { rawIds(state, kBlock); }

BENCHMARK(BM_Ids_Library_Single);
BENCHMARK(BM_Ids_Raw_Single);
BENCHMARK(BM_Ids_Library_Block100);
BENCHMARK(BM_Ids_Raw_Block100);

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return bench::runPairs(argc, argv, "bench_db_ids",
                           {{"ids one at a time", "BM_Ids_Library_Single", "BM_Ids_Raw_Single"},
                            {"ids in blocks of 100", "BM_Ids_Library_Block100", "BM_Ids_Raw_Block100"}});
}
