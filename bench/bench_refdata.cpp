// Reference data: items and their placements added one by one in one host transaction, and the
// items-with-attributes join read to its end, each beside the same work done with the SQLite C
// API. REPOS_BENCH_ROWS sets the number of items (default 5,000; 100,000 in a full run).
// With REPOS_TEST_PG naming a server (scripts/pg-test-server start), the inserts also run on a
// PostgreSQL repository beside psql sending the same statements in one transaction;
// REPOS_BENCH_PG_ROWS sets their number of items (default a fifth of the above).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_db_support.h"
#include "repadmimpl.h"
#include "repos_refdata_rda.h"
#include "dacimpl.h"
#include "rda_factory.h"
#include "repositoryimpl.h"
#include "vqbconfig.h"
#include "vqlog.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

benchdb::ScratchDir& scratch() {
    static benchdb::ScratchDir dir;
    return dir;
}

RepositoryAdmin* admin() {
    static RepositoryAdmin* admin = [] {
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", REPOS_TABLE_SETS);
        return createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    }();
    return admin;
}

// A repository with the reference-data tables, one domain and its version 1; made once.
const std::string& emptyRepository() {
    static std::string path = [] {
        std::string file = scratch().file("empty.db");
        if (!admin()->createFileRepository(file.c_str())) std::fprintf(stderr, "creating the repository failed\n");
        sqlite3* db = benchdb::rawOpen(file);
        benchdb::rawExec(db, "INSERT INTO RDDOMS (ID, DOMNAME) VALUES (1, 'D')");
        benchdb::rawExec(db, "INSERT INTO RDDOVR (ID, DOMAINID, VERSION) VALUES (1, 1, 1)");
        sqlite3_close_v2(db);
        return file;
    }();
    return path;
}

std::string copyOfEmpty(const char* stem) {
    std::string file = scratch().fresh(stem);
    std::filesystem::copy_file(emptyRepository(), file);
    return file;
}

// The same repository with n items, each placed in version 1 with one attribute and its value.
const std::string& filledRepository() {
    static std::string path = [] {
        std::string file = copyOfEmpty("filled");
        sqlite3* db = benchdb::rawOpen(file);
        const long n = benchdb::rows(5000, 100000);
        benchdb::rawExec(db, "INSERT INTO RDATRS (ID, ATTRNAME) VALUES (1, 'colour')");
        benchdb::fillRows(db, "INSERT INTO RDDOIT (ID, ITEMKEY, ITEMVAL) VALUES (?1, 'k' || ?1, 'value ' || ?1)", n,
                          [](sqlite3_stmt* s, long i) { sqlite3_bind_int64(s, 1, i + 1); });
        benchdb::fillRows(db, "INSERT INTO RDITVR (ID, DOMVERID, ITEMID, ITEMLVL, LINEAGE) VALUES (?1, 1, ?1, 0, '/')",
                          n, [](sqlite3_stmt* s, long i) { sqlite3_bind_int64(s, 1, i + 1); });
        benchdb::fillRows(db, "INSERT INTO RDDOIA (ID, ITVERID, ATTRIBID) VALUES (?1, ?1, 1)", n,
                          [](sqlite3_stmt* s, long i) { sqlite3_bind_int64(s, 1, i + 1); });
        benchdb::fillRows(db, "INSERT INTO RDIAVR (DOMVERID, ITEATTID) VALUES (1, ?1)", n,
                          [](sqlite3_stmt* s, long i) { sqlite3_bind_int64(s, 1, i + 1); });
        benchdb::fillRows(db, "INSERT INTO RDITAV (ID, VALUE, LANGID) VALUES (?1, 'v' || ?1, 1)", n,
                          [](sqlite3_stmt* s, long i) { sqlite3_bind_int64(s, 1, i + 1); });
        benchdb::fillRows(db, "INSERT INTO RDITVV (DOMVERID, ITATVLID, ITEATTID) VALUES (1, ?1, ?1)", n,
                          [](sqlite3_stmt* s, long i) { sqlite3_bind_int64(s, 1, i + 1); });
        sqlite3_close_v2(db);
        return file;
    }();
    return path;
}

