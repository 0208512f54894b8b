// Change-of-address runs: N runs stored through addRun with every statistic set, and the report of
// all of them read to its end, each beside the same work done with the SQLite C API (one
// transaction per run, 1 + 241 rows through prepared statements; one ordered select pivoted in
// plain C++). With REPOS_TEST_PG the same two on PostgreSQL, beside unixODBC prepared inserts and
// a fetch loop. REPOS_BENCH_RUNS sets the number of runs (default 100;
// 2,000 in a full run).
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "bench_db_support.h"
#include "repos_admin.h"
#include "repos_ncoa_rda.h"
#include "repos_repository.h"
#include "repos_tables.h"
#include "vqbconfig.h"
#include "vqlog.h"

namespace {

constexpr int kStatistics = 241;

long runs() { return bench::size("REPOS_BENCH_RUNS", 100, 2000); }

// One value per statistic, of its catalogue type, and the text it is stored as.
struct Statistic {
    int type;
    VqbDatavar value;
    std::string text;
};
const std::vector<Statistic>& statistics() {
    static const std::vector<Statistic> all = [] {
        std::vector<Statistic> s;
        for (int i = 0; i < kStatistics; ++i) {
            const ReposColumnDef* c = getNcoaColumn(i, true);
            VqbDatavar value = c->type == VQB_TYPE_INT    ? VqbDatavar(1000 + i)
                               : c->type == VQB_TYPE_REAL ? VqbDatavar(45000.5 + i)
                                                          : VqbDatavar(std::string(c->length > 8 ? 8 : c->length, 'x'));
            s.push_back({c->type, value, value.asString().str()});
        }
        return s;
    }();
    return all;
}

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

std::string emptyRepository() {
    static std::string path = [] {
        std::string file = scratch().file("empty.db");
        if (!admin()->createFileRepository(file.c_str())) std::fprintf(stderr, "creating the repository failed\n");
        return file;
    }();
    std::string copy = scratch().fresh("runs");
    std::filesystem::copy_file(path, copy);
    return copy;
}

bool addRuns(NCOARepositoryDataAccess* ncoa, long n) {
    const std::vector<Statistic>& s = statistics();
    for (long run = 0; run < n; ++run) {
        ncoa->setRunValue(2, VqbDatavar(7));
        for (int i = 0; i < kStatistics; ++i) ncoa->setRunValue(4 + i, s[static_cast<size_t>(i)].value);
        if (!ncoa->addRun(0, 1, nullptr)) return false;
    }
    return true;
}

// A repository holding N runs, made once through the library.
const std::string& filledRepository() {
    static std::string path = [] {
        std::string file = emptyRepository();
        Repository* repository = admin()->openFileRepository(file.c_str(), false);
        NCOARepositoryDataAccess* ncoa = repository ? repository->createNCOARepositoryDataAccess() : nullptr;
        if (!ncoa || !addRuns(ncoa, runs())) std::fprintf(stderr, "filling the runs failed\n");
        if (ncoa) ncoa->release();
        if (repository) repository->release();
        return file;
    }();
    return path;
}

void BM_AddRuns_Library(benchmark::State& state) {
    const long n = runs();
    for (auto _ : state) {
        state.PauseTiming();
        Repository* repository = admin()->openFileRepository(emptyRepository().c_str(), false);
        NCOARepositoryDataAccess* ncoa = repository ? repository->createNCOARepositoryDataAccess() : nullptr;
        if (!ncoa) {
            state.SkipWithError("no change-of-address access");
            if (repository) repository->release();
            break;
        }
        state.ResumeTiming();
        if (!addRuns(ncoa, n)) state.SkipWithError("addRun failed");
        state.PauseTiming();
        ncoa->release();
        repository->release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Per run: the counter raised, the run row, its statistic rows; one transaction.
void BM_AddRuns_Raw(benchmark::State& state) {
    const long n = runs();
    const std::vector<Statistic>& s = statistics();
    std::vector<std::string> names;
    for (int i = 0; i < kStatistics; ++i) names.push_back(getNcoaColumn(i, true)->column);
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = benchdb::rawOpen(emptyRepository());
        benchdb::rawExec(db, "INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('NCOAEX', 0)");
        state.ResumeTiming();
        sqlite3_stmt *counter = nullptr, *head = nullptr, *detail = nullptr;
        sqlite3_prepare_v2(db, "UPDATE UCURID SET NI_VAL=NI_VAL+1 WHERE NI_KEY='NCOAEX'", -1, &counter, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO NCOAEX (RUN_ID, PAF_ID, GRP_ID, EX_DATE) VALUES (?,?,?,?)", -1, &head,
                           nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO NCOAED (RUN_ID, SEQ_ID, DNAME, DVALUE) VALUES (?,?,?,?)", -1, &detail,
                           nullptr);
        for (long run = 1; run <= n; ++run) {
            benchdb::rawExec(db, "BEGIN IMMEDIATE TRANSACTION");
            sqlite3_step(counter);
            sqlite3_reset(counter);
            sqlite3_bind_int64(head, 1, run);
            sqlite3_bind_int64(head, 2, 1);
            sqlite3_bind_int64(head, 3, 7);
            sqlite3_bind_double(head, 4, 46000.5);
            if (sqlite3_step(head) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(head);
            for (int i = 0; i < kStatistics; ++i) {
                sqlite3_bind_int64(detail, 1, run);
                sqlite3_bind_int64(detail, 2, i);
                sqlite3_bind_text(detail, 3, names[static_cast<size_t>(i)].c_str(), -1, SQLITE_STATIC);
                const std::string& text = s[static_cast<size_t>(i)].text;
                sqlite3_bind_text(detail, 4, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
                if (sqlite3_step(detail) != SQLITE_DONE) state.SkipWithError("insert failed");
                sqlite3_reset(detail);
            }
            benchdb::rawExec(db, "COMMIT TRANSACTION");
        }
        sqlite3_finalize(counter);
        sqlite3_finalize(head);
        sqlite3_finalize(detail);
        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Report_Library(benchmark::State& state) {
    Repository* repository = admin()->openFileRepository(filledRepository().c_str(), false);
    NCOARepositoryDataAccess* ncoa = repository ? repository->createNCOARepositoryDataAccess() : nullptr;
    long rows = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* report = ncoa ? ncoa->listRunReport(VqbDate(), VqbDate(), VqbString(), -1, -1, -1) : nullptr;
        if (!report) {
            state.SkipWithError("the report failed");
            break;
        }
        const int columns = report->getNumCols();
        while (report->next() == 1) {
            for (int c = 0; c < columns; ++c) benchmark::DoNotOptimize(report->getValue(c));
            ++rows;
        }
        report->release();
    }
    if (ncoa) ncoa->release();
    if (repository) repository->release();
    state.SetItemsProcessed(rows);
}

using Cell = std::variant<std::monostate, long long, double, std::string>;

// A stored text as its column's type when it reads wholly as one.
Cell typedCell(const char* text, int type) {
    char* end = nullptr;
    if (type == VQB_TYPE_INT) {
        const long long v = std::strtoll(text, &end, 10);
        return *end ? Cell(std::string(text)) : Cell(v);
    }
    if (type == VQB_TYPE_REAL) {
        const double v = std::strtod(text, &end);
        return *end ? Cell(std::string(text)) : Cell(v);
    }
    return std::string(text);
}

// The same select, each run's statistics typed after the catalogue into a row of cells.
void BM_Report_Raw(benchmark::State& state) {
    sqlite3* db = benchdb::rawOpen(filledRepository());
    const std::vector<Statistic>& s = statistics();
    const char* sql =
        "SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A INNER JOIN \"NCOAED\" "
        "B ON A.RUN_ID=B.RUN_ID) ORDER BY A.RUN_ID, B.SEQ_ID";
    long rows = 0;
    for (auto _ : state) {
        std::vector<std::vector<Cell>> report;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        long long current = -1;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const long long run = sqlite3_column_int64(stmt, 0);
            if (report.empty() || run != current) {
                current = run;
                report.emplace_back(4 + kStatistics);
                report.back()[0] = run;
                report.back()[1] = sqlite3_column_int64(stmt, 1);
                report.back()[2] = sqlite3_column_int64(stmt, 2);
                report.back()[3] = sqlite3_column_double(stmt, 3);
            }
            const int seq = sqlite3_column_int(stmt, 4);
            if (seq < 0 || seq >= kStatistics || sqlite3_column_type(stmt, 5) == SQLITE_NULL) continue;
            report.back()[static_cast<size_t>(4 + seq)] =
                typedCell(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 5)), s[static_cast<size_t>(seq)].type);
        }
        sqlite3_finalize(stmt);
        for (const auto& row : report) {
            for (const Cell& cell : row) benchmark::DoNotOptimize(cell);
            ++rows;
        }
    }
    sqlite3_close_v2(db);
    state.SetItemsProcessed(rows);
}

// ---- PostgreSQL

const char* server() {
    const char* where = std::getenv("REPOS_TEST_PG");
    return where && *where ? where : nullptr;
}

// A repository of its own on the server per use, dropped at exit.
struct ServerRepository {
    explicit ServerRepository(const char* use) : prefix("bn" + std::to_string(getpid()) + use + "_") {
        if (!server() || !admin()->createRepository(server(), prefix.c_str())) return;
        repository = admin()->connectRepository(server(), prefix.c_str(), false, nullptr);
        ncoa = repository ? repository->createNCOARepositoryDataAccess() : nullptr;
    }
    ~ServerRepository() {
        if (ncoa) ncoa->release();
        if (repository) repository->release();
        if (server()) admin()->deleteRepository(server(), prefix.c_str());
    }
    std::string table(const char* name) const {
        VqbString out;
        repository->getTableName(name, true, &out);
        return out.str();
    }
    std::string prefix;
    Repository* repository = nullptr;
    NCOARepositoryDataAccess* ncoa = nullptr;
};

ServerRepository& serverRepository(int use) {
    static ServerRepository library("l"), raw("r"), filled("f");
    static bool filling = [] { return filled.ncoa && addRuns(filled.ncoa, runs()); }();
    (void)filling;
    return use == 0 ? library : use == 1 ? raw : filled;
}

struct Odbc {
    Odbc() {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string where = server();
        ok = SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(&where[0]), SQL_NTS, nullptr, 0,
                                            nullptr, SQL_DRIVER_NOPROMPT));
        if (ok) SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    }
    ~Odbc() {
        if (ok) SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    SQLHSTMT prepare(const std::string& sql) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
        return stmt;
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool ok = false;
};

// The runs emptied between rounds, so that each round adds to tables of the same size.
void emptyRuns(const Odbc& odbc, ServerRepository& r) {
    for (const char* table : {"NCOAED", "NCOAEX"}) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &stmt);
        std::string sql = "DELETE FROM " + r.table(table);
        SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(&sql[0]), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    SQLEndTran(SQL_HANDLE_DBC, odbc.dbc, SQL_COMMIT);
}

