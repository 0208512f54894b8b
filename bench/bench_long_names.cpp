// Find-or-insert of long names on a file repository reached through the connector, where a name
// past 255 bytes is kept as a big string: each name added, then each added again (found), every
// call in its own exclusive transaction. The baseline does the same with the SQLite C API on a
// table holding the names whole. The names share their first 280 characters, as the identities
// of one connection's tables do. Two sizes, a quarter of REPOS_BENCH_ROWS (2,000; 10,000 in a full run) and
// all of it: equal rates mean the work grows linearly with the names already stored.
//
// Cost rows compare the library with itself (the smaller work on the library side, so the ratio
// is the cost factor, lower is better): 500 lookups of global categories by distinct long names on
// a fresh connection, the same 1,000 categories in both repositories, with 49,000 rules' long names
// beside them in BIGSTR against none; and 500 lookups of one rule whose long name was saved 2,000
// times against one saved once. With REPOS_TEST_PG set, the first again on PostgreSQL. Each
// repository is made once a run, outside the timing; these sizes are the same in a full run.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_harness.h"
#include "bench_repos_support.h"
#include "repos_common_rda.h"
#include "repos_held.h"
#include "repos_repository.h"
#include "vqbutil.h"

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

// ---- lookups: their cost must not grow with the big strings stored

constexpr long kFewNames = 1000, kManyNames = 50000, kLookups = 500, kSaves = 2000;

// A repository reached through the connector, made once, with the ids its lookups must answer.
struct Prepared {
    VqbString connection;
    VqbString prefix;
    std::vector<unsigned> ids;
    bool ok = false;
};

// A fresh connection to the repository and its common data access; common is null when either failed.
struct Session {
    explicit Session(const Prepared& where)
        : repository(benchdb::admin()->connectRepository(where.connection, where.prefix, false, nullptr)),
          common(repository ? repository->createCommonRepositoryDataAccess() : nullptr) {}
    ReposHeld<Repository> repository;
    ReposHeld<CommonRepositoryDataAccess> common;
};

// Runs step(common, i) for each i < count on a fresh connection, a thousand to a transaction: on
// PostgreSQL, one transaction for all would leave every version of the id counters' rows for each
// later id draw to read.
template <class Step>
void prepare(Prepared& made, long count, Step step) {
    Session session(made);
    CommonRepositoryDataAccess* common = session.common.get();
    bool ok = common != nullptr;
    for (long from = 0; ok && from < count; from += 1000) {
        if (!(ok = common->beginTransaction(true))) break;
        for (long i = from; ok && i < std::min(count, from + 1000); ++i) ok = step(common, i);
        ok = common->endTransaction(ok) && ok;
    }
    made.ok = ok;
    if (!made.ok)
        std::fprintf(stderr, "preparing a repository failed: %s\n", common ? common->getErrorMessage().asCstr() : "");
}

// BIGSTR holds a big string for each name nameOf(i), i < count. The lookups go to the first
// kFewNames, global categories; the rest are rules' names, so that between the two sizes only
// BIGSTR grows (a lookup by GCNAME, which has no index, reads every category).
void addNames(Prepared& made, long count) {
    prepare(made, count, [&](CommonRepositoryDataAccess* common, long i) {
        if (i < kFewNames) {
            made.ids.push_back(common->addGlobalCategory(nameOf(i), "d"));
            return made.ids.back() != 0xFFFFFFFFu;
        }
        const unsigned id = common->addRule(nameOf(i), "B", "expression", "G", "", "u", vqbNewUUID(), 0, "", "");
        return id != 0 && id != 0xFFFFFFFFu;
    });
}

Prepared fileWhere(const char* tag) {
    Prepared made;
    made.connection = RepositoryAdminImpl::fileConnection(copyOfEmpty(tag));
    made.prefix = "";
    return made;
}

const Prepared& fileNames(long count) {
    static Prepared few = fileWhere("few"), many = fileWhere("many");
    Prepared& made = count == kFewNames ? few : many;
    if (made.ids.empty()) addNames(made, count);
    return made;
}

// One rule named nameOf(0), saved saves times as a host saves it: the same name, a later edit date.
const Prepared& savedRule(long saves) {
    static Prepared once = fileWhere("saved-once"), often = fileWhere("saved-often");
    Prepared& made = saves == 1 ? once : often;
    if (!made.ids.empty()) return made;
    const VqbString name(nameOf(0).c_str()), uuid = vqbNewUUID();
    prepare(made, saves, [&](CommonRepositoryDataAccess* common, long s) {
        if (s == 0) {
            made.ids.push_back(common->addRule(name, "B", "expression", "G", "", "u", uuid, 0, "", ""));
            return made.ids.back() != 0 && made.ids.back() != 0xFFFFFFFFu;
        }
        return common->updateRule(made.ids.back(), name, "B", "expression", "G", "", "u", 1.0,
                                  1.0 + static_cast<double>(s), "u", uuid, 0, "", "");
    });
    return made;
}