// n items, each placed in version 1, in one host transaction.
bool addItems(RefDataRepositoryDataAccess* r, long n) {
    r->beginTransaction(false);
    char key[32];
    bool ok = true;
    for (long i = 0; ok && i < n; ++i) {
        std::snprintf(key, sizeof key, "k%ld", i);
        uint32_t item = 0, placement = 0;
        ok = r->addItem(key, "value", "Y", "", "", -1, &item) &&
             r->addItemVersion(1, static_cast<int>(item), 0, "/", -1, &placement);
    }
    r->endTransaction(true);
    return ok;
}

void BM_AddItems_Library(benchmark::State& state) {
    const long n = benchdb::rows(5000, 100000);
    for (auto _ : state) {
        state.PauseTiming();
        Repository* repository = admin()->openFileRepository(copyOfEmpty("lib").c_str(), false);
        RefDataRepositoryDataAccess* r = repository ? repository->createRefDataRepositoryDataAccess() : nullptr;
        if (!r) {
            state.SkipWithError("no reference-data access");
            break;
        }
        state.ResumeTiming();
        if (!addItems(r, n)) state.SkipWithError("insert failed");
        state.PauseTiming();
        r->release();
        repository->release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Per row: the counter raised, then the prepared insert with the new id; one transaction.
void BM_AddItems_Raw(benchmark::State& state) {
    const long n = benchdb::rows(5000, 100000);
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = benchdb::rawOpen(copyOfEmpty("raw"));
        state.ResumeTiming();
        benchdb::rawExec(db, "BEGIN IMMEDIATE TRANSACTION");
        benchdb::rawExec(db, "INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('RDDOIT', 0), ('RDITVR', 0)");
        sqlite3_stmt *counter = nullptr, *item = nullptr, *placement = nullptr;
        sqlite3_prepare_v2(db, "UPDATE UCURID SET NI_VAL=NI_VAL+1 WHERE NI_KEY=?", -1, &counter, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO RDDOIT (ID, ITEMKEY, ITEMVAL, ENABLED) VALUES (?,?,?,?)", -1, &item,
                           nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO RDITVR (ID, DOMVERID, ITEMID, ITEMLVL, LINEAGE, CRTDATE) VALUES (?,?,?,?,?,?)",
                           -1, &placement, nullptr);
        char key[32];
        for (long i = 0; i < n; ++i) {
            const int len = std::snprintf(key, sizeof key, "k%ld", i);
            sqlite3_bind_text(counter, 1, "RDDOIT", -1, SQLITE_STATIC);
            sqlite3_step(counter);
            sqlite3_reset(counter);
            sqlite3_bind_int64(item, 1, i + 1);
            sqlite3_bind_text(item, 2, key, len, SQLITE_TRANSIENT);
            sqlite3_bind_text(item, 3, "value", -1, SQLITE_STATIC);
            sqlite3_bind_text(item, 4, "Y", -1, SQLITE_STATIC);
            if (sqlite3_step(item) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(item);
            sqlite3_bind_text(counter, 1, "RDITVR", -1, SQLITE_STATIC);
            sqlite3_step(counter);
            sqlite3_reset(counter);
            sqlite3_bind_int64(placement, 1, i + 1);
            sqlite3_bind_int64(placement, 2, 1);
            sqlite3_bind_int64(placement, 3, i + 1);
            sqlite3_bind_int64(placement, 4, 0);
            sqlite3_bind_text(placement, 5, "/", -1, SQLITE_STATIC);
            sqlite3_bind_double(placement, 6, 46000.5);
            if (sqlite3_step(placement) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(placement);
        }
        sqlite3_finalize(counter);
        sqlite3_finalize(item);
        sqlite3_finalize(placement);
        benchdb::rawExec(db, "COMMIT TRANSACTION");
        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_ItemsWithAttributes_Library(benchmark::State& state) {
    Repository* repository = admin()->openFileRepository(filledRepository().c_str(), false);
    RefDataRepositoryDataAccess* r = repository ? repository->createRefDataRepositoryDataAccess() : nullptr;
    long rows = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* cursor = r ? r->listDomainItemsWithAttributes(1, kNone) : nullptr;
        if (!cursor) {
            state.SkipWithError("the join failed");
            break;
        }
        while (cursor->next() == 1) {
            for (int c = 0; c < 10; ++c) benchmark::DoNotOptimize(cursor->getString(c));
            ++rows;
        }
        cursor->release();
    }
    if (r) r->release();
    if (repository) repository->release();
    state.SetItemsProcessed(rows);
}

void BM_ItemsWithAttributes_Raw(benchmark::State& state) {
    sqlite3* db = benchdb::rawOpen(filledRepository());
    // The join as the library sends it, with the file's table names.
    const char* sql =
        "SELECT iv.ID, i.ITEMKEY, i.ITEMVAL, iv.PARNTID, av.VALUE, a.ATTRNAME, a.DESCRPTN, l.LANGNAME, d.DOMNAME, "
        "dv.VERSION FROM \"RDDOMS\" d INNER JOIN \"RDDOVR\" dv ON d.ID=dv.DOMAINID INNER JOIN \"RDITVR\" iv ON "
        "iv.DOMVERID=dv.ID INNER JOIN \"RDDOIT\" i ON iv.ITEMID=i.ID LEFT JOIN \"RDDOIA\" ia ON ia.ITVERID=iv.ID LEFT "
        "JOIN \"RDATRS\" a ON ia.ATTRIBID=a.ID LEFT JOIN \"RDIAVR\" iav ON iav.ITEATTID=ia.ID AND "
        "iav.DOMVERID=iv.DOMVERID LEFT JOIN \"RDITVV\" iavv ON iav.ITEATTID=iavv.ITEATTID  AND "
        "iavv.DOMVERID=iv.DOMVERID LEFT JOIN \"RDITAV\" av ON av.ID=iavv.ITATVLID LEFT JOIN \"RDLANS\" l ON "
        "av.LANGID=l.ID WHERE dv.DOMAINID=? ORDER BY dv.VERSION desc, i.ITEMKEY, a.ID, av.LANGID";
    long rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        sqlite3_bind_int64(stmt, 1, 1);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < 10; ++c) benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
            ++rows;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db);
    state.SetItemsProcessed(rows);
}

// ---- PostgreSQL

const char* pgServer() {
    const char* server = std::getenv("REPOS_TEST_PG");
    return server && *server ? server : nullptr;
}

long pgRows() {
    const char* v = std::getenv("REPOS_BENCH_PG_ROWS");
    long n = v ? std::atol(v) : 0;
    return n > 0 ? n : std::max(1L, benchdb::rows(5000, 100000) / 5);
}

// A repository of its own on the server, with one domain and its version 1, dropped at exit.
struct PgRepository {
    std::string prefix;
    ReposDataAccess* raw = nullptr;
    std::string items, placements, counters;

    PgRepository() {
        char text[40];
        std::snprintf(text, sizeof text, "b%xrd_", static_cast<unsigned>(getpid()));
        prefix = text;
        if (!admin()->createRepository(pgServer(), prefix.c_str())) {
            std::fprintf(stderr, "creating the repository failed: %s\n", admin()->getErrorMessage().asCstr());
            return;
        }
        VqbString error;
        raw = createReposDataAccess(REPOS_BACKEND_CONNECTOR, pgServer(), prefix.c_str(), nullptr, error);
        if (!raw) return;
        items = raw->getTableName("RDDOIT", true, -1).str();
        placements = raw->getTableName("RDITVR", true, -1).str();
        counters = raw->getTableName("UCURID", true, -1).str();
        exec("INSERT INTO " + raw->getTableName("RDDOMS", true, -1).str() + " (ID, DOMNAME) VALUES (1, 'D')");
        exec("INSERT INTO " + raw->getTableName("RDDOVR", true, -1).str() +
             " (ID, DOMAINID, VERSION) VALUES (1, 1, 1)");
    }
    ~PgRepository() {
        if (raw) raw->release();
        admin()->deleteRepository(pgServer(), prefix.c_str());
    }
    bool exec(const std::string& sql) { return raw && raw->paramExec(VqbString(sql), nullptr, 0); }
    // Each run starts from no items, no placements and no counters for them.
    bool empty() {
        return exec("DELETE FROM " + placements) && exec("DELETE FROM " + items) &&
               exec("DELETE FROM " + counters + " WHERE NI_KEY IN ('RDDOIT', 'RDITVR')");
    }
};

PgRepository& pgRepository() {
    static PgRepository repository;
    return repository;
}

void BM_AddItems_PgLibrary(benchmark::State& state) {
    const long n = pgRows();
    PgRepository& pg = pgRepository();
    Repository* repository = admin()->connectRepository(pgServer(), pg.prefix.c_str(), false, nullptr);
    RefDataRepositoryDataAccess* r = repository ? repository->createRefDataRepositoryDataAccess() : nullptr;
    if (!r) return state.SkipWithError("no reference-data access");
    for (auto _ : state) {
        state.PauseTiming();
        if (!pg.empty()) state.SkipWithError("emptying the tables failed");
        state.ResumeTiming();
        if (!addItems(r, n)) state.SkipWithError("insert failed");
    }
    r->release();
    repository->release();
    state.SetItemsProcessed(state.iterations() * n);
}

// The same statements from psql in one transaction: per row the counter raised, then the
// prepared insert with the new id. The script is written beforehand.
void BM_AddItems_Psql(benchmark::State& state) {
    const long n = pgRows();
    PgRepository& pg = pgRepository();
    DacConnText server;
    std::string why;
    server.parse(pgServer(), why);
    const std::string script =
        (std::filesystem::temp_directory_path() / ("bench_refdata_" + std::to_string(getpid()) + ".sql")).string();
    {
        std::ofstream out(script);
        out << "BEGIN;\n"
            << "INSERT INTO " << pg.counters << " (NI_KEY, NI_VAL) VALUES ('RDDOIT', 0), ('RDITVR', 0);\n"
            << "PREPARE raise(text) AS UPDATE " << pg.counters << " SET NI_VAL=NI_VAL+1 WHERE NI_KEY=$1;\n"
            << "PREPARE item(int, text, text, text) AS INSERT INTO " << pg.items
            << " (ID, ITEMKEY, ITEMVAL, ENABLED) VALUES ($1, $2, $3, $4);\n"
            << "PREPARE placement(int, int, int, int, text, float8) AS INSERT INTO " << pg.placements
            << " (ID, DOMVERID, ITEMID, ITEMLVL, LINEAGE, CRTDATE) VALUES ($1, $2, $3, $4, $5, $6);\n";
        for (long i = 0; i < n; ++i)
            out << "EXECUTE raise('RDDOIT');\nEXECUTE item(" << i + 1 << ", 'k" << i << "', 'value', 'Y');\n"
                << "EXECUTE raise('RDITVR');\nEXECUTE placement(" << i + 1 << ", 1, " << i + 1
                << ", 0, '/', 46000.5);\n";
        out << "COMMIT;\n";
    }
    const std::string cmd = "psql -X -q -v ON_ERROR_STOP=1 -h '" + server.get("SERVER") + "' -p '" +
                            server.get("PORT") + "' -U '" + server.get("UID") + "' -d '" +
                            server.get("DATABASE") + "' -f '" + script + "' >/dev/null";
    for (auto _ : state) {
        state.PauseTiming();
        if (!pg.empty()) state.SkipWithError("emptying the tables failed");
        state.ResumeTiming();
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("psql failed");
    }
    std::filesystem::remove(script);
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_AddItems_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddItems_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ItemsWithAttributes_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ItemsWithAttributes_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    std::vector<bench::Pair> pairs = {
        {"add items and placements", "BM_AddItems_Library", "BM_AddItems_Raw"},
        {"items with attributes (join)", "BM_ItemsWithAttributes_Library", "BM_ItemsWithAttributes_Raw"}};
    if (pgServer()) {
        for (auto [name, run] : {std::pair{"BM_AddItems_PgLibrary", &BM_AddItems_PgLibrary},
                                 std::pair{"BM_AddItems_Psql", &BM_AddItems_Psql}})
            benchmark::RegisterBenchmark(name, run)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
        pairs.push_back({"PostgreSQL: add items and placements", "BM_AddItems_PgLibrary", "BM_AddItems_Psql"});
    }
    return bench::runPairs(argc, argv, "bench_refdata", pairs);
}
