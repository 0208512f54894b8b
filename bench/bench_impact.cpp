// Impact analysis on a file repository beside the SQLite C API doing the same work: an owner's links
// rewritten to 10,000 resources of which half are new, the 100,000 owners of one resource read, and
// 100,000 unused resources of 200,000 removed. REPOS_BENCH_ROWS scales the counts (default 100,000).
// With REPOS_TEST_PG set, the first load of an owner's links on PostgreSQL, beside psql running the
// same statements from a script.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_repos_support.h"
#include "repimpanlysimpl.h"
#include "repositoryimpl.h"
#include "repos_admin.h"
#include "repos_repository.h"
#include "vqbconfig.h"
#include "vqlog.h"

namespace {

long scale() { return benchdb::rows(100000); }

const std::string& repositoryFile() {
    static benchdb::ScratchDir dir;
    static std::string path = [] {
        std::string p = dir.file("impact.db");
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", dir.file("").c_str());
        RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
        bool ok = admin && admin->createFileRepository(p.c_str());
        if (admin) admin->release();
        return ok ? p : std::string();
    }();
    return path;
}

std::string identity(long i) { return "file|/data/in/" + std::to_string(i) + ".txt|" + std::to_string(i) + ".txt"; }

// Empties the store and fills it: resources 1..count, each link (resource, owner) as given.
void fillStore(long count, const std::vector<std::pair<long, long>>& links) {
    sqlite3* db = benchdb::rawOpen(repositoryFile());
    benchdb::rawExec(db, "DELETE FROM IMPDEP");
    benchdb::rawExec(db, "DELETE FROM IMPRCS");
    benchdb::fillRows(db, "INSERT INTO IMPRCS (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE) VALUES (?, ?, ?, 'File')", count,
                      [](sqlite3_stmt* insert, long i) {
                          const std::string name = std::to_string(i + 1) + ".txt", id = identity(i + 1);
                          sqlite3_bind_int64(insert, 1, i + 1);
                          sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
                          sqlite3_bind_text(insert, 3, id.c_str(), -1, SQLITE_TRANSIENT);
                      });
    benchdb::fillRows(db, "INSERT INTO IMPDEP (RCS_ID, RCS_USED) VALUES (?, ?)", static_cast<long>(links.size()),
                      [&](sqlite3_stmt* insert, long i) {
                          sqlite3_bind_int64(insert, 1, links[static_cast<size_t>(i)].first);
                          sqlite3_bind_int64(insert, 2, links[static_cast<size_t>(i)].second);
                      });
    benchdb::rawExec(db, "DELETE FROM UCURID WHERE NI_KEY = 'IMPRCS'");
    benchdb::rawExec(db, ("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('IMPRCS', " + std::to_string(count + 1) + ")").c_str());
    sqlite3_close_v2(db);
}

struct Opened {
    RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    Repository* repository = admin ? admin->openFileRepository(repositoryFile().c_str(), false) : nullptr;
    RepositoryImpactAnalysis* impact = repository ? repository->createRepositoryImpactAnalysis() : nullptr;
    ~Opened() {
        if (impact) impact->release();
        if (repository) repository->release();
        if (admin) admin->release();
    }
};

VqResourceImpl fileResource(long i) {
    VqResourceImpl r;
    r.setType(VqbString("File"));
    r.setName(VqbString(std::to_string(i) + ".txt"));
    r.setIdentity(VqbString(identity(i)));
    return r;
}

// The owner (resource 1) uses the other half of the stored resources; its new list names those and
// as many new ones.
long linkCount() { return scale() / 10; }

void setUpLinks() {
    const long n = linkCount();
    std::vector<std::pair<long, long>> links;
    for (long i = 2; i <= n / 2 + 1; ++i) links.emplace_back(i, 1);
    fillStore(n / 2 + 1, links);
}

void BM_Links_Library(benchmark::State& state) {
    const long n = linkCount();
    for (auto _ : state) {
        state.PauseTiming();
        setUpLinks();
        Opened o;
        ReposHeld<VqResourceList> list(o.impact ? o.impact->createResourceList() : nullptr);
        VqResourceImpl owner = fileResource(1);
        owner.setId(VqbString("1"));
        for (long i = 2; list && i <= n + 1; ++i) {
            VqResourceImpl r = fileResource(i);
            list->addNew();
            list->setCurrentFrom(0, &r);
        }
        state.ResumeTiming();
        if (!list || !o.impact->addResourceDependencies(&owner, list.get()))
            return state.SkipWithError(o.impact ? o.impact->getErrorMessage().asCstr() : "no impact analysis");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Links_Raw(benchmark::State& state) {
    const long n = linkCount();
    for (auto _ : state) {
        state.PauseTiming();
        setUpLinks();
        sqlite3* db = benchdb::rawOpen(repositoryFile());
        state.ResumeTiming();
        benchdb::rawExec(db, "BEGIN IMMEDIATE");
        sqlite3_stmt *links = nullptr, *find = nullptr, *add = nullptr, *link = nullptr, *drop = nullptr,
                     *next = nullptr;
        sqlite3_prepare_v2(db, "SELECT RCS_ID FROM IMPDEP WHERE RCS_USED = 1", -1, &links, nullptr);
        sqlite3_prepare_v2(db, "SELECT RCS_ID FROM IMPRCS WHERE RCS_IDTY = ? AND RCS_TYPE || '' = 'File'", -1, &find, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO IMPRCS (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE) VALUES (?, ?, ?, 'File')", -1,
                           &add, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO IMPDEP (RCS_ID, RCS_USED) VALUES (?, 1)", -1, &link, nullptr);
        sqlite3_prepare_v2(db, "DELETE FROM IMPDEP WHERE RCS_ID = ? AND RCS_USED = 1", -1, &drop, nullptr);
        sqlite3_prepare_v2(db, "SELECT MAX(RCS_ID) FROM IMPRCS", -1, &next, nullptr);
        std::vector<bool> linked(static_cast<size_t>(n + 2)), listed(static_cast<size_t>(n + 2));
        while (sqlite3_step(links) == SQLITE_ROW) linked[static_cast<size_t>(sqlite3_column_int64(links, 0))] = true;
        sqlite3_step(next);
        long nextId = static_cast<long>(sqlite3_column_int64(next, 0));
        for (long i = 2; i <= n + 1; ++i) {
            const std::string id = identity(i), name = std::to_string(i) + ".txt";
            sqlite3_bind_text(find, 1, id.c_str(), -1, SQLITE_TRANSIENT);
            long rowId = sqlite3_step(find) == SQLITE_ROW ? static_cast<long>(sqlite3_column_int64(find, 0)) : 0;
            sqlite3_reset(find);
            if (rowId == 0) {
                rowId = ++nextId;
                sqlite3_bind_int64(add, 1, rowId);
                sqlite3_bind_text(add, 2, name.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(add, 3, id.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_step(add);
                sqlite3_reset(add);
            }
            if (static_cast<size_t>(rowId) < listed.size()) listed[static_cast<size_t>(rowId)] = true;
            if (static_cast<size_t>(rowId) >= linked.size() || !linked[static_cast<size_t>(rowId)]) {
                sqlite3_bind_int64(link, 1, rowId);
                sqlite3_step(link);
                sqlite3_reset(link);
            }
        }
        for (size_t id = 0; id < linked.size(); ++id)
            if (linked[id] && !listed[id]) {
                sqlite3_bind_int64(drop, 1, static_cast<sqlite3_int64>(id));
                sqlite3_step(drop);
                sqlite3_reset(drop);
            }
        for (sqlite3_stmt* s : {links, find, add, link, drop, next}) sqlite3_finalize(s);
        benchdb::rawExec(db, "COMMIT");
        sqlite3_close_v2(db);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Resource 1 is used by every other resource.
void setUpOwners() {
    static bool done = false;
    if (done) return;
    const long n = scale();
    std::vector<std::pair<long, long>> links;
    for (long i = 2; i <= n + 1; ++i) links.emplace_back(1, i);
    fillStore(n + 1, links);
    done = true;
}

void BM_UsedBy_Library(benchmark::State& state) {
    setUpOwners();
    Opened o;
    VqResourceImpl resource = fileResource(1);
    resource.setId(VqbString("1"));
    long n = 0;
    for (auto _ : state) {
        ReposHeld<VqResourceList> owners(o.impact ? o.impact->getUsedByResources(&resource) : nullptr);
        if (!owners) return state.SkipWithError("no owners");
        n = 0;
        while (owners->next()) {
            VqbString name = owners->getCurrent()->getName();
            benchmark::DoNotOptimize(name);
            ++n;
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_UsedBy_Raw(benchmark::State& state) {
    setUpOwners();
    sqlite3* db = benchdb::rawOpen(repositoryFile());
    long n = 0;
    for (auto _ : state) {
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE, RCS_ADAT FROM IMPRCS WHERE IMPRCS.RCS_ID IN "
                           "(SELECT IMPDEP.RCS_USED FROM IMPDEP WHERE IMPDEP.RCS_ID = ?)",
                           -1, &select, nullptr);
        sqlite3_bind_int(select, 1, 1);
        struct Row {
            long id;
            std::string name, identity, type;
            double date;
        };
        std::vector<Row> rows;
        auto text = [&](int c) {
            return std::string(reinterpret_cast<const char*>(sqlite3_column_text(select, c)),
                               static_cast<size_t>(sqlite3_column_bytes(select, c)));
        };
        while (sqlite3_step(select) == SQLITE_ROW)
            rows.push_back({static_cast<long>(sqlite3_column_int64(select, 0)), text(1), text(2), text(3),
                            sqlite3_column_double(select, 4)});
        sqlite3_finalize(select);
        n = static_cast<long>(rows.size());
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_close_v2(db);
    state.SetItemsProcessed(state.iterations() * n);
}

// 2n resources, the first n linked in pairs, the rest unused.
void setUpUnused() {
    const long n = scale();
    std::vector<std::pair<long, long>> links;
    for (long i = 1; i + 1 <= n; i += 2) links.emplace_back(i, i + 1);
    fillStore(2 * n, links);
}

void BM_Unused_Library(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        setUpUnused();
        Opened o;
        state.ResumeTiming();
        if (!o.impact || !o.impact->removeUnusedResources()) return state.SkipWithError("removeUnusedResources failed");
    }
    state.SetItemsProcessed(state.iterations() * scale());
}

void BM_Unused_Raw(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        setUpUnused();
        sqlite3* db = benchdb::rawOpen(repositoryFile());
        state.ResumeTiming();
        benchdb::rawExec(db, "DELETE FROM IMPRCS WHERE RCS_ID NOT IN (SELECT RCS_ID FROM IMPDEP UNION SELECT "
                             "RCS_USED FROM IMPDEP)");
        sqlite3_close_v2(db);
    }
    state.SetItemsProcessed(state.iterations() * scale());
}

// ---- PostgreSQL: a repository of the run's own, removed at the end.

struct PgStore : benchdb::PgImpactStore {
    PgStore() : PgImpactStore("bi") {}
    bool open() { return repository ? impact != nullptr : make(); }
    // Truncated rather than deleted, on both sides alike: rows deleted round after round stay for
    // every later statement to walk until a vacuum comes, so each round would cost more than the
    // one before it.
    void clear() { exec("TRUNCATE " + table("IMPDEP") + ", " + table("IMPRCS")); }
};

PgStore& pg() {
    static PgStore store;
    return store;
}

long pgCount() { return linkCount() / 5; }

void BM_PgFirstLoad_Library(benchmark::State& state) {
    if (!pg().open()) return state.SkipWithError("the PostgreSQL repository could not be made");
    const long n = pgCount();
    for (auto _ : state) {
        state.PauseTiming();
        pg().clear();
        ReposHeld<VqResource> owner(pg().impact->findOrAddResource("owner", "Task", "owner"));
        ReposHeld<VqResourceList> list(pg().impact->createResourceList());
        for (long i = 1; i <= n; ++i) {
            VqResourceImpl r = fileResource(i);
            list->addNew();
            list->setCurrentFrom(0, &r);
        }
        state.ResumeTiming();
        if (!owner || !pg().impact->addResourceDependencies(owner.get(), list.get()))
            return state.SkipWithError(pg().impact->getErrorMessage().asCstr());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The statements of a first load: each resource looked up, added with its analysis date (as the
// library writes a new resource the owner's links hold), and linked.
void BM_PgFirstLoad_Psql(benchmark::State& state) {
    if (!pg().open()) return state.SkipWithError("the PostgreSQL repository could not be made");
    const long n = pgCount();
    static benchdb::ScratchDir dir;
    const std::string path = dir.file("first-load.sql");
    {
        const std::string resources = pg().table("IMPRCS"), links = pg().table("IMPDEP");
        std::ofstream out(path);
        out << "BEGIN;\nINSERT INTO " << resources << " (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE) VALUES (0, 'owner', "
            << "'owner', 'Task');\n";
        for (long i = 1; i <= n; ++i) {
            const std::string id = "'" + identity(i) + "'";
            out << "SELECT RCS_ID FROM " << resources << " WHERE RCS_IDTY = " << id << ";\n"
                << "INSERT INTO " << resources << " (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE, RCS_ADAT) VALUES (" << i
                << ", '" << i << ".txt', " << id << ", 'File', 46000);\n"
                << "INSERT INTO " << links << " (RCS_ID, RCS_USED) VALUES (" << i << ", 0);\n";
        }
        out << "COMMIT;\n";
    }
    const std::string command = pg().psql(path);
    for (auto _ : state) {
        state.PauseTiming();
        pg().clear();
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) return state.SkipWithError("psql failed");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_Links_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Links_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UsedBy_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UsedBy_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unused_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Unused_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    std::vector<bench::Pair> pairs = {
        {"addResourceDependencies, 10,000 (half new)", "BM_Links_Library", "BM_Links_Raw"},
        {"getUsedByResources, 100,000 owners", "BM_UsedBy_Library", "BM_UsedBy_Raw"},
        {"removeUnusedResources, 100,000 of 200,000", "BM_Unused_Library", "BM_Unused_Raw"}};
    const char* server = std::getenv("REPOS_TEST_PG");
    if (server && *server) {
        for (auto [name, run] : {std::pair{"PgFirstLoad_Library", &BM_PgFirstLoad_Library},
                                 std::pair{"PgFirstLoad_Psql", &BM_PgFirstLoad_Psql}})
            benchmark::RegisterBenchmark(name, run)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
        pairs.push_back({"PostgreSQL first load, 2,000 links", "PgFirstLoad_Library", "PgFirstLoad_Psql"});
    } else {
        std::printf("bench_impact: REPOS_TEST_PG is not set; the PostgreSQL pair does not run\n");
    }
    int result = bench::runPairs(argc, argv, "bench_impact", pairs);
    pg().close();
    return result;
}