// kLookups lookups on a fresh connection; found(common, k) tells whether the k-th gave its row.
template <class Found>
void timeLookups(benchmark::State& state, const Prepared& where, Found found) {
    if (!where.ok) return state.SkipWithError("the repository could not be prepared");
    for (auto _ : state) {
        state.PauseTiming();
        auto session = std::make_unique<Session>(where);
        if (!session->common) return state.SkipWithError("no common data access through the connector");
        state.ResumeTiming();
        bool ok = true;
        for (long k = 0; ok && k < kLookups; ++k) ok = found(session->common.get(), k);
        if (!ok) state.SkipWithError("a lookup failed or answered another row");
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLookups);
}

// The only row of the cursor has the id.
bool onlyRow(ReposDataAccessCursor* rows, unsigned id) {
    ReposHeld<ReposDataAccessCursor> held(rows);
    return held && held->next() == 1 && static_cast<unsigned>(held->getInt(0)) == id && held->next() == 0;
}

// Every other category's name: the same lookups in both repositories.
void lookupNames(benchmark::State& state, const Prepared& where) {
    timeLookups(state, where, [&](CommonRepositoryDataAccess* common, long k) {
        const long i = k * kFewNames / kLookups;
        return onlyRow(common->findGlobalCategory(-1, nameOf(i), ""), where.ids[static_cast<size_t>(i)]);
    });
}

void lookupRule(benchmark::State& state, const Prepared& where) {
    timeLookups(state, where, [&](CommonRepositoryDataAccess* common, long) {
        return onlyRow(common->findRule(-1, nameOf(0), ""), where.ids.front());
    });
}

void BM_LookupFew_Library(benchmark::State& state) { lookupNames(state, fileNames(kFewNames)); }
void BM_LookupMany_Library(benchmark::State& state) { lookupNames(state, fileNames(kManyNames)); }
void BM_LookupSavedOnce_Library(benchmark::State& state) { lookupRule(state, savedRule(1)); }
void BM_LookupSavedOften_Library(benchmark::State& state) { lookupRule(state, savedRule(kSaves)); }

// Repositories of the run's own on the PostgreSQL test server, removed at the end.
struct PgNames {
    benchdb::PgImpactStore few{"bnf"}, many{"bnm"};
    Prepared fewNames, manyNames;
    bool tried = false;

    const Prepared& names(long count) {
        if (!tried) {
            tried = true;
            fill(few, fewNames, kFewNames);
            fill(many, manyNames, kManyNames);
        }
        return count == kFewNames ? fewNames : manyNames;
    }
    void fill(benchdb::PgImpactStore& store, Prepared& made, long count) {
        if (!store.make()) return;
        made.connection = store.where;
        made.prefix = store.prefix;
        addNames(made, count);
    }
};

PgNames& pg() {
    static PgNames names;
    return names;
}

void BM_PgLookupFew_Library(benchmark::State& state) { lookupNames(state, pg().names(kFewNames)); }
void BM_PgLookupMany_Library(benchmark::State& state) { lookupNames(state, pg().names(kManyNames)); }

BENCHMARK(BM_LookupFew_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LookupMany_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LookupSavedOnce_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LookupSavedOften_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PgLookupFew_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PgLookupMany_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    // Cost rows put the smaller work on the library side: their ratio is the cost factor.
    std::vector<bench::Pair> pairs = {
        {"find-or-insert, a quarter of the names", "BM_QuarterNames_Library", "BM_QuarterNames_Raw"},
        {"find-or-insert, all names", "BM_AllNames_Library", "BM_AllNames_Raw"},
        {"cost x: lookup, 50,000 big strings vs 1,000 (<= 3)", "BM_LookupFew_Library", "BM_LookupMany_Library"},
        {"cost x: lookup after 2,000 saves of one name vs 1 (<= 3)", "BM_LookupSavedOnce_Library",
         "BM_LookupSavedOften_Library"}};
    const char* server = std::getenv("REPOS_TEST_PG");
    if (server && *server) {
        pairs.push_back({"cost x: PostgreSQL lookup, 50,000 big strings vs 1,000 (<= 3)", "BM_PgLookupFew_Library",
                         "BM_PgLookupMany_Library"});
    } else {
        std::printf("bench_long_names: REPOS_TEST_PG is not set; the PostgreSQL pair does not run\n");
    }
    const int result = bench::runPairs(argc, argv, "bench_long_names", pairs);
    if (server && *server) {
        pg().few.close();
        pg().many.close();
    }
    return result;
}
