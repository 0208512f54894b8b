// Rows inserted through a prepared ReposDataAccessStatement inside one transaction, beside the
// same inserts through the SQLite C API. REPOS_BENCH_ROWS sets the row count (default 200,000;
// 1M in a full run).
#include "bench_db_support.h"
#include "rda_factory.h"
#include "vqlog.h"

namespace {

const char* const kTable = "CREATE TABLE R (ID INTEGER, NAME VARCHAR, AMOUNT FLOAT)";
const char* const kInsert = "INSERT INTO R (ID, NAME, AMOUNT) VALUES (?, ?, ?)";

benchdb::ScratchDir& scratch() {
    static benchdb::ScratchDir dir;
    return dir;
}

void BM_Insert_Library(benchmark::State& state) {
    const long n = benchdb::rows(200000, 1000000);
    for (auto _ : state) {
        state.PauseTiming();
        VqbString error;
        ReposDataAccess* c =
            createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, scratch().fresh("lib"), "", nullptr, error);
        c->paramExec(kTable, nullptr, 0);
        state.ResumeTiming();
        c->beginTransaction(false);
        ReposDataAccessStatement* insert = c->createStatement(kInsert);
        char name[32];
        for (long i = 0; i < n; ++i) {
            std::snprintf(name, sizeof name, "name %ld", i);
            insert->setParameter(0, VqbDatavar(i));
            insert->setParameter(1, VqbDatavar(name));
            insert->setParameter(2, VqbDatavar(i * 0.25));
            if (!insert->execute()) state.SkipWithError("insert failed");
        }
        insert->release();
        c->endTransaction(true);
        state.PauseTiming();
        c->release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Insert_Raw(benchmark::State& state) {
    const long n = benchdb::rows(200000, 1000000);
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = benchdb::rawOpen(scratch().fresh("raw"));
        benchdb::rawExec(db, kTable);
        state.ResumeTiming();
        benchdb::rawExec(db, "BEGIN TRANSACTION");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsert, -1, &insert, nullptr);
        char name[32];
        for (long i = 0; i < n; ++i) {
            int len = std::snprintf(name, sizeof name, "name %ld", i);
            sqlite3_bind_int64(insert, 1, i);
            sqlite3_bind_text(insert, 2, name, len, SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 3, i * 0.25);
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        benchdb::rawExec(db, "COMMIT TRANSACTION");
        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_Insert_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Insert_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return bench::runPairs(argc, argv, "bench_db_insert", {{"insert rows", "BM_Insert_Library", "BM_Insert_Raw"}});
}