void BM_AddRunsPg_Library(benchmark::State& state) {
    ServerRepository& r = serverRepository(0);
    if (!r.ncoa) return state.SkipWithError("no PostgreSQL repository (REPOS_TEST_PG)");
    Odbc odbc;
    if (!odbc.ok) return state.SkipWithError("no ODBC connection");
    const long n = runs();
    for (auto _ : state) {
        state.PauseTiming();
        emptyRuns(odbc, r);
        state.ResumeTiming();
        if (!addRuns(r.ncoa, n)) state.SkipWithError("addRun failed");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_AddRunsPg_Raw(benchmark::State& state) {
    ServerRepository& r = serverRepository(1);
    if (!r.ncoa) return state.SkipWithError("no PostgreSQL repository (REPOS_TEST_PG)");
    Odbc odbc;
    if (!odbc.ok) return state.SkipWithError("no ODBC connection");
    const std::vector<Statistic>& s = statistics();
    const long n = runs();
    SQLHSTMT head = odbc.prepare("INSERT INTO " + r.table("NCOAEX") + " (RUN_ID, PAF_ID, GRP_ID, EX_DATE) VALUES (?,?,?,?)");
    SQLHSTMT detail =
        odbc.prepare("INSERT INTO " + r.table("NCOAED") + " (RUN_ID, SEQ_ID, DNAME, DVALUE) VALUES (?,?,?,?)");
    SQLINTEGER run = 0, paf = 1, group = 7, seq = 0;
    double date = 46000.5;
    char name[32], value[256];
    SQLLEN nameLen = SQL_NTS, valueLen = SQL_NTS;
    SQLBindParameter(head, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &run, 0, nullptr);
    SQLBindParameter(head, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &paf, 0, nullptr);
    SQLBindParameter(head, 3, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &group, 0, nullptr);
    SQLBindParameter(head, 4, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &date, 0, nullptr);
    SQLBindParameter(detail, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &run, 0, nullptr);
    SQLBindParameter(detail, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &seq, 0, nullptr);
    SQLBindParameter(detail, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0, name, sizeof name, &nameLen);
    SQLBindParameter(detail, 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0, value, sizeof value, &valueLen);
    for (auto _ : state) {
        state.PauseTiming();
        emptyRuns(odbc, r);
        state.ResumeTiming();
        for (long i = 1; i <= n; ++i) {
            run = static_cast<SQLINTEGER>(i);
            bool ok = SQL_SUCCEEDED(SQLExecute(head));
            for (seq = 0; ok && seq < kStatistics; ++seq) {
                std::snprintf(name, sizeof name, "%s", getNcoaColumn(seq, true)->column);
                std::snprintf(value, sizeof value, "%s", s[static_cast<size_t>(seq)].text.c_str());
                ok = SQL_SUCCEEDED(SQLExecute(detail));
            }
            SQLEndTran(SQL_HANDLE_DBC, odbc.dbc, ok ? SQL_COMMIT : SQL_ROLLBACK);
            if (!ok) {
                state.SkipWithError("insert failed");
                break;
            }
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, head);
    SQLFreeHandle(SQL_HANDLE_STMT, detail);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_ReportPg_Library(benchmark::State& state) {
    ServerRepository& r = serverRepository(2);
    if (!r.ncoa) return state.SkipWithError("no PostgreSQL repository (REPOS_TEST_PG)");
    long rows = 0;
    for (auto _ : state) {
        ReposDataAccessCursor* report = r.ncoa->listRunReport(VqbDate(), VqbDate(), VqbString(), -1, -1, -1);
        if (!report) return state.SkipWithError("the report failed");
        const int columns = report->getNumCols();
        while (report->next() == 1) {
            for (int c = 0; c < columns; ++c) benchmark::DoNotOptimize(report->getValue(c));
            ++rows;
        }
        report->release();
    }
    state.SetItemsProcessed(rows);
}

void BM_ReportPg_Raw(benchmark::State& state) {
    ServerRepository& r = serverRepository(2);
    if (!r.ncoa) return state.SkipWithError("no PostgreSQL repository (REPOS_TEST_PG)");
    Odbc odbc;
    if (!odbc.ok) return state.SkipWithError("no ODBC connection");
    const std::vector<Statistic>& s = statistics();
    const std::string sql = "SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (" +
                            r.table("NCOAEX") + " A INNER JOIN " + r.table("NCOAED") +
                            " B ON A.RUN_ID=B.RUN_ID) ORDER BY A.RUN_ID, B.SEQ_ID";
    long rows = 0;
    for (auto _ : state) {
        std::vector<std::vector<Cell>> report;
        SQLHSTMT stmt = odbc.prepare(sql);
        SQLExecute(stmt);
        SQLINTEGER run = 0, paf = 0, group = 0, seq = 0;
        double date = 0;
        char text[512];
        SQLLEN runInd = 0, pafInd = 0, groupInd = 0, dateInd = 0, seqInd = 0, textInd = 0;
        SQLBindCol(stmt, 1, SQL_C_SLONG, &run, 0, &runInd);
        SQLBindCol(stmt, 2, SQL_C_SLONG, &paf, 0, &pafInd);
        SQLBindCol(stmt, 3, SQL_C_SLONG, &group, 0, &groupInd);
        SQLBindCol(stmt, 4, SQL_C_DOUBLE, &date, 0, &dateInd);
        SQLBindCol(stmt, 5, SQL_C_SLONG, &seq, 0, &seqInd);
        SQLBindCol(stmt, 6, SQL_C_CHAR, text, sizeof text, &textInd);
        long long current = -1;
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            if (report.empty() || run != current) {
                current = run;
                report.emplace_back(4 + kStatistics);
                report.back()[0] = static_cast<long long>(run);
                report.back()[1] = static_cast<long long>(paf);
                report.back()[2] = static_cast<long long>(group);
                report.back()[3] = date;
            }
            if (seq < 0 || seq >= kStatistics || textInd == SQL_NULL_DATA) continue;
            report.back()[static_cast<size_t>(4 + seq)] = typedCell(text, s[static_cast<size_t>(seq)].type);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        SQLEndTran(SQL_HANDLE_DBC, odbc.dbc, SQL_COMMIT);
        for (const auto& row : report) {
            for (const Cell& cell : row) benchmark::DoNotOptimize(cell);
            ++rows;
        }
    }
    state.SetItemsProcessed(rows);
}

BENCHMARK(BM_AddRuns_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddRuns_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Report_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Report_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddRunsPg_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddRunsPg_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportPg_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportPg_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    std::vector<bench::Pair> pairs = {{"addRun, every statistic set", "BM_AddRuns_Library", "BM_AddRuns_Raw"},
                                      {"listRunReport of every run", "BM_Report_Library", "BM_Report_Raw"}};
    if (server()) {
        pairs.push_back({"PostgreSQL addRun vs ODBC prepared inserts", "BM_AddRunsPg_Library", "BM_AddRunsPg_Raw"});
        pairs.push_back({"PostgreSQL listRunReport vs ODBC fetch loop", "BM_ReportPg_Library", "BM_ReportPg_Raw"});
    } else {
        std::printf("bench_ncoa_runs: REPOS_TEST_PG is not set; the PostgreSQL pairs do not run\n");
    }
    return bench::runPairs(argc, argv, "bench_ncoa_runs", pairs);
}
