// Writing and reading value distributions through the profile data access, each beside the same
// work done raw in the same run: SQLite prepared inserts in one transaction into the same tables
// and indexes, a sqlite3_step loop into memory, and on PostgreSQL (REPOS_TEST_PG) psql \copy of
// the same rows. REPOS_BENCH_ROWS sets the rows (default 100,000; 1M in a
// full run).
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_repos_support.h"
#include "dacimpl.h"
#include "prof_rdaimpl.h"
#include "rda_factory.h"
#include "repos_profile_rda.h"
#include "repositoryimpl.h"
#include "vqbconfig.h"

namespace {

const int kField = 7;

using benchdb::admin;
using benchdb::scratch;

// An empty repository file made once; each round writes into a fresh copy of it.
std::string freshRepository() {
    static const std::string made = [] {
        std::string file = scratch().file("template.db");
        return admin() && admin()->createFileRepository(file) ? file : std::string();
    }();
    if (made.empty()) return made;
    std::string copy = scratch().fresh("repo");
    std::filesystem::copy_file(made, copy);
    return copy;
}

int value(char* out, size_t size, long i) {
    return std::snprintf(out, size, "value %ld", i * 7919 % 1000003);
}

// The three writers, and the frequency writer in a field's own table.
enum Writer { SharedFrequency, FieldFrequency, Pattern, MatchCode };

bool writeRows(ProfileRepositoryDataAccess* p, Writer w, long n) {
    char text[32];
    bool ok = w == Pattern     ? p->beginPatternDistribution(1000)
              : w == MatchCode ? p->beginMatchCodeDistribution(1000)
                               : p->beginFrequencyDistribution(kField, w == SharedFrequency, 1000);
    for (long i = 0; ok && i < n; ++i) {
        value(text, sizeof text, i);
        const VqbString v(text);
        ok = w == Pattern     ? p->addPatternValue(kField, v, i)
             : w == MatchCode ? p->addMatchCodeValue(kField, v, v, i, 3)
                              : p->addFrequencyValue(kField, v, v, i);
    }
    return ok && (w == Pattern     ? p->endPatternDistribution()
                  : w == MatchCode ? p->endMatchCodeDistribution()
                                   : p->endFrequencyDistribution(kField));
}

void libraryWrite(benchmark::State& state, Writer w) {
    const long n = benchdb::rows(100000, 1000000);
    for (auto _ : state) {
        state.PauseTiming();
        Repository* repository = admin()->openFileRepository(freshRepository().c_str(), false);
        ProfileRepositoryDataAccess* p = repository ? repository->createProfileRepositoryDataAccess() : nullptr;
        state.ResumeTiming();
        if (!p || !writeRows(p, w, n)) state.SkipWithError("the writer failed");
        state.PauseTiming();
        if (p) p->release();
        if (repository) repository->release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The same rows with the SQLite C API, one transaction, into the same table and indexes.
void rawWrite(benchmark::State& state, Writer w) {
    static const char* const kInserts[] = {
        "INSERT INTO FRQDST (FLD_ID, FR_VAL, FR_MC, FR_CNT) VALUES (7, ?1, ?1, ?2)",
        "INSERT INTO FRQDST7 (FR_VALUE, FR_COUNT, FR_MCVAL) VALUES (?1, ?2, ?1)",
        "INSERT INTO PATDST (FLD_ID, PA_VALUE, PA_COUNT2) VALUES (7, ?1, ?2)",
        "INSERT INTO MCDIST (FLD_ID, MC_VALUE, MC_COUNT, MC_ID, FR_VAL) VALUES (7, ?1, ?2, 3, ?1)",
    };
    const long n = benchdb::rows(100000, 1000000);
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = benchdb::rawOpen(freshRepository());
        state.ResumeTiming();
        benchdb::rawExec(db, "BEGIN");
        if (w == FieldFrequency)
            benchdb::rawExec(db, "CREATE TABLE FRQDST7 (FR_VALUE VARCHAR(255), FR_COUNT FLOAT, FR_MCVAL VARCHAR(255))");
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInserts[w], -1, &insert, nullptr);
        char text[32];
        for (long i = 0; i < n; ++i) {
            int len = value(text, sizeof text, i);
            sqlite3_bind_text(insert, 1, text, len, SQLITE_TRANSIENT);
            sqlite3_bind_int64(insert, 2, i);
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        if (w == FieldFrequency) {
            benchdb::rawExec(db, "CREATE INDEX fk_frqdist_fr_val7 ON FRQDST7 (FR_VALUE)");
            benchdb::rawExec(db, "CREATE INDEX fk_frqdist_fr_count7 ON FRQDST7 (FR_COUNT)");
        }
        benchdb::rawExec(db, "COMMIT");
        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// A repository whose shared table holds the rows of field 7, for the reads.
const std::string& filledRepository() {
    static const std::string file = [] {
        std::string made = freshRepository();
        Repository* repository = admin()->openFileRepository(made.c_str(), false);
        ProfileRepositoryDataAccess* p = repository ? repository->createProfileRepositoryDataAccess() : nullptr;
        bool ok = p && writeRows(p, SharedFrequency, benchdb::rows(100000, 1000000));
        if (p) p->release();
        if (repository) repository->release();
        return ok ? made : std::string();
    }();
    return file;
}

void libraryRead(benchmark::State& state) {
    const long cap = state.range(0);
    vqbGetConfigOptions("")->set("BASE/REPOS_FREQ_CACHE_MAX", std::to_string(cap).c_str());
    Repository* repository = admin()->openFileRepository(filledRepository().c_str(), false);
    ProfileRepositoryDataAccess* p = repository ? repository->createProfileRepositoryDataAccess() : nullptr;
    long rows = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* c = p ? p->listFrequencyDistribution(kField, true, false, 0xFFFFFFFF) : nullptr;
        if (!c) state.SkipWithError("the read failed");
        for (rows = 0; c && c->next() == 1;) ++rows;
        if (c) c->release();
    }
    state.SetItemsProcessed(state.iterations() * rows);
    if (p) p->release();
    if (repository) repository->release();
    vqbGetConfigOptions("")->remove("BASE/REPOS_FREQ_CACHE_MAX");
}

// A row of a raw read, held in memory as the library's cursor holds it.
struct Row {
    std::string value, match;
    long long count, field;
};

// The same rows stepped into memory with the SQLite C API.
void rawRead(benchmark::State& state) {
    const long cap = state.range(0);
    sqlite3* db = benchdb::rawOpen(filledRepository());
    long rows = 0;
    for (auto _ : state) {
        std::vector<Row> held;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT FR_VAL, FR_CNT, FR_MC, FLD_ID FROM FRQDST WHERE FLD_ID=? ORDER BY FR_CNT DESC",
                           -1, &s, nullptr);
        sqlite3_bind_int(s, 1, kField);
        while ((cap == 0 || static_cast<long>(held.size()) < cap) && sqlite3_step(s) == SQLITE_ROW)
            held.push_back({reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                            reinterpret_cast<const char*>(sqlite3_column_text(s, 2)), sqlite3_column_int64(s, 1),
                            sqlite3_column_int64(s, 3)});
        sqlite3_finalize(s);
        rows = static_cast<long>(held.size());
    }
    state.SetItemsProcessed(state.iterations() * rows);
    sqlite3_close_v2(db);
}

// ---- PostgreSQL

struct PgRepository {
    RepositoryImpl* repository = nullptr;
    std::string prefix;
};

PgRepository& pg() {
    static PgRepository made = [] {
        PgRepository r;
        r.prefix = "bd" + std::to_string(getpid()) + "_";
        const VqbString where(std::getenv("REPOS_TEST_PG"));
        if (admin()->createRepository(where, VqbString(r.prefix)))
            r.repository =
                static_cast<RepositoryImpl*>(admin()->connectRepository(where, VqbString(r.prefix), true, nullptr));
        return r;
    }();
    return made;
}

void pgEmpty() {
    ReposDataAccess* db = pg().repository->connection();
    db->paramExec("DELETE FROM " + db->getTableName("FRQDST", true, -1).str(), nullptr, 0);
}

void pgLibraryWrite(benchmark::State& state, Writer w) {
    const long n = benchdb::rows(100000, 1000000);
    if (!pg().repository) return state.SkipWithError("no PostgreSQL repository");
    for (auto _ : state) {
        state.PauseTiming();
        pgEmpty();
        ProfileRepositoryDataAccess* p = pg().repository->createProfileRepositoryDataAccess();
        state.ResumeTiming();
        if (!p || !writeRows(p, w, n)) state.SkipWithError("the writer failed");
        state.PauseTiming();
        if (p) p->release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The server's own bulk path into the same table: psql \copy of a CSV file written beforehand.
void pgCopy(benchmark::State& state) {
    const long n = benchdb::rows(100000, 1000000);
    if (!pg().repository) return state.SkipWithError("no PostgreSQL repository");
    DacConnText server;
    std::string why;
    server.parse(std::getenv("REPOS_TEST_PG"), why);
    const std::string csv = scratch().file("rows.csv");
    {
        std::ofstream out(csv);
        char text[32];
        for (long i = 0; i < n; ++i) {
            value(text, sizeof text, i);
            out << kField << ',' << text << ',' << text << ',' << i << '\n';
        }
    }
    const VqbString qualified = pg().repository->connection()->getTableName("FRQDST", true, -1);
    std::string table;
    for (char c : qualified.str()) {
        if (c == '"') table += '\\';
        table += c;
    }
    const std::string cmd = "psql -X -q -h '" + server.get("SERVER") + "' -p '" + server.get("PORT") + "' -U '" +
                            server.get("UID") + "' -d '" + server.get("DATABASE") + "' -c \"\\copy " + table +
                            " (fld_id, fr_val, fr_mc, fr_cnt) FROM '" + csv + "' WITH (FORMAT csv)\"";
    for (auto _ : state) {
        state.PauseTiming();
        pgEmpty();
        state.ResumeTiming();
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("psql \\copy failed");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The per-field writer on a connection of its own whose statements bind arrays of rows.
void pgLibraryArrays(benchmark::State& state) {
    const long n = benchdb::rows(100000, 1000000);
    if (!pg().repository) return state.SkipWithError("no PostgreSQL repository");
    VqbString error;
    ReposHeld<ReposDataAccess> db(createReposDataAccess(REPOS_BACKEND_CONNECTOR,
                                                        std::string(std::getenv("REPOS_TEST_PG")) + ";VQXMODE=1",
                                                        pg().prefix, nullptr, error));
    if (!db) return state.SkipWithError(error.asCstr());
    const std::string table = db->getTableName("FRQDST", true, kField).str();
    for (auto _ : state) {
        state.PauseTiming();
        db->paramExec("DROP TABLE IF EXISTS " + table, nullptr, 0);
        ReposHeld<ProfileRepositoryDataAccess> p(new ProfileRDAImpl(db.get()));
        state.ResumeTiming();
        if (!writeRows(p.get(), FieldFrequency, n)) state.SkipWithError("the writer failed");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Raw unixODBC: one connection, a statement prepared once, the rows bound 1000 at a time.
struct Odbc {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    Odbc() {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string text = std::getenv("REPOS_TEST_PG");
        if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(&text[0]), SQL_NTS, nullptr, 0,
                                            nullptr, SQL_DRIVER_NOPROMPT)))
            dbc = SQL_NULL_HDBC;
    }
    ~Odbc() {
        if (dbc) SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    bool run(const std::string& sql) {
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        bool ok = SQL_SUCCEEDED(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS));
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return ok;
    }
};

void pgRawArrays(benchmark::State& state) {
    const long n = benchdb::rows(100000, 1000000);
    if (!pg().repository) return state.SkipWithError("no PostgreSQL repository");
    Odbc odbc;
    if (!odbc.dbc) return state.SkipWithError("no ODBC connection");
    const std::string table = pg().repository->connection()->getTableName("FRQDST", true, kField).str();
    const SQLULEN kRows = 1000;
    std::vector<SQLCHAR> texts(kRows * 32);
    std::vector<SQLLEN> textLengths(kRows);
    std::vector<double> counts(kRows);
    for (auto _ : state) {
        state.PauseTiming();
        odbc.run("DROP TABLE IF EXISTS " + table);
        state.ResumeTiming();
        odbc.run("CREATE TABLE " + table +
                 " (fr_value VARCHAR(255), fr_count DOUBLE PRECISION, fr_mcval VARCHAR(255))");
        SQLSetConnectAttr(odbc.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &st);
        const std::string insert = "INSERT INTO " + table + " (fr_value, fr_count, fr_mcval) VALUES (?, ?, ?)";
        SQLPrepare(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(insert.c_str())), SQL_NTS);
        SQLSetStmtAttr(st, SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
        SQLBindParameter(st, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0, texts.data(), 32, textLengths.data());
        SQLBindParameter(st, 2, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, counts.data(), 0, nullptr);
        SQLBindParameter(st, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0, texts.data(), 32, textLengths.data());
        for (long first = 0; first < n; first += static_cast<long>(kRows)) {
            const SQLULEN rows = std::min<SQLULEN>(kRows, static_cast<SQLULEN>(n - first));
            for (SQLULEN r = 0; r < rows; ++r) {
                textLengths[r] = value(reinterpret_cast<char*>(&texts[r * 32]), 32, first + static_cast<long>(r));
                counts[r] = static_cast<double>(first + static_cast<long>(r));
            }
            SQLSetStmtAttr(st, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
            if (!SQL_SUCCEEDED(SQLExecute(st))) state.SkipWithError("insert failed");
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        odbc.run("CREATE INDEX ON " + table + " (fr_value)");
        odbc.run("CREATE INDEX ON " + table + " (fr_count)");
        SQLEndTran(SQL_HANDLE_DBC, odbc.dbc, SQL_COMMIT);
        SQLSetConnectAttr(odbc.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The shared table filled once with the rows of field 7, for the reads.
bool pgFilled() {
    static const bool filled = [] {
        pgEmpty();
        ReposHeld<ProfileRepositoryDataAccess> p(pg().repository->createProfileRepositoryDataAccess());
        return p && writeRows(p.get(), SharedFrequency, benchdb::rows(100000, 1000000));
    }();
    return filled;
}

void pgLibraryRead(benchmark::State& state) {
    if (!pg().repository || !pgFilled()) return state.SkipWithError("no PostgreSQL rows");
    ReposHeld<ProfileRepositoryDataAccess> p(pg().repository->createProfileRepositoryDataAccess());
    long rows = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* c = p->listFrequencyDistribution(kField, true, false, 0xFFFFFFFF);
        if (!c) state.SkipWithError("the read failed");
        for (rows = 0; c && c->next() == 1;) ++rows;
        if (c) c->release();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void pgRawRead(benchmark::State& state) {
    if (!pg().repository || !pgFilled()) return state.SkipWithError("no PostgreSQL rows");
    Odbc odbc;
    if (!odbc.dbc) return state.SkipWithError("no ODBC connection");
    const std::string sql = "SELECT FR_VAL, FR_CNT, FR_MC, FLD_ID FROM " +
                            pg().repository->connection()->getTableName("FRQDST", true, -1).str() +
                            " WHERE FLD_ID=7 ORDER BY FR_CNT DESC";
    long rows = 0;
    for (auto _ : state) {
        std::vector<Row> held;
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &st);
        SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
        char value[256], match[256];
        SQLBIGINT count = 0, field = 0;
        SQLLEN ind[4];
        while (SQL_SUCCEEDED(SQLFetch(st))) {
            SQLGetData(st, 1, SQL_C_CHAR, value, sizeof value, &ind[0]);
            SQLGetData(st, 2, SQL_C_SBIGINT, &count, 0, &ind[1]);
            SQLGetData(st, 3, SQL_C_CHAR, match, sizeof match, &ind[2]);
            SQLGetData(st, 4, SQL_C_SBIGINT, &field, 0, &ind[3]);
            held.push_back({ind[0] > 0 ? value : "", ind[2] > 0 ? match : "", count, field});
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        rows = static_cast<long>(held.size());
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void reg(const char* name, void (*fn)(benchmark::State&, Writer), Writer w) {
    benchmark::RegisterBenchmark(name, fn, w)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    const char* names[][2] = {{"Lib/FRQDST", "Raw/FRQDST"},
                              {"Lib/FRQDST7", "Raw/FRQDST7"},
                              {"Lib/PATDST", "Raw/PATDST"},
                              {"Lib/MCDIST", "Raw/MCDIST"}};
    for (Writer w : {SharedFrequency, FieldFrequency, Pattern, MatchCode}) {
        reg(names[w][0], libraryWrite, w);
        reg(names[w][1], rawWrite, w);
    }
    for (auto* read : {&libraryRead, &rawRead})
        benchmark::RegisterBenchmark(read == &libraryRead ? "Lib/read" : "Raw/read", read)
            ->Arg(0)
            ->Arg(10000)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    std::vector<bench::Pair> pairs = {
        {"SQLite shared frequency writer", "Lib/FRQDST", "Raw/FRQDST"},
        {"SQLite per-field writer + indexes", "Lib/FRQDST7", "Raw/FRQDST7"},
        {"SQLite pattern writer", "Lib/PATDST", "Raw/PATDST"},
        {"SQLite match-code writer", "Lib/MCDIST", "Raw/MCDIST"},
        {"SQLite distribution read, whole", "Lib/read/0", "Raw/read/0"},
        {"SQLite distribution read, 10,000", "Lib/read/10000", "Raw/read/10000"},
    };
    if (std::getenv("REPOS_TEST_PG") && *std::getenv("REPOS_TEST_PG")) {
        reg("PgLib/FRQDST", pgLibraryWrite, SharedFrequency);
        benchmark::RegisterBenchmark("PgCopy", pgCopy)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
        pairs.push_back({"PostgreSQL bulk-path writer vs psql \\copy", "PgLib/FRQDST", "PgCopy"});
        for (auto [name, fn] : {std::pair<const char*, void (*)(benchmark::State&)>{"PgLib/arrays", pgLibraryArrays},
                                {"PgRaw/arrays", pgRawArrays},
                                {"PgLib/read", pgLibraryRead},
                                {"PgRaw/read", pgRawRead}})
            benchmark::RegisterBenchmark(name, fn)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
        pairs.push_back({"PostgreSQL per-field writer, arrays, vs ODBC arrays", "PgLib/arrays", "PgRaw/arrays"});
        pairs.push_back({"PostgreSQL distribution read vs ODBC fetch loop", "PgLib/read", "PgRaw/read"});
    }
    int result = bench::runPairs(argc, argv, "bench_distributions", pairs);
    if (pairs.size() > 6 && pg().repository) {
        pg().repository->release();
        admin()->deleteRepository(VqbString(std::getenv("REPOS_TEST_PG")), VqbString(pg().prefix));
    }
    return result;
}
