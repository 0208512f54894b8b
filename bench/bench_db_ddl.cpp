// Creating the whole table catalogue through the connection factory, beside the same DDL text
// run through the SQLite C API, statement by statement as the library runs it.
#include <string>
#include <vector>

#include "bench_db_support.h"
#include "rda_factory.h"
#include "vqlog.h"

namespace {

benchdb::ScratchDir& scratch() {
    static benchdb::ScratchDir dir;
    return dir;
}

class Recorder : public RepositoryStatusCallback {
public:
    bool reportProgress(const VqbString&) override { return true; }
    void reportMessage(const VqbString& text) override {
        if (recording) statements.push_back(text.str());
    }
    bool recording = false;
    std::vector<std::string> statements;
};

ReposTableRequest whole(uint8_t catalog) {
    ReposTableRequest r;
    r.catalog = catalog;
    r.dropFirst = 1;
    r.create = 1;
    return r;
}

bool createCatalogue(RepositoryStatusCallback* callback, bool oneTransaction) {
    VqbString error;
    ReposDataAccess* c =
        createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, scratch().fresh("lib"), "", callback, error);
    if (!c) return false;
    bool ok = (!oneTransaction || c->beginTransaction(false)) && c->createTable(whole(0)) && c->createTable(whole(1)) &&
              (!oneTransaction || c->endTransaction(true));
    c->release();
    return ok;
}

// The statements the library runs, taken from one creation.
const std::vector<std::string>& catalogueDdl() {
    static Recorder recorder;
    static bool done = [] {
        recorder.recording = true;
        return createCatalogue(&recorder, true);
    }();
    (void)done;
    return recorder.statements;
}

void library(benchmark::State& state, bool oneTransaction) {
    size_t statements = catalogueDdl().size();
    for (auto _ : state)
        if (!createCatalogue(nullptr, oneTransaction)) state.SkipWithError("creation failed");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(statements));
}

void raw(benchmark::State& state, bool oneTransaction) {
    const auto& ddl = catalogueDdl();
    for (auto _ : state) {
        sqlite3* db = benchdb::rawOpen(scratch().fresh("raw"));
        if (oneTransaction) benchdb::rawExec(db, "BEGIN TRANSACTION");
        for (const std::string& sql : ddl) benchdb::rawExec(db, sql.c_str());
        if (oneTransaction) benchdb::rawExec(db, "COMMIT TRANSACTION");
        sqlite3_close_v2(db);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ddl.size()));
}

void BM_Catalogue_Library_OneTransaction(benchmark::State& state) { library(state, true); }
void BM_Catalogue_Raw_OneTransaction(benchmark::State& state) { raw(state, true); }
void BM_Catalogue_Library_Autocommit(benchmark::State& state) { library(state, false); }
void BM_Catalogue_Raw_Autocommit(benchmark::State& state) { raw(state, false); }

BENCHMARK(BM_Catalogue_Library_OneTransaction)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Catalogue_Raw_OneTransaction)->Unit(benchmark::kMillisecond)->UseRealTime();
// A synced commit per statement makes one catalogue take seconds: one per measure by default.
BENCHMARK(BM_Catalogue_Library_Autocommit)
    ->Iterations(bench::size(nullptr, 1, 2))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Catalogue_Raw_Autocommit)
    ->Iterations(bench::size(nullptr, 1, 2))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return bench::runPairs(
        argc, argv, "bench_db_ddl",
        {{"catalogue DDL, one transaction", "BM_Catalogue_Library_OneTransaction", "BM_Catalogue_Raw_OneTransaction"},
         {"catalogue DDL, autocommit", "BM_Catalogue_Library_Autocommit", "BM_Catalogue_Raw_Autocommit"}});
}
