// Copying a file repository whose frequency tables hold many rows (REPOS_BENCH_COPY_ROWS, else
// REPOS_BENCH_ROWS, 200,000 by default and one million in a full run) through the administrator,
// beside the same copy done by SQLite itself: the source attached to the target and each table
// emptied and refilled with INSERT ... SELECT, one transaction per table as the library commits them.
#include <filesystem>
#include <string>
#include <vector>

#include "bench_repos_support.h"
#include "repadmimpl.h"
#include "repositoryimpl.h"
#include "vqbconfig.h"
#include "vqlog.h"

namespace {

constexpr int kTables = 10;

long copyRows() {
    const char* text = getenv("REPOS_BENCH_COPY_ROWS");
    long n = text ? atol(text) : 0;
    return n > 0 ? n : benchdb::rows(200000, 1000000);
}

using benchdb::admin;
using benchdb::scratch;

std::vector<std::string> strings(sqlite3* db, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return out;
}

// A source with kTables frequency tables sharing the rows, and an empty target to copy over.
struct Files {
    std::string source;
    std::string target;
    bool ok = false;
};

const Files& files() {
    static Files f = [] {
        Files made;
        made.source = scratch().file("source.db");
        made.target = scratch().file("target.db");
        if (!admin() || !admin()->createFileRepository(made.source) || !admin()->createFileRepository(made.target))
            return made;
        Repository* source = admin()->openFileRepository(made.source.c_str(), true);
        if (!source) return made;
        ReposDataAccess* db = static_cast<RepositoryImpl*>(source)->connection();
        ColumnSpecList columns(2);
        std::snprintf(columns[0].name, sizeof columns[0].name, "fr_value");
        columns[0].type = VQB_TYPE_STRING;
        columns[0].size = 255;
        std::snprintf(columns[1].name, sizeof columns[1].name, "fr_count");
        columns[1].type = VQB_TYPE_INT;
        bool ok = true;
        for (int n = 1; n <= kTables; ++n)
            ok = ok && db->createTableFromColumns(VqbString::format("FRQDST%d", n), columns);
        source->release();
        if (!ok) return made;

        sqlite3* raw = benchdb::rawOpen(made.source);
        benchdb::rawExec(raw, "BEGIN");
        sqlite3_stmt* field = nullptr;
        sqlite3_prepare_v2(raw, "INSERT INTO FLD (DSN_ID, TBL_ID, FLD_ID, FLD_NAME) VALUES (1, 1, ?, 'field')", -1,
                           &field, nullptr);
        const long rows = copyRows();
        for (int n = 1; n <= kTables; ++n) {
            sqlite3_bind_int(field, 1, n);
            sqlite3_step(field);
            sqlite3_reset(field);
            sqlite3_stmt* insert = nullptr;
            std::string sql = "INSERT INTO FRQDST" + std::to_string(n) + " (fr_value, fr_count) VALUES (?, ?)";
            sqlite3_prepare_v2(raw, sql.c_str(), -1, &insert, nullptr);
            for (long i = n - 1; i < rows; i += kTables) {
                std::string value = "value " + std::to_string(i) + " of field " + std::to_string(n);
                sqlite3_bind_text(insert, 1, value.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(insert, 2, i % 977);
                sqlite3_step(insert);
                sqlite3_reset(insert);
            }
            sqlite3_finalize(insert);
        }
        sqlite3_finalize(field);
        benchdb::rawExec(raw, "COMMIT");
        sqlite3_close_v2(raw);

        source = admin()->openFileRepository(made.source.c_str(), true);
        if (!source) return made;
        db = static_cast<RepositoryImpl*>(source)->connection();
        for (int n = 1; n <= kTables; ++n) ok = ok && db->createFrqDstIndexes(n);
        source->release();
        made.ok = ok;
        return made;
    }();
    return f;
}

long copiedRows(const std::string& path) {
    sqlite3* db = benchdb::rawOpen(path);
    long total = 0;
    for (int n = 1; n <= kTables; ++n)
        total += std::stol(strings(db, "SELECT COUNT(*) FROM FRQDST" + std::to_string(n)).at(0));
    sqlite3_close_v2(db);
    return total;
}

// A fresh copy of the empty target for each run.
std::string freshTarget() {
    std::string path = scratch().fresh("target");
    std::filesystem::copy_file(files().target, path);
    return path;
}

void BM_CopyRepository_Library(benchmark::State& state) {
    if (!files().ok) return state.SkipWithError("the source repository could not be made");
    for (auto _ : state) {
        state.PauseTiming();
        std::string target = freshTarget();
        Repository* from = admin()->openFileRepository(files().source.c_str(), true);
        Repository* to = admin()->openFileRepository(target.c_str(), true);
        state.ResumeTiming();
        bool ok = from && to && admin()->copyRepository(from, to);
        state.PauseTiming();
        if (from) from->release();
        if (to) to->release();
        if (ok && copiedRows(target) != copyRows()) return state.SkipWithError("the copy lost rows");
        state.ResumeTiming();
        if (!ok) return state.SkipWithError(admin()->getErrorMessage().asCstr());
    }
    state.SetItemsProcessed(state.iterations() * copyRows());
}

// The same tables, rows and indexes, moved by SQLite alone.
void BM_CopyRepository_Raw(benchmark::State& state) {
    if (!files().ok) return state.SkipWithError("the source repository could not be made");
    std::vector<std::string> catalogue, work;
    {
        sqlite3* db = benchdb::rawOpen(files().source);
        for (const std::string& table :
             strings(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid")) {
            if (table == "INFO" || table == "KEYVAL" || table == "BIGSTR") continue;
            (table.compare(0, 6, "FRQDST") == 0 && table.size() > 6 ? work : catalogue).push_back(table);
        }
        sqlite3_close_v2(db);
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::string target = freshTarget();
        sqlite3* db = benchdb::rawOpen(target);
        std::string attach = "ATTACH DATABASE '" + files().source + "' AS src";
        benchdb::rawExec(db, attach.c_str());
        state.ResumeTiming();
        for (const std::string& table : work) {
            std::string sql = "BEGIN; CREATE TABLE \"" + table + "\" (\"fr_value\" VARCHAR, \"fr_count\" INTEGER);" +
                              "INSERT INTO \"" + table + "\" SELECT * FROM src.\"" + table + "\"; COMMIT;";
            benchdb::rawExec(db, sql.c_str());
            std::string n = table.substr(6);
            sql = "CREATE INDEX \"fk_frqdist_fr_val" + n + "\" ON \"" + table + "\"(\"fr_value\");" +
                  "CREATE INDEX \"fk_frqdist_fr_count" + n + "\" ON \"" + table + "\"(\"fr_count\");";
            benchdb::rawExec(db, sql.c_str());
        }
        for (const std::string& table : catalogue) {
            std::string sql = "BEGIN; DELETE FROM \"" + table + "\"; INSERT INTO \"" + table +
                              "\" SELECT * FROM src.\"" + table + "\"; COMMIT;";
            benchdb::rawExec(db, sql.c_str());
        }
        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * copyRows());
}

BENCHMARK(BM_CopyRepository_Library)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_CopyRepository_Raw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return bench::runPairs(
        argc, argv, "bench_copy_repository",
        {{"copy repository rows vs INSERT ... SELECT", "BM_CopyRepository_Library", "BM_CopyRepository_Raw"}});
}
